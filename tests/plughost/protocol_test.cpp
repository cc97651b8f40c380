// Selector order, result mapping, and the image description in both
// directions.
#include <cctype>
#include <cstring>
#include <utility>

#include "common/heap.h"
#include "plug_fixture.h"
#include "record.h"

namespace {

using Seq = std::vector<int>;

// Makes the start selector of a save phase (and its continues) ask for
// `continues` continue calls, each with a one-row chunk.
void ask_for_continues(ScriptState &script, int continues, int16_t start = 14) {
    auto left = std::make_shared<int>(continues);
    script.action = [left, start](int16_t selector, FormatRecord *r, intptr_t *) {
        static uint8_t buffer[4];
        if (selector == start || selector == start + 1) {
            r->data = *left > 0 ? buffer : nullptr;
            r->theRect = {0, 0, 1, 1};
            r->rowBytes = sizeof buffer;
            if (*left > 0) --*left;
        }
    };
}

TEST_F(PlugTest, ImportSequences) {
    ASSERT_TRUE(session->identify());
    EXPECT_EQ(script.selectors(), (Seq{17, 1, 2}));
    ASSERT_TRUE(session->import_image());
    ASSERT_TRUE(session->import_image());
    ASSERT_TRUE(session->end_import());
    // The second import runs the read again from ReadPrepare: the plug-in
    // ended its read, so it is not asked to continue it.
    EXPECT_EQ(script.selectors(), (Seq{17, 1, 2, 3, 4, 1, 2, 3, 4}));
    EXPECT_EQ(session->header_calls(), 1);  // counted per import
}

TEST_F(PlugTest, FailedSecondIdentifyFinishesTheReadItDrops) {
    ASSERT_TRUE(session->identify());
    flt::heap_fail_at(1, true);
    EXPECT_FALSE(session->identify());
    flt::heap_fail_at(0);
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_NO_MEMORY));
    EXPECT_EQ(record().filterState, nullptr);
    EXPECT_EQ(script.selectors(), (Seq{17, 1, 2, 4}));
}

TEST_F(PlugTest, ReadContinueRepeatsWhileDataIsSet) {
    auto left = std::make_shared<int>(3);
    script.action = [left](int16_t selector, FormatRecord *r, intptr_t *) {
        static uint8_t buffer[4];
        if (selector == formatSelectorReadStart) r->data = nullptr;  // still one call
        if (selector == formatSelectorReadContinue && (*left)-- > 0) r->data = buffer;
    };
    ASSERT_TRUE(session->import_image());
    EXPECT_EQ(script.selectors(), (Seq{17, 1, 2, 3, 3, 3, 3}));
    EXPECT_EQ(session->rows().size(), 1u);  // the default image's row; nothing more
}

struct FailureCase {
    int fail_selector;
    int16_t result;
    uint32_t op;  // FE_IDENTIFY, FE_IMPORT, FE_OPTIONS or FE_EXPORT
    Seq expected;
    uint32_t code;
};

class FailureTest : public PlugTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(FailureTest, StopsAtTheFailingSelectorAndMapsItsResult) {
    const FailureCase &c = GetParam();
    script.results[c.fail_selector] = c.result;
    host::Image image = gray_image(2, 2);
    int32_t result = c.op == FE_EXPORT    ? session->export_plane(image, 1, 1)
                     : c.op == FE_OPTIONS ? (record().bitsPerPixel = 8, session->call(FE_OPTIONS))
                                          : session->call(c.op);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(record().errorCode, c.code);
    EXPECT_EQ(script.selectors(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Selectors, FailureTest,
    ::testing::Values(
        FailureCase{17, -30501, FE_IDENTIFY, {17}, FERR_CANNOT_READ},
        FailureCase{17, -30500, FE_IDENTIFY, {17}, FERR_BAD_REQUEST},
        FailureCase{1, 1, FE_IDENTIFY, {17, 1}, FERR_PLUGIN},
        FailureCase{2, -108, FE_IDENTIFY, {17, 1, 2}, FERR_PLUGIN},
        FailureCase{2, -30501, FE_IMPORT, {17, 1, 2}, FERR_CANNOT_READ},
        FailureCase{3, -30501, FE_IMPORT, {17, 1, 2, 3}, FERR_CANNOT_READ},
        FailureCase{3, -30500, FE_IMPORT, {17, 1, 2, 3}, FERR_BAD_REQUEST},
        FailureCase{3, 24862, FE_IMPORT, {17, 1, 2, 3}, FERR_PLUGIN},
        FailureCase{5, -30500, FE_OPTIONS, {5}, FERR_BAD_REQUEST},
        FailureCase{6, -30501, FE_OPTIONS, {5, 6}, FERR_CANNOT_READ},
        FailureCase{8, -1, FE_OPTIONS, {5, 6, 8}, FERR_PLUGIN},
        FailureCase{6, -128, FE_EXPORT, {5, 6}, FERR_PLUGIN},
        FailureCase{9, -30500, FE_EXPORT, {5, 6, 8, 9}, FERR_BAD_REQUEST},
        FailureCase{10, -1, FE_EXPORT, {5, 6, 8, 9, 10}, FERR_PLUGIN},
        FailureCase{12, -1, FE_EXPORT, {5, 6, 8, 9, 10, 12}, FERR_PLUGIN},
        FailureCase{13, -30501, FE_EXPORT, {5, 6, 8, 9, 10, 12, 13}, FERR_CANNOT_READ},
        FailureCase{14, -30500, FE_EXPORT, {5, 6, 8, 9, 10, 12, 13, 14}, FERR_BAD_REQUEST}));

TEST_F(PlugTest, WriteFinishResultIsIgnored) {
    script.results[16] = -30500;
    record().requestFlags = FRI_NO_DIALOG;
    EXPECT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(record().errorCode, 0u);
}

TEST_F(PlugTest, WriteContinueFailureStillFinishes) {
    ask_for_continues(script, 5);
    script.results[15] = -30500;
    record().requestFlags = FRI_NO_DIALOG;
    EXPECT_FALSE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
    EXPECT_EQ(script.selectors(), (Seq{9, 10, 12, 13, 14, 15, 16}));
}

TEST_F(PlugTest, ExportSequences) {
    // Options first, then export runs only the write selectors.
    record().bitsPerPixel = 8;
    ASSERT_EQ(session->call(FE_OPTIONS), 1);
    EXPECT_EQ(record().errorCode, 0u);
    ask_for_continues(script, 2);
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(script.selectors(), (Seq{5, 6, 8, 9, 10, 12, 13, 14, 15, 15, 16}));
}

TEST_F(PlugTest, ExportRunsOptionsUnlessNoDialog) {
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(script.selectors(), (Seq{5, 6, 8, 9, 10, 12, 13, 14, 16}));
    session->end_export();
    script.calls.clear();
    record().requestFlags = FRI_NO_DIALOG;
    record().errorCode = 5;
    EXPECT_EQ(session->call(FE_OPTIONS), 1);
    EXPECT_EQ(record().errorCode, 5u);  // untouched
    EXPECT_EQ(record().filterState, nullptr);
    EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(script.selectors(), (Seq{9, 10, 12, 13, 14, 16}));
}

TEST_F(PlugTest, SecondExportLoadsThePluginAgainAsAFreshInstance) {
    record().requestFlags = FRI_NO_DIALOG;
    std::vector<intptr_t> seen;
    script.action = [&](int16_t selector, FormatRecord *, intptr_t *data) {
        if (selector == formatSelectorEstimatePrepare) seen.push_back(*data);
        *data = 1234;
    };
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
    record().fileHandle = 99;
    ASSERT_TRUE(session->export_plane(gray_image(5, 3), 1, 1));
    EXPECT_EQ(script.selectors(), (Seq{9, 10, 12, 13, 14, 16, 9, 10, 12, 13, 14, 16}));
    EXPECT_EQ(seen, (std::vector<intptr_t>{0, 0}));
    EXPECT_EQ(script.last_record->imageSize.h, 5);  // described anew
    EXPECT_EQ(script.last_record->dataFork, 99);
}

struct SaveOrderCase {
    const char *name;
    int16_t asking_start;  // the start selector whose phase asks for continues
    int continues;
    int fail_selector;  // 0: none fails
    bool options_call;  // FE_OPTIONS alone instead of FE_EXPORT
    Seq expected;
    uint32_t code;
};

class SaveOrderTest : public PlugTest, public ::testing::WithParamInterface<SaveOrderCase> {};

TEST_P(SaveOrderTest, PhasesRunInTheHostsOrder) {
    const SaveOrderCase &c = GetParam();
    ask_for_continues(script, c.continues, c.asking_start);
    if (c.fail_selector) script.results[c.fail_selector] = -1;
    host::Image image = gray_image(2, 2);
    record().bitsPerPixel = 8;
    int32_t ok = c.options_call ? session->call(FE_OPTIONS) : session->export_plane(image, 1, 1);
    EXPECT_EQ(ok, c.code == 0);
    EXPECT_EQ(record().errorCode, c.code);
    EXPECT_EQ(script.selectors(), c.expected);
    // Only FE_EXPORT has rows for the chunks the plug-in asks for: one per
    // continue (the write phase's chunk too).
    if (!c.options_call && c.code == 0) {
        EXPECT_EQ(session->fetches().size(), static_cast<size_t>(c.continues));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Phases, SaveOrderTest,
    ::testing::Values(
        SaveOrderCase{
            "options continues", 6, 2, 0, false, {5, 6, 7, 7, 8, 9, 10, 12, 13, 14, 16}, 0},
        SaveOrderCase{"options alone", 6, 1, 0, true, {5, 6, 7, 8}, 0},
        SaveOrderCase{
            "estimate continues", 10, 2, 0, false, {5, 6, 8, 9, 10, 11, 11, 12, 13, 14, 16}, 0},
        SaveOrderCase{"failing options continue", 6, 2, 7, false, {5, 6, 7, 8}, FERR_PLUGIN},
        SaveOrderCase{
            "failing estimate continue", 10, 3, 11, false, {5, 6, 8, 9, 10, 11, 12}, FERR_PLUGIN}),
    [](const ::testing::TestParamInfo<SaveOrderCase> &info) {
        std::string name = info.param.name;
        for (char &ch : name) ch = std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
        return name;
    });

TEST_F(PlugTest, ContinueEndsWithDataOrAnEmptyRectangle) {
    // The start's chunk has no rectangle and still asks for the continue;
    // a continue that leaves `data` set with no rectangle is done.
    script.action = [](int16_t selector, FormatRecord *r, intptr_t *) {
        static uint8_t buffer[4];
        if (selector == formatSelectorWriteStart || selector == formatSelectorWriteContinue) {
            r->data = buffer;
            r->theRect = {0, 0, 0, 0};
        }
    };
    record().requestFlags = FRI_NO_DIALOG;
    ASSERT_TRUE(session->export_plane(gray_image(2, 2), 1, 1));
    EXPECT_EQ(script.selectors(), (Seq{9, 10, 12, 13, 14, 15, 16}));
}

TEST_F(PlugTest, HeaderCallRefusalStopsBeforeReadContinue) {
    session->refuse_header = 1;
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_TRANSFER));
    session->store_cancel = true;
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_CANCELLED));
    EXPECT_EQ(script.selectors(), (Seq{17, 1, 2}));
}

TEST_F(PlugTest, RecordAsBuilt) {
    record().fileHandle = 42;
    PIFixed resolution_at_filter_file = 0;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorFilterFile) resolution_at_filter_file = r->imageHRes;
    };
    ASSERT_TRUE(session->identify());
    const FormatRecord &f = *script.last_record;
    // The record is packed to 4 bytes, so with 8-byte pointers many of its
    // pointer fields are misaligned: they are read by value, never bound to
    // the references the checks take.
    auto value = [](auto field) { return field; };
    EXPECT_EQ(resolution_at_filter_file, 72 << 16);
    EXPECT_EQ(f.imageVRes, 72 << 16);  // the default image states none
    EXPECT_EQ(f.serialNumber, 0);
    EXPECT_EQ(f.maxData, 1000000);
    EXPECT_EQ(f.hostModes, 0x021F);
    EXPECT_EQ(f.dataFork, 42);
    EXPECT_NE(value(f.abortProc), nullptr);
    EXPECT_NE(value(f.progressProc), nullptr);
    EXPECT_NE(value(f.advanceState), nullptr);
    EXPECT_EQ(value(f.hostNewHdl), f.handleProcs->newProc);
    EXPECT_EQ(value(f.hostDisposeHdl), f.handleProcs->disposeProc);
    EXPECT_EQ(f.bufferProcs->bufferProcsVersion, 2);
    EXPECT_EQ(f.bufferProcs->numBufferProcs, 8);
    EXPECT_EQ(f.resourceProcs->resourceProcsVersion, 3);
    EXPECT_EQ(f.resourceProcs->numResourceProcs, 4);
    EXPECT_EQ(f.handleProcs->handleProcsVersion, 1);
    EXPECT_EQ(f.handleProcs->numHandleProcs, 8);
    EXPECT_EQ(f.handleProcs->disposeRegularHandleProc, f.handleProcs->disposeProc);
    ASSERT_NE(value(f.propertyProcs), nullptr);
    EXPECT_EQ(f.propertyProcs->numPropertyProcs, 2);
    ASSERT_NE(value(f.platformData), nullptr);
    EXPECT_EQ(f.platformData->hwnd, 0);  // no active window on POSIX
    ASSERT_NE(value(f.sSPBasic), nullptr);
    EXPECT_NE(f.sSPBasic->Undefined, nullptr);
    for (int16_t p = 0; p < 16; ++p) EXPECT_EQ(f.planeMap[p], p);
    ASSERT_NE(value(f.descriptorParameters), nullptr);
    EXPECT_EQ(f.descriptorParameters->playInfo, plugInDialogDontDisplay);
    EXPECT_EQ(f.descriptorParameters->descriptor, nullptr);
    EXPECT_EQ(f.HostSupports32BitCoordinates, 1);
    EXPECT_EQ(f.transparencyPlane, -1);  // read contexts: "none named yet"
    // Everything else from the reserved bytes to well past the newest
    // record's fields reads as zero, except the property and basic suites',
    // the descriptor parameters' and the channel-port procedures' addresses.
    const auto *bytes = reinterpret_cast<const uint8_t *>(&f);
    const std::pair<size_t, size_t> set[] = {
        {offsetof(FormatRecord, propertyProcs), sizeof f.propertyProcs},
        {offsetof(FormatRecord, sSPBasic), sizeof f.sSPBasic},
        {offsetof(FormatRecord, descriptorParameters), sizeof f.descriptorParameters},
        {offsetof(FormatRecord, HostSupports32BitCoordinates), 4},
        {offsetof(FormatRecord, transparencyPlane), 4},
        {offsetof(FormatRecord, channelPortProcs), sizeof f.channelPortProcs}};
    ASSERT_NE(value(f.channelPortProcs), nullptr);
    EXPECT_EQ(f.channelPortProcs->numChannelPortProcs, 3);
    for (size_t i = offsetof(FormatRecord, propertyProcs); i < sizeof f + 1024; ++i) {
        bool known = false;
        for (auto [at, size] : set) known = known || (i >= at && i < at + size);
        if (known) continue;
        ASSERT_EQ(bytes[i], 0) << i;
    }
}

TEST_F(PlugTest, TablesAreFreedFromPlughostsOwnAddresses) {
    // A plug-in writes over the record's table addresses: plughost still
    // frees its own tables (the fixture counts the module's blocks) and never
    // the block the plug-in put there.
    static uint8_t foreign[64];
    script.action = [](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorReadStart) return;
        r->bufferProcs = reinterpret_cast<BufferProcs *>(foreign);
        r->handleProcs = nullptr;
        r->sSPBasic = reinterpret_cast<SPBasicSuite *>(foreign + 8);
        r->platformData = nullptr;
    };
    ASSERT_TRUE(session->identify());
    EXPECT_TRUE(session->end_import());
}

struct PublishCase {
    int16_t mode, depth, planes;
    int32_t bits, paletteCount;
    int32_t colorSpace;
};

class PublishTest : public PlugTest, public ::testing::WithParamInterface<PublishCase> {};

TEST_P(PublishTest, DescriptionFollowsTheMode) {
    const PublishCase &c = GetParam();
    record().paletteCount = 99;
    script.action = [](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorReadStart) return;
        for (int i = 0; i < 256; ++i) {
            r->redLUT[i] = static_cast<uint8_t>(i);
            r->greenLUT[i] = static_cast<uint8_t>(255 - i);
            r->blueLUT[i] = 7;
        }
    };
    describe(c.mode, 300, 2, c.depth, c.planes);
    ASSERT_TRUE(session->identify());
    const FilterRecord &r = record();
    EXPECT_EQ(r.width, 300);
    EXPECT_EQ(r.height, 2);
    EXPECT_EQ(r.bitsPerPixel, c.bits);
    EXPECT_EQ(r.fileBitsPerPixel, c.depth * c.planes);
    EXPECT_EQ(r.paletteCount, c.paletteCount);
    EXPECT_EQ(r.colorSpace, c.colorSpace);
    EXPECT_EQ(r.imageCount, 1);
    EXPECT_EQ(r.imageIndex, 1);
    EXPECT_EQ(r.planeKind, 1);
    EXPECT_EQ(r.linkedCount, 0);
    EXPECT_STREQ(r.compressionName, "Uncompressed");
    ASSERT_EQ(r.palette != nullptr, c.paletteCount > 0);
    if (c.mode == plugInModeBitmap) {
        EXPECT_EQ(std::vector<uint8_t>(r.palette, r.palette + 6),
                  (std::vector<uint8_t>{0, 0, 0, 255, 255, 255}));
    }
    for (int i = 0; c.paletteCount == 256 && i < 256; ++i) {
        const uint8_t *e = r.palette + 3 * i;
        bool indexed = c.mode == plugInModeIndexedColor;
        EXPECT_TRUE(indexed ? e[0] == 7 && e[1] == 255 - i && e[2] == i
                            : e[0] == i && e[1] == i && e[2] == i)
            << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, PublishTest,
                         ::testing::Values(PublishCase{plugInModeBitmap, 1, 1, 1, 2, 0},
                                           PublishCase{plugInModeGrayScale, 8, 1, 8, 256, 0},
                                           PublishCase{plugInModeGrayScale, 16, 1, 8, 256, 0},
                                           PublishCase{10, 16, 1, 8, 256, 0},
                                           PublishCase{plugInModeIndexedColor, 8, 1, 8, 256, 0},
                                           PublishCase{plugInModeRGBColor, 8, 3, 24, 0, 0},
                                           PublishCase{plugInModeRGBColor, 16, 3, 24, 0, 0},
                                           PublishCase{plugInModeRGBColor, 8, 4, 24, 0, 0},
                                           PublishCase{13, 16, 5, 32, 0, 0},
                                           PublishCase{plugInModeCMYKColor, 8, 4, 32, 0, 0},
                                           PublishCase{plugInModeLabColor, 8, 3, 24, 0, 11}));

TEST_F(PlugTest, ResolutionFromThePlugin) {
    struct Case {
        PIFixed h, v;
        int32_t x, y;
    };
    // The POSIX screen is 1920 x 1080 pixels on 508 x 286 mm: 3 pixels per mm.
    for (Case c :
         {Case{4718592, 4718592, 2834645, 2834645}, Case{0, 4718592, 3000000, 3000000},
          Case{4718592, 1, 3000000, 3000000}, Case{300 << 16, 150 << 16, 11811023, 5905511},
          // 72 written as a plain integer: no resolution stated.
          Case{72, 72, 3000000, 3000000}}) {
        script.action = [c](int16_t selector, FormatRecord *r, intptr_t *) {
            if (selector != formatSelectorReadStart) return;
            r->imageHRes = c.h;
            r->imageVRes = c.v;
        };
        ASSERT_TRUE(session->identify());
        EXPECT_EQ(record().xResolution, c.x) << c.h;
        EXPECT_EQ(record().yResolution, c.y) << c.v;
        session->end_import();
    }
}

struct DescribeCase {
    int32_t bits;
    int entries;    // palette (i, i, i) for i below entries
    int odd_entry;  // entry 5 made (5, 5, 6) when nonzero
    int32_t colorSpace;
    int16_t mode, depth, planes;
    bool tables;
};

class DescribeTest : public PlugTest, public ::testing::WithParamInterface<DescribeCase> {};

TEST_P(DescribeTest, HostImageBecomesModeDepthAndTables) {
    const DescribeCase &c = GetParam();
    host::Image image = gray_image(4, 3, c.entries);
    image.bitsPerPixel = c.bits;
    image.allocate();
    if (c.odd_entry) image.palette[5 * 3] = 6;  // blue byte of entry 5
    image.xResolution = 2834645;
    image.yResolution = 11811023;
    record().colorSpace = c.colorSpace;
    record().requestFlags = FRI_NO_DIALOG;
    ASSERT_TRUE(session->export_plane(image, 1, 1)) << record().errorCode;
    const FormatRecord &f = *script.last_record;
    EXPECT_EQ(f.imageMode, c.mode);
    EXPECT_EQ(f.depth, c.depth);
    EXPECT_EQ(f.planes, c.planes);
    EXPECT_EQ(f.imageSize.h, 4);
    EXPECT_EQ(f.imageSize.v, 3);
    EXPECT_EQ(f.imageHRes, 4718590);   // just under 72 in 16.16
    EXPECT_EQ(f.imageVRes, 19660798);  // 300 per inch, truncated twice
    int filled = 0;
    for (int i = 0; i < 256; ++i) filled += f.redLUT[i] || f.greenLUT[i] || f.blueLUT[i];
    EXPECT_EQ(filled, c.tables ? c.entries - 1 : 0);  // entry 0 is (0, 0, 0)
    if (c.odd_entry) {
        EXPECT_EQ(f.blueLUT[5], 6);
        EXPECT_EQ(f.redLUT[5], 5);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Depths, DescribeTest,
    ::testing::Values(DescribeCase{1, 2, 0, 0, plugInModeBitmap, 1, 1, false},
                      DescribeCase{4, 16, 0, 0, plugInModeIndexedColor, 8, 1, true},
                      DescribeCase{8, 256, 0, 0, plugInModeGrayScale, 8, 1, false},
                      DescribeCase{8, 16, 0, 0, plugInModeGrayScale, 8, 1, false},
                      DescribeCase{8, 16, 1, 0, plugInModeIndexedColor, 8, 1, true},
                      DescribeCase{8, 0, 0, 0, plugInModeGrayScale, 8, 1, false},
                      DescribeCase{24, 0, 0, 0, plugInModeRGBColor, 8, 3, false},
                      DescribeCase{24, 0, 0, 11, plugInModeLabColor, 8, 3, false},
                      DescribeCase{32, 0, 0, 0, plugInModeCMYKColor, 8, 4, false}));

TEST_F(PlugTest, UnsupportedExportDepthFailsBeforeAnyPluginCall) {
    for (int32_t bits : {16, 2, 0, 48}) {
        host::Image image = gray_image(2, 2, 0);
        image.bitsPerPixel = bits;
        image.allocate();
        EXPECT_FALSE(session->export_plane(image, 1, 1)) << bits;
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
        EXPECT_EQ(record().filterState, nullptr);
        EXPECT_FALSE(loaded(SCRIPT_PLUGIN));
    }
    EXPECT_TRUE(script.calls.empty());
}

TEST_F(PlugTest, ImageTooLargeForTheRecordIsRefused) {
    host::Image image = gray_image(1, 1);
    image.width = 40000;
    image.allocate();
    EXPECT_FALSE(session->export_plane(image, 1, 1));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_BAD_REQUEST));
    // A plug-in that did not take the 32-bit size at its first call goes no
    // further.
    EXPECT_EQ(script.selectors(), (Seq{5}));
}

TEST(GrayRamp, LooksAtTheLow16BitsOfTheCountAsSigned) {
    uint8_t palette[4 * 3] = {0, 0, 0, 1, 1, 1, 2, 2, 2, 3, 3, 9};
    struct Case {
        int32_t count;
        bool ramp;
    } cases[] = {{3, true}, {4, false}, {0x10003, true}, {0x10004, false},
                 {0, true}, {-1, true}, {0x8004, true},  {0xFFFF, true}};
    for (const Case &c : cases) {
        FilterRecord r{};
        r.palette = palette;
        r.paletteCount = c.count;
        EXPECT_EQ(plug::IsGrayRamp(&r), c.ramp) << c.count;
    }
}

TEST(PluginResult, MapsTheTwoKnownCodesAndAnythingElse) {
    EXPECT_EQ(plug::MapPluginResult(-30501), static_cast<uint32_t>(FERR_CANNOT_READ));
    EXPECT_EQ(plug::MapPluginResult(static_cast<int16_t>(35035)),
              static_cast<uint32_t>(FERR_CANNOT_READ));
    EXPECT_EQ(plug::MapPluginResult(-30500), static_cast<uint32_t>(FERR_BAD_REQUEST));
    for (int16_t other : {1, -1, -108, -30502, 32767})
        EXPECT_EQ(plug::MapPluginResult(other), static_cast<uint32_t>(FERR_PLUGIN)) << other;
}

}  // namespace
