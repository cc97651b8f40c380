// The services the record offers: progress and abort, the buffer, handle and
// resource suites. They are called from inside a selector, as a plug-in does.
#include <cstring>

#include "common/heap.h"
#include "plug_fixture.h"
#include "record.h"

namespace {

// Runs `body` inside selector 2 of an identify.
template <typename F>
void during_read_start(ScriptState &script, F body) {
    script.action = [body](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorReadStart) body(r);
    };
}

TEST_F(PlugTest, ProgressGoesToTheHostAndItsRefusalBecomesAbort) {
    std::vector<uint8_t> aborts;
    session->refuse_progress_at = 2;
    during_read_start(script, [&](FormatRecord *r) {
        aborts.push_back(r->abortProc());
        r->progressProc(50, 200);
        aborts.push_back(r->abortProc());
        r->progressProc(1, 3);  // refused
        aborts.push_back(r->abortProc());
        aborts.push_back(r->abortProc());
        r->progressProc(7, 0);
        aborts.push_back(r->abortProc());
        r->progressProc(-1, 2);
    });
    ASSERT_TRUE(session->identify());
    EXPECT_EQ(session->progress(), (std::vector<int32_t>{25, 33, -1, -50}));
    EXPECT_EQ(aborts, (std::vector<uint8_t>{0, 0, 1, 1, 0}));
}

TEST_F(PlugTest, AbortFlagLastsForTheContextAndClearsWithANewRecord) {
    session->refuse_progress_at = 1;
    during_read_start(script, [](FormatRecord *r) { r->progressProc(1, 1); });
    ASSERT_TRUE(session->identify());
    std::vector<uint8_t> seen;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorReadContinue || selector == formatSelectorFilterFile)
            seen.push_back(r->abortProc());
    };
    ASSERT_TRUE(session->import_image());
    session->end_import();
    ASSERT_TRUE(session->identify());
    EXPECT_EQ(seen, (std::vector<uint8_t>{1, 0}));
}

TEST_F(PlugTest, BufferSuite) {
    during_read_start(script, [](FormatRecord *r) {
        const BufferProcs *b = r->bufferProcs;
        PIBufferID id = reinterpret_cast<PIBufferID>(1);
        EXPECT_EQ(b->allocateProc(-1, &id), piMemFullErr);
        EXPECT_EQ(id, nullptr);
        EXPECT_EQ(b->allocateProc(100, &id), 0);
        ASSERT_NE(id, nullptr);
        EXPECT_EQ(b->lockProc(id, 1), id);
        for (int i = 0; i < 100; ++i) EXPECT_EQ(id[i], 0);
        std::memset(id, 0x5A, 100);
        b->unlockProc(id);
        b->freeProc(id);
        EXPECT_GT(b->spaceProc(), 0);
        EXPECT_EQ(b->reserveProc(1000), 0);
        EXPECT_EQ(b->allocateProc64(-1, &id), piMemFullErr);
        EXPECT_EQ(id, nullptr);
        EXPECT_EQ(b->allocateProc64(int64_t{1} << 62, &id), piMemFullErr);
        EXPECT_EQ(b->allocateProc64(10, &id), 0);
        b->freeProc(id);
        EXPECT_GE(b->spaceProc64(), b->spaceProc());
    });
    ASSERT_TRUE(session->identify());
}

// The text of a handle, as far as its size goes.
std::string text_of(const FormatRecord *r, PIHandle h) {
    return h ? std::string(*h, static_cast<size_t>(r->handleProcs->getSizeProc(h))) : "(null)";
}

PIHandle handle_with(const FormatRecord *r, const std::string &text) {
    PIHandle h = r->hostNewHdl(static_cast<int32_t>(text.size()));
    if (h) std::memcpy(*h, text.data(), text.size());
    return h;
}

TEST_F(PlugTest, ResourceSuiteKeepsCopiesByTypeAndIndex) {
    constexpr uint32_t hist = 0x68697374, xmp = 0x786D704D;
    during_read_start(script, [&](FormatRecord *r) {
        const ResourceProcs *p = r->resourceProcs;
        PIHandle mine = handle_with(r, "abc");
        flt::heap_fail_at(1);  // the list itself cannot be had
        EXPECT_EQ(p->addProc(hist, mine), piMemFullErr);
        flt::heap_fail_at(0);
        EXPECT_EQ(p->countProc(hist), 0);
        EXPECT_EQ(p->addProc(hist, nullptr), piNilHandleErr);
        for (const char *text : {"abc", "de", "", "f"}) {
            PIHandle h = handle_with(r, text);
            EXPECT_EQ(p->addProc(std::string(text) == "de" ? xmp : hist, h), 0);
            r->hostDisposeHdl(h);  // the plug-in's own handle is its to dispose of
        }
        EXPECT_EQ(p->countProc(hist), 3);
        EXPECT_EQ(p->countProc(xmp), 1);
        EXPECT_EQ(p->countProc(0), 0);
        std::vector<std::string> got;
        for (int16_t i : {0, 1, 2, 3, 4, -1}) got.push_back(text_of(r, p->getProc(hist, i)));
        EXPECT_EQ(got, (std::vector<std::string>{"(null)", "abc", "", "f", "(null)", "(null)"}));
        EXPECT_NE(p->getProc(hist, 1), mine);
        p->deleteProc(hist, 2);
        p->deleteProc(hist, 9);
        p->deleteProc(xmp, 0);
        EXPECT_EQ(text_of(r, p->getProc(hist, 2)), "f");
        EXPECT_EQ(text_of(r, p->getProc(xmp, 1)), "de");
        EXPECT_EQ(p->countProc(hist), 2);
        r->hostDisposeHdl(mine);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, ResourcesLastForTheDocumentAndAReadRunAnewStartsWithout) {
    constexpr uint32_t hist = 0x68697374;
    std::vector<int> seen;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        const ResourceProcs *p = r->resourceProcs;
        if (selector == formatSelectorReadStart || selector == formatSelectorReadContinue)
            seen.push_back(p->countProc(hist));
        // Added where a shipping plug-in adds its history: at the finish.
        if (selector == formatSelectorReadStart || selector == formatSelectorReadFinish) {
            PIHandle h = handle_with(r, "history");
            p->addProc(hist, h);
            r->hostDisposeHdl(h);
        }
    };
    ASSERT_TRUE(session->identify());
    ASSERT_TRUE(session->import_image());
    ASSERT_TRUE(session->import_image());
    EXPECT_TRUE(session->end_import());  // the fixture counts what stays behind
    EXPECT_EQ(seen, (std::vector<int>{0, 1, 0, 1}));
}

TEST_F(PlugTest, EveryPropertyIsUndefined) {
    during_read_start(script, [](FormatRecord *r) {
        const PropertyProcs *p = r->propertyProcs;
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->propertyProcsVersion, 1);
        EXPECT_EQ(p->numPropertyProcs, 2);
        intptr_t simple = 7;
        PIHandle complex = r->hostNewHdl(1);
        for (PIType key : {0x63686E6Eu, 0x7469746Cu, 0u}) {  // 'chnn', 'titl'
            EXPECT_EQ(p->getPropertyProc(0x3842494D, key, 0, &simple, &complex),
                      errPlugInPropertyUndefined);
            EXPECT_EQ(p->getPropertyProc(0x3842494D, key, 0, nullptr, nullptr),
                      errPlugInPropertyUndefined);
            EXPECT_EQ(p->setPropertyProc(0x3842494D, key, 0, 1, nullptr),
                      errPlugInPropertyUndefined);
        }
        EXPECT_EQ(simple, 7);
        r->hostDisposeHdl(complex);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, HandleSuite) {
    during_read_start(script, [](FormatRecord *r) {
        const HandleProcs *p = r->handleProcs;
        EXPECT_EQ(p->newProc(-1), nullptr);
        EXPECT_EQ(p->getSizeProc(nullptr), 0);
        EXPECT_EQ(p->setSizeProc(nullptr, 10), piNullHandleErr);
        EXPECT_EQ(p->lockProc(nullptr, 0), nullptr);
        p->disposeProc(nullptr);

        PIHandle h = r->hostNewHdl(10);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(p->getSizeProc(h), 10);
        char *data = p->lockProc(h, 1);
        ASSERT_EQ(data, *h);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(data[i], 0);
        std::memcpy(data, "abcdefghij", 10);
        p->unlockProc(h);
        // Growing keeps the data, zero-fills the rest and keeps the handle.
        EXPECT_EQ(p->setSizeProc(h, 100000), 0);
        EXPECT_EQ(p->getSizeProc(h), 100000);
        data = p->lockProc(h, 0);
        EXPECT_EQ(std::memcmp(data, "abcdefghij", 10), 0);
        for (int i = 10; i < 100000; ++i) ASSERT_EQ(data[i], 0) << i;
        EXPECT_EQ(p->setSizeProc(h, 3), 0);
        EXPECT_EQ(p->getSizeProc(h), 3);
        EXPECT_EQ(p->setSizeProc(h, -1), piMemFullErr);
        EXPECT_EQ(p->getSizeProc(h), 3);  // the old block stays
        p->recoverSpaceProc(1000);
        r->hostDisposeHdl(h);

        PIHandle empty = p->newProc(0);
        ASSERT_NE(empty, nullptr);
#ifdef _WIN32
        // The size is GlobalSize's, and Wine's counts a zero-size block as a byte.
        EXPECT_LE(p->getSizeProc(empty), 1);
#else
        EXPECT_EQ(p->getSizeProc(empty), 0);
#endif
        EXPECT_EQ(p->setSizeProc(empty, 4), 0);
        EXPECT_EQ(p->getSizeProc(empty), 4);
        p->disposeProc(empty);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, BasicSuite) {
    during_read_start(script, [](FormatRecord *r) {
        const SPBasicSuite *b = r->sSPBasic;
        const void *suite = r;
        for (const char *name : {"Photoshop ChannelPorts Suite for Plug-ins",
                                 "Photoshop Handle Suite for Plug-ins", PI_BASIC_SUITE_NAME, ""}) {
            EXPECT_EQ(b->AcquireSuite(name, 99, &suite), spSuiteNotFoundErr) << name;
            EXPECT_EQ(suite, nullptr);
            EXPECT_EQ(b->ReleaseSuite(name, 99), spSuiteNotFoundErr) << name;
        }
        EXPECT_EQ(b->AcquireSuite(nullptr, 1, &suite), spBadParameterErr);
        EXPECT_EQ(b->AcquireSuite("x", 1, nullptr), spBadParameterErr);
        EXPECT_EQ(b->IsEqual("abc", "abc"), 1);
        EXPECT_EQ(b->IsEqual("abc", "abd"), 0);
        EXPECT_EQ(b->IsEqual(nullptr, "abc"), 0);
        EXPECT_EQ(b->Undefined(), spUnimplementedErr);

        void *block = r;
        EXPECT_EQ(b->AllocateBlock(SIZE_MAX, &block), piMemFullErr);
        EXPECT_EQ(block, nullptr);
        EXPECT_EQ(b->AllocateBlock(16, nullptr), spBadParameterErr);
        ASSERT_EQ(b->AllocateBlock(16, &block), 0);
        std::memcpy(block, "0123456789abcdef", 16);
        void *grown = nullptr;
        ASSERT_EQ(b->ReallocateBlock(block, 100000, &grown), 0);
        EXPECT_EQ(std::memcmp(grown, "0123456789abcdef", 16), 0);
        flt::heap_fail_at(1);
        void *refused = r;
        EXPECT_EQ(b->ReallocateBlock(grown, 5, &refused), piMemFullErr);
        EXPECT_EQ(refused, nullptr);
        EXPECT_EQ(b->FreeBlock(grown), 0);  // the old block stayed the plug-in's
        EXPECT_EQ(b->FreeBlock(nullptr), 0);
    });
    ASSERT_TRUE(session->identify());
}

TEST(Resolution, ConvertsBothWaysTruncating) {
    struct Case {
        PIFixed fixed;
        int32_t perKm;
    };
    for (Case c :
         {Case{4718592, 2834645}, Case{0, 0}, Case{65536, 39370}, Case{-4718592, -2834645}})
        EXPECT_EQ(plug::ResolutionFromFixed(c.fixed), c.perKm) << c.fixed;
    for (Case c : {Case{4718590, 2834645}, Case{0, 0}, Case{65535, 39370}, Case{1, 1}})
        EXPECT_EQ(plug::FixedFromResolution(c.perKm), c.fixed) << c.perKm;
}

}  // namespace
