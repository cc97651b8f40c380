// The suites plug-ins acquire by name through the basic suite: which name and
// version pairs are found, and what the buffer, handle and channel-ports
// suites answer, called from inside a selector as a plug-in calls them.
#include <cstring>

#include "common/heap.h"
#include "plug_fixture.h"

namespace {

template <typename F>
void during_read_start(ScriptState &script, F body) {
    script.action = [body](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorReadStart) body(r);
    };
}

template <typename Suite>
const Suite *acquire(const FormatRecord *r, const char *name, int32_t version) {
    const void *suite = nullptr;
    EXPECT_EQ(r->sSPBasic->AcquireSuite(name, version, &suite), 0) << name << " " << version;
    return static_cast<const Suite *>(suite);
}

struct SuiteName {
    const char *name;
    int32_t version;
};

TEST_F(PlugTest, SuitesAreFoundByExactNameAndVersion) {
    const SuiteName found[] = {
        {PI_BUFFER_SUITE_NAME, 1},        {PI_BUFFER_SUITE_NAME, 2},
        {PI_HANDLE_SUITE_NAME, 1},        {PI_HANDLE_SUITE_NAME, 2},
        {PI_CHANNEL_PORTS_SUITE_NAME, 2}, {PI_CHANNEL_PORTS_SUITE_NAME, 3},
        {PI_BUFFER_PROCS_SUITE_NAME, 2},  {PI_PROPERTY_SUITE_NAME, 1},
        {PI_RESOURCE_SUITE_NAME, 3},
    };
    const SuiteName missing[] = {
        {PI_BUFFER_SUITE_NAME, 0},
        {PI_BUFFER_SUITE_NAME, 3},
        {PI_HANDLE_SUITE_NAME, 3},
        {PI_CHANNEL_PORTS_SUITE_NAME, 1},
        {PI_CHANNEL_PORTS_SUITE_NAME, 4},
        {PI_CHANNEL_PORTS_SUITE_NAME, -3},
        {PI_BUFFER_PROCS_SUITE_NAME, 1},
        {PI_PROPERTY_SUITE_NAME, 2},
        {PI_RESOURCE_SUITE_NAME, 4},
        {"Photoshop Channel Ports Suite for Plug-ins", 3},  // another suite's name
        {"photoshop buffer suite for plug-ins", 1},
        {"Photoshop Buffer Suite for Plug-ins ", 1},
        {"Photoshop Buffer Suite", 1},
        {"", 1},
    };
    during_read_start(script, [&](FormatRecord *r) {
        const SPBasicSuite *b = r->sSPBasic;
        for (const SuiteName &s : found) {
            EXPECT_NE(acquire<void>(r, s.name, s.version), nullptr);
            EXPECT_EQ(b->ReleaseSuite(s.name, s.version), 0) << s.name;
        }
        for (const SuiteName &s : missing) {
            const void *suite = r;
            EXPECT_EQ(b->AcquireSuite(s.name, s.version, &suite), spSuiteNotFoundErr)
                << s.name << " " << s.version;
            EXPECT_EQ(suite, nullptr);
            EXPECT_EQ(b->ReleaseSuite(s.name, s.version), spSuiteNotFoundErr) << s.name;
        }
    });
    ASSERT_TRUE(session->identify());
}

struct BufferCase {
    const char *name;
    bool withSize;  // false: a null size pointer
    uint64_t size;  // what the plug-in asks for
    uint64_t minimum;
    long failAt;       // module heap request to refuse, 0: none
    uint64_t granted;  // 0: no block
};

class BufferSuiteTest : public PlugTest, public ::testing::WithParamInterface<BufferCase> {};

TEST_P(BufferSuiteTest, GrantsTheRequestOrTheMinimumAndKnowsTheSize) {
    const BufferCase c = GetParam();
    during_read_start(script, [&](FormatRecord *r) {
        auto *suite = acquire<PSBufferSuite2>(r, PI_BUFFER_SUITE_NAME, 2);
        ASSERT_NE(suite, nullptr);
        uint64_t size = c.size;
        flt::heap_fail_at(c.failAt);
        char *block = suite->New64(c.withSize ? &size : nullptr, c.minimum);
        flt::heap_fail_at(0);
        EXPECT_EQ(block != nullptr, c.granted != 0);
        if (c.withSize) {
            EXPECT_EQ(size, c.granted);
        }
        EXPECT_EQ(suite->GetSize64(block), c.granted);
        if (block) {
            EXPECT_EQ(suite->GetSize(block), c.granted);
            for (uint64_t i = 0; i < c.granted; ++i) ASSERT_EQ(block[i], 0) << i;
            std::memset(block, 0x5A, c.granted);
        }
        suite->Dispose(&block);
        EXPECT_EQ(block, nullptr);
        suite->Dispose(&block);
        suite->Dispose(nullptr);
    });
    ASSERT_TRUE(session->identify());
}

INSTANTIATE_TEST_SUITE_P(
    Requests, BufferSuiteTest,
    ::testing::Values(BufferCase{"as_asked", true, 100, 100, 0, 100},
                      BufferCase{"null_size_takes_the_minimum", false, 0, 50, 0, 50},
                      BufferCase{"never_below_the_minimum", true, 10, 100, 0, 100},
                      BufferCase{"too_large_falls_back", true, uint64_t{1} << 50, 64, 0, 64},
                      BufferCase{"refused_falls_back", true, 200, 100, 1, 100},
                      BufferCase{"minimum_refused", true, 100, 100, 1, 0},
                      BufferCase{"minimum_too_large", true, 8, uint64_t{1} << 50, 0, 0}),
    [](const ::testing::TestParamInfo<BufferCase> &info) { return std::string(info.param.name); });

TEST_F(PlugTest, BufferSuiteVersionOneIsTheFirstFourProcedures) {
    during_read_start(script, [](FormatRecord *r) {
        auto *suite = acquire<PSBufferSuite2>(r, PI_BUFFER_SUITE_NAME, 1);
        ASSERT_NE(suite, nullptr);
        uint32_t size = 300;
        char *block = suite->New(&size, 300);
        ASSERT_NE(block, nullptr);
        EXPECT_EQ(suite->GetSize(block), 300u);
        EXPECT_EQ(suite->GetSize(nullptr), 0u);
        EXPECT_GT(suite->GetSpace(), 0u);
        suite->Dispose(&block);
        block = suite->New(nullptr, 0);
        EXPECT_NE(block, nullptr);  // an empty block is still a block
        suite->Dispose(&block);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, HandleSuitesShareTheRecordsHandles) {
    during_read_start(script, [](FormatRecord *r) {
        auto *two = acquire<PSHandleSuite2>(r, PI_HANDLE_SUITE_NAME, 2);
        auto *one = acquire<PSHandleSuite1>(r, PI_HANDLE_SUITE_NAME, 1);
        ASSERT_TRUE(two && one);
        const HandleProcs *procs = r->handleProcs;
        PIHandle h = two->New(10);
        ASSERT_NE(h, nullptr);
        char *address = nullptr;
        PIBoolean old = 1;
        two->SetLock(h, 1, &address, &old);
        EXPECT_EQ(address, *h);
        EXPECT_EQ(old, 0);
        std::memcpy(address, "0123456789", 10);
        EXPECT_EQ(one->SetSize(h, 20), 0);
        EXPECT_EQ(procs->getSizeProc(h), 20);
        EXPECT_EQ(std::memcmp(procs->lockProc(h, 0), "0123456789", 10), 0);
        EXPECT_EQ(two->GetSize(h), 20);
        one->SetLock(h, 0, nullptr, nullptr);
        two->Dispose(h);
        PIHandle recordMade = r->hostNewHdl(4);
        EXPECT_EQ(one->GetSize(recordMade), 4);
        two->DisposeRegularHandle(recordMade);

        // Nothing to act on is no fault.
        EXPECT_EQ(two->New(-1), nullptr);
        two->Dispose(nullptr);
        two->DisposeRegularHandle(nullptr);
        one->Dispose(nullptr);
        address = reinterpret_cast<char *>(r);
        two->SetLock(nullptr, 1, &address, &old);
        EXPECT_EQ(address, nullptr);
        EXPECT_EQ(two->GetSize(nullptr), 0);
        EXPECT_EQ(two->SetSize(nullptr, 4), piNullHandleErr);
        two->RecoverSpace(100);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, RecordSuitesCarryTheRecordsProcedures) {
    during_read_start(script, [](FormatRecord *r) {
        auto *buffer = acquire<BufferProcs>(r, PI_BUFFER_PROCS_SUITE_NAME, 2);
        auto *property = acquire<PropertyProcs>(r, PI_PROPERTY_SUITE_NAME, 1);
        auto *resource = acquire<ResourceProcs>(r, PI_RESOURCE_SUITE_NAME, 3);
        ASSERT_TRUE(buffer && property && resource);
        EXPECT_EQ(std::memcmp(buffer, r->bufferProcs, sizeof *buffer), 0);
        EXPECT_EQ(std::memcmp(property, r->propertyProcs, sizeof *property), 0);
        EXPECT_EQ(std::memcmp(resource, r->resourceProcs, sizeof *resource), 0);
    });
    ASSERT_TRUE(session->identify());
}

TEST_F(PlugTest, ChannelPortsSuiteAnswersEveryProcedure) {
    during_read_start(script, [](FormatRecord *r) {
        auto *p = acquire<PSChannelPortsSuite3>(r, PI_CHANNEL_PORTS_SUITE_NAME, 3);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(acquire<PSChannelPortsSuite3>(r, PI_CHANNEL_PORTS_SUITE_NAME, 2), p);
        // A port plughost never handed out, and null everywhere else.
        auto port = reinterpret_cast<PIChannelPort>(r);
        PIChannelPort made = port;
        PIBoolean yes = 1, supported = 1;
        const int32_t unknown = errUnknownPort, unimplemented = spUnimplementedErr;
        const std::pair<int32_t, int32_t> calls[] = {
            {p->CountLevels(port, nullptr), unknown},
            {p->GetDepth(nullptr, 0, nullptr), unknown},
            {p->GetDataBounds(port, 0, nullptr), unknown},
            {p->GetWriteLimit(port, 0, nullptr), unknown},
            {p->GetTilingGrid(port, 0, nullptr, nullptr), unknown},
            {p->GetSupportRect(port, 0, nullptr, nullptr, nullptr), unknown},
            {p->GetDependentRect(port, 0, nullptr, 0, nullptr), unknown},
            {p->CanRead(port, &yes), unknown},
            {p->CanWrite(nullptr, nullptr), unknown},
            {p->ReadPixelsFromLevel(port, 0, nullptr, nullptr), unknown},
            {p->WritePixelsToBaseLevel(port, nullptr, nullptr), unknown},
            {p->ReadScaledPixels(port, nullptr, nullptr, nullptr), unknown},
            {p->FindSourceForScaledRead(port, nullptr, nullptr, 8, nullptr, nullptr, nullptr),
             unknown},
            {p->New(&made, nullptr, 8, 0), unimplemented},
            {p->Dispose(&port), unknown},
            {p->Dispose(nullptr), 0},
            {p->SupportsOperation("x", &supported), 0},
            {p->ApplyOperation(nullptr, port, port, nullptr, nullptr, nullptr), unimplemented},
            {p->AddOperation("x", nullptr, nullptr), unimplemented},
            {p->RemoveOperation(nullptr, nullptr), unimplemented},
            {p->NewCopyOnWrite(nullptr, port, nullptr, 0), unimplemented},
            {p->Freeze(port), unknown},
            {p->Restore(nullptr, nullptr), unknown},
        };
        for (size_t i = 0; i < sizeof calls / sizeof calls[0]; ++i)
            EXPECT_EQ(calls[i].first, calls[i].second) << "procedure " << i;
        EXPECT_EQ(yes, 0);
        EXPECT_EQ(supported, 0);
        EXPECT_EQ(made, nullptr);
    });
    ASSERT_TRUE(session->identify());
}

}  // namespace
