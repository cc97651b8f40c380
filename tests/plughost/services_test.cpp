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

TEST_F(PlugTest, ResourceSuiteKeepsNothing) {
    during_read_start(script, [](FormatRecord *r) {
        const ResourceProcs *p = r->resourceProcs;
        EXPECT_EQ(p->addProc(0x68697374, nullptr), 0);
        EXPECT_EQ(p->countProc(0x68697374), 0);
        EXPECT_EQ(p->getProc(0x68697374, 1), nullptr);
        p->deleteProc(0x68697374, 1);
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
