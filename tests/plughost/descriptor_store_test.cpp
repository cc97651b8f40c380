// The descriptor store through its procedures, as a plug-in calls them:
// every type written and read back, reads of the wrong type, getKey moving
// on by itself, tokens and handles it did not make, failing allocations.
#include "descriptor_store.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "common/heap.h"
#include "services.h"

namespace {

using namespace plug;

// One getter per type, answering its error and the value as text.
using Getter = std::function<int16_t(PIReadDescriptor, std::string *)>;

ReadDescriptorProcs ReadProcs() {
    ReadDescriptorProcs procs;
    FillReadDescriptorProcs(&procs);
    return procs;
}

const std::vector<std::pair<DescriptorTypeID, Getter>> &Getters() {
    static const std::vector<std::pair<DescriptorTypeID, Getter>> getters = {
        {kTypeInteger,
         [](PIReadDescriptor r, std::string *v) {
             int32_t i = 0;
             int16_t e = GetInteger(r, &i);
             *v = std::to_string(i);
             return e;
         }},
        {kTypeFloat,
         [](PIReadDescriptor r, std::string *v) {
             double d = 0;
             int16_t e = GetFloat(r, &d);
             *v = std::to_string(d);
             return e;
         }},
        {kTypeUnitFloat,
         [](PIReadDescriptor r, std::string *v) {
             DescriptorUnitID unit = 0;
             double d = 0;
             int16_t e = GetUnitFloat(r, &unit, &d);
             *v = std::to_string(unit) + " " + std::to_string(d);
             return e;
         }},
        {kTypeBoolean,
         [](PIReadDescriptor r, std::string *v) {
             PIBoolean b = 7;
             int16_t e = GetBoolean(r, &b);
             *v = std::to_string(b);
             return e;
         }},
        {kTypeText,
         [](PIReadDescriptor r, std::string *v) {
             PIHandle h = nullptr;
             int16_t e = GetText(r, &h);
             if (h) *v = std::string(*h, static_cast<size_t>(HandleGetSize(h)));
             HandleDispose(h);
             return e;
         }},
        {kTypeEnumerated,
         [](PIReadDescriptor r, std::string *v) {
             DescriptorTypeID type = 0;
             DescriptorEnumID value = 0;
             int16_t e = GetEnumeratedPair(r, &type, &value);
             *v = std::to_string(type) + " " + std::to_string(value);
             return e;
         }},
        {kTypeClass,
         [](PIReadDescriptor r, std::string *v) {
             DescriptorTypeID c = 0;
             int16_t e = GetClass(r, &c);
             *v = std::to_string(c);
             return e;
         }},
    };
    return getters;
}

struct Written {
    DescriptorKeyID key;
    DescriptorTypeID type;
    std::function<int16_t(PIWriteDescriptor, DescriptorKeyID)> put;
    std::string expected;  // as the type's getter renders it
};

std::vector<Written> EveryType() {
    static const double half = 2.5, dpi = 72.25;
    static PIHandle text = nullptr;
    if (!text) {
        text = HandleNew(7);
        std::memcpy(*text, "he\0llo!", 7);
    }
    static const uint8_t pascal[] = {3, 'a', 'b', 'c'};
    return {
        {FourCharCode("intg"), kTypeInteger, [](auto w, auto k) { return PutInteger(w, k, -7); },
         "-7"},
        {FourCharCode("flot"), kTypeFloat, [](auto w, auto k) { return PutFloat(w, k, &half); },
         std::to_string(2.5)},
        {FourCharCode("untf"), kTypeUnitFloat,
         [](auto w, auto k) { return PutUnitFloat(w, k, FourCharCode("#Rsl"), &dpi); },
         std::to_string(FourCharCode("#Rsl")) + " " + std::to_string(72.25)},
        {FourCharCode("bool"), kTypeBoolean, [](auto w, auto k) { return PutBoolean(w, k, 9); },
         "1"},
        {FourCharCode("text"), kTypeText, [](auto w, auto k) { return PutText(w, k, text); },
         std::string("he\0llo!", 7)},
        {FourCharCode("enum"), kTypeEnumerated,
         [](auto w, auto k) { return PutEnumerated(w, k, 11, 22); }, "11 22"},
        {FourCharCode("clss"), kTypeClass, [](auto w, auto k) { return PutClass(w, k, 33); }, "33"},
        {FourCharCode("cnt#"), kTypeInteger,
         [](auto w, auto k) { return PutCount(w, k, 3000000000u); }, "-1294967296"},
        {FourCharCode("strg"), kTypeText, [](auto w, auto k) { return PutString(w, k, pascal); },
         "abc"},
    };
}

PIHandle WriteAll(const std::vector<Written> &items) {
    PIWriteDescriptor w = OpenWriteDescriptor();
    EXPECT_NE(w, nullptr);
    for (const Written &item : items) EXPECT_EQ(item.put(w, item.key), 0);
    PIHandle h = nullptr;
    EXPECT_EQ(CloseWriteDescriptor(w, &h), 0);
    EXPECT_TRUE(IsDescriptor(h));
    return h;
}

class DescriptorStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { baseline = flt::heap_live_blocks(); }
    void TearDown() override {
        flt::heap_fail_at(0);
        EXPECT_EQ(flt::heap_live_blocks(), baseline) << "store blocks leaked";
    }
    long baseline = 0;
};

TEST_F(DescriptorStoreTest, EveryTypeReadsBackAndOtherTypesAreRefused) {
    std::vector<Written> items = EveryType();
    PIHandle h = WriteAll(items);
    DescriptorKeyID none[] = {0};
    PIReadDescriptor r = OpenReadDescriptor(h, none);
    ASSERT_NE(r, nullptr);
    for (const Written &item : items) {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        int32_t flags = -1;
        ASSERT_TRUE(GetKey(r, &key, &type, &flags));
        EXPECT_EQ(key, item.key);
        EXPECT_EQ(type, item.type);
        EXPECT_EQ(flags, 0);
        for (const auto &getter : Getters()) {
            std::string value;
            int16_t error = getter.second(r, &value);
            if (getter.first == item.type) {
                EXPECT_EQ(error, 0) << item.expected;
                EXPECT_EQ(value, item.expected);
            } else {
                EXPECT_EQ(error, piParamErr) << std::to_string(item.key);
            }
        }
    }
    EXPECT_FALSE(GetKey(r, nullptr, nullptr, nullptr));
    // Wrong-type reads were made: close reports them.
    EXPECT_EQ(CloseReadDescriptor(r), piParamErr);
    HandleDispose(h);
    EXPECT_FALSE(IsDescriptor(h));
}

TEST_F(DescriptorStoreTest, GetKeyMovesOnByItselfAndTakesTheKeysAskedFor) {
    PIWriteDescriptor w = OpenWriteDescriptor();
    for (uint32_t key = 1; key <= 5; ++key) EXPECT_EQ(PutInteger(w, key, 10 * key), 0);
    EXPECT_EQ(PutInteger(w, 2, 99), 0);  // put again: replaces, moves to the end
    PIHandle h = nullptr;
    ASSERT_EQ(CloseWriteDescriptor(w, &h), 0);
    struct Case {
        std::vector<DescriptorKeyID> keys;  // zero-terminated; empty: null list
        std::vector<int32_t> read;          // value of each key produced, read or not
    } cases[] = {
        {{}, {10, 30, 40, 50, 99}},
        {{0}, {10, 30, 40, 50, 99}},
        {{4, 2, 0}, {40, 99}},
        {{7, 0}, {}},
    };
    for (Case &c : cases) {
        PIReadDescriptor r = OpenReadDescriptor(h, c.keys.empty() ? nullptr : c.keys.data());
        ASSERT_NE(r, nullptr);
        int32_t value = 0;
        EXPECT_EQ(GetInteger(r, &value), piParamErr) << "no key produced yet";
        std::vector<int32_t> read;
        DescriptorKeyID key;
        // Every other key is skipped without a getter.
        for (size_t i = 0; GetKey(r, &key, nullptr, nullptr); ++i) {
            if (i % 2 == 1) continue;
            EXPECT_EQ(GetInteger(r, &value), 0);
            read.push_back(value);
        }
        std::vector<int32_t> expected;
        for (size_t i = 0; i < c.read.size(); i += 2) expected.push_back(c.read[i]);
        EXPECT_EQ(read, expected);
        EXPECT_EQ(ReadProcs().getPinnedIntegerProc(r, 0, 1, &value), piParamErr) << "past the end";
        CloseReadDescriptor(r);
    }
    DescriptorKeyID pinned[] = {3, 0};
    PIReadDescriptor r = OpenReadDescriptor(h, pinned);
    int32_t value = 0;
    ASSERT_TRUE(GetKey(r, nullptr, nullptr, nullptr));
    EXPECT_EQ(ReadProcs().getPinnedIntegerProc(r, 0, 25, &value), 0);
    EXPECT_EQ(value, 25);
    EXPECT_EQ(CloseReadDescriptor(r), 0);
    HandleDispose(h);
}

TEST_F(DescriptorStoreTest, RefusesTokensAndHandlesItDidNotMake) {
    PIHandle h = WriteAll(EveryType());
    int garbage[64] = {};
    auto *fake_reader = reinterpret_cast<PIReadDescriptor>(garbage);
    auto *fake_writer = reinterpret_cast<PIWriteDescriptor>(garbage);
    PIReadDescriptor r = OpenReadDescriptor(h, nullptr);
    PIWriteDescriptor w = OpenWriteDescriptor();
    int32_t value;
    // Tokens: made up, null, of the other kind.
    for (PIReadDescriptor bad :
         {fake_reader, PIReadDescriptor(nullptr), reinterpret_cast<PIReadDescriptor>(w)}) {
        EXPECT_FALSE(GetKey(bad, nullptr, nullptr, nullptr));
        EXPECT_EQ(GetInteger(bad, &value), piParamErr);
        EXPECT_EQ(CloseReadDescriptor(bad), piParamErr);
    }
    for (PIWriteDescriptor bad :
         {fake_writer, PIWriteDescriptor(nullptr), reinterpret_cast<PIWriteDescriptor>(r)}) {
        EXPECT_EQ(PutInteger(bad, 1, 1), piParamErr);
        PIHandle out = nullptr;
        EXPECT_EQ(CloseWriteDescriptor(bad, &out), piParamErr);
        EXPECT_EQ(out, nullptr);
    }
    // Procedures for values the store does not keep: an error, kept for close.
    ReadDescriptorProcs rp;
    WriteDescriptorProcs wp;
    FillReadDescriptorProcs(&rp);
    FillWriteDescriptorProcs(&wp);
    PIHandle alias = nullptr;
    EXPECT_EQ(rp.getAliasProc(r, &alias), errPlugInHostInsufficient);
    EXPECT_EQ(wp.putObjectProc(w, 1, 2, h), errPlugInHostInsufficient);
    EXPECT_EQ(CloseReadDescriptor(r), errPlugInHostInsufficient);
    EXPECT_EQ(CloseReadDescriptor(r), piParamErr) << "closed twice";
    PIHandle out = nullptr;
    EXPECT_EQ(CloseWriteDescriptor(w, &out), errPlugInHostInsufficient);
    EXPECT_TRUE(IsDescriptor(out)) << "what was put is still handed over";
    HandleDispose(out);
    // Handles: null, a plain handle with a descriptor's bytes, a descriptor
    // cut short, a disposed one.
    PIHandle copy = HandleNew(HandleGetSize(h));
    std::memcpy(*copy, *h, static_cast<size_t>(HandleGetSize(h)));
    EXPECT_EQ(OpenReadDescriptor(nullptr, nullptr), nullptr);
    EXPECT_EQ(OpenReadDescriptor(copy, nullptr), nullptr);
    ASSERT_EQ(HandleSetSize(h, HandleGetSize(h) - 1), 0);
    EXPECT_EQ(OpenReadDescriptor(h, nullptr), nullptr);
    HandleDispose(h);
    HandleDispose(copy);
    EXPECT_FALSE(IsDescriptor(h));
}

TEST_F(DescriptorStoreTest, FailingAllocationsLeaveNothingBehind) {
    std::vector<Written> items = EveryType();
    for (long n = 1;; ++n) {
        flt::heap_fail_at(n);
        PIWriteDescriptor w = OpenWriteDescriptor();
        int16_t error = w ? 0 : piMemFullErr;
        for (const Written &item : items)
            if (w && error == 0) error = item.put(w, item.key);
        PIHandle h = nullptr;
        if (w) {
            EXPECT_EQ(CloseWriteDescriptor(w, &h), error);
        }
        int read = 0;
        if (PIReadDescriptor r = OpenReadDescriptor(h, nullptr)) {
            while (GetKey(r, nullptr, nullptr, nullptr)) ++read;
            CloseReadDescriptor(r);
        } else if (h && error == 0) {
            read = -1;  // the reader's copy failed
        }
        HandleDispose(h);
        EXPECT_EQ(flt::heap_live_blocks(), baseline) << "request " << n;
        if (error == 0 && read == static_cast<int>(items.size())) break;
        ASSERT_LT(n, 100);
    }
}

}  // namespace
