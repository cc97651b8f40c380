// The advanceState exchanges: rows between the plug-in's buffer and the
// host, and requests that plughost must decline.
#include <cstring>

#include "plug_fixture.h"

namespace {

struct Chunk {
    int16_t top, left, bottom, right;
    int32_t rowBytes;
    bool null_data = false;
};

// The plug-in hands `chunks` over in one read-continue call, with rows whose
// bytes are row * 16 + byte index; advanceState results are collected.
void deliver_chunks(ScriptState &script, std::vector<Chunk> chunks, std::vector<int16_t> *results,
                    std::vector<uint8_t> *buffer) {
    buffer->assign(4096, 0);
    for (size_t i = 0; i < buffer->size(); ++i) (*buffer)[i] = static_cast<uint8_t>(i);
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector != formatSelectorReadContinue) return;
        for (const Chunk &c : chunks) {
            r->theRect = {c.top, c.left, c.bottom, c.right};
            r->rowBytes = c.rowBytes;
            r->data = c.null_data ? nullptr : buffer->data();
            results->push_back(r->advanceState());
        }
        r->data = nullptr;
    };
}

TEST_F(PlugTest, ReadExchangeNumbersRowsFromTheBottom) {
    std::vector<int16_t> results;
    std::vector<uint8_t> buffer;
    deliver_chunks(script, {{0, 0, 2, 5, 8}, {2, 0, 3, 5, 8}}, &results, &buffer);
    describe(plugInModeGrayScale, 5, 3, 8, 1);
    ASSERT_TRUE(session->import_image()) << record().errorCode;
    EXPECT_EQ(results, (std::vector<int16_t>{0, 0}));
    ASSERT_EQ(session->rows().size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        const host::RowCall &c = session->rows()[i];
        EXPECT_EQ(c.y, 2 - static_cast<int32_t>(i));
        EXPECT_EQ(c.x, 0);
        EXPECT_EQ(c.rowCount, 1);
        EXPECT_EQ(c.width, 5);
        EXPECT_EQ(c.byteCount, 5);  // the host's row, without the plug-in's padding
        EXPECT_EQ(c.percent, 0);
    }
    const host::Image &image = session->image();
    EXPECT_EQ(image.row(0)[0], 0);  // top row: first row of the first chunk
    EXPECT_EQ(image.row(1)[0], 8);
    EXPECT_EQ(image.row(2)[0], 0);  // the second chunk starts the buffer again
}

TEST_F(PlugTest, ReadExchangeTurnsRgbIntoTheHostsOrderInACopy) {
    std::vector<int16_t> results;
    std::vector<uint8_t> buffer;
    deliver_chunks(script, {{0, 0, 1, 2, 6}}, &results, &buffer);
    describe(plugInModeRGBColor, 2, 1, 8, 3);
    ASSERT_TRUE(session->import_image());
    const host::Image &image = session->image();
    EXPECT_EQ(std::vector<uint8_t>(image.row(0), image.row(0) + 6),
              (std::vector<uint8_t>{2, 1, 0, 5, 4, 3}));
    EXPECT_EQ(buffer[0], 0);  // the plug-in's buffer as it was
    EXPECT_EQ(buffer[2], 2);
}

TEST_F(PlugTest, ReadExchangeLeavesOtherModesAlone) {
    for (int16_t mode : {plugInModeLabColor, plugInModeCMYKColor}) {
        std::vector<int16_t> results;
        std::vector<uint8_t> buffer;
        deliver_chunks(script, {{0, 0, 1, 2, 8}}, &results, &buffer);
        describe(mode, 2, 1, 8, mode == plugInModeCMYKColor ? 4 : 3);
        ASSERT_TRUE(session->import_image());
        EXPECT_EQ(session->image().row(0)[0], 0) << mode;
        EXPECT_EQ(session->image().row(0)[2], 2) << mode;
        session->end_import();
    }
}

TEST_F(PlugTest, RefusedRowStopsTheExchangeAndTheImport) {
    for (bool cancel : {false, true}) {
        std::vector<int16_t> results;
        std::vector<uint8_t> buffer;
        deliver_chunks(script, {{0, 0, 3, 4, 4}, {3, 0, 4, 4, 4}}, &results, &buffer);
        describe(plugInModeGrayScale, 4, 4, 8, 1);
        session->refuse_row_at = 2;
        session->store_cancel = cancel;
        record().errorCode = 0;
        EXPECT_FALSE(session->import_image());
        EXPECT_EQ(session->rows().size(), 2u);
        // The plug-in ignored the refusal and returned 0: the import fails anyway.
        ASSERT_EQ(results.size(), 2u);
        EXPECT_EQ(results[0], cancel ? 24862 : 24849);
        EXPECT_EQ(record().errorCode,
                  static_cast<uint32_t>(cancel ? FERR_CANCELLED : FERR_TRANSFER));
        session->end_import();
    }
}

struct BadChunk {
    const char *what;
    Chunk chunk;
};

class BadReadTest : public PlugTest, public ::testing::WithParamInterface<BadChunk> {};

TEST_P(BadReadTest, IsDeclinedBeforeAnyRowMoves) {
    std::vector<int16_t> results;
    std::vector<uint8_t> buffer;
    deliver_chunks(script, {GetParam().chunk}, &results, &buffer);
    describe(plugInModeRGBColor, 10, 4, 8, 3);
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
    EXPECT_EQ(results, (std::vector<int16_t>{formatBadParameters}));
    EXPECT_TRUE(session->rows().empty());
}

INSTANTIATE_TEST_SUITE_P(Requests, BadReadTest,
                         ::testing::Values(BadChunk{"null data", {0, 0, 2, 10, 30, true}},
                                           BadChunk{"below the image", {3, 0, 5, 10, 30}},
                                           BadChunk{"above the image", {-1, 0, 1, 10, 30}},
                                           BadChunk{"upside down", {2, 0, 1, 10, 30}},
                                           BadChunk{"rows too short", {0, 0, 2, 10, 29}},
                                           BadChunk{"negative row distance", {0, 0, 2, 10, -30}}),
                         [](const auto &info) {
                             std::string n = info.param.what;
                             for (char &c : n) c = c == ' ' ? '_' : c;
                             return n;
                         });

TEST_F(PlugTest, EmptyRectAndNullDataIsNoRequest) {
    std::vector<int16_t> results;
    std::vector<uint8_t> buffer;
    deliver_chunks(script, {{2, 0, 2, 0, 0, true}, {0, 0, 2, 1, 1}, {2, 0, 3, 1, 1}}, &results,
                   &buffer);
    describe(plugInModeGrayScale, 1, 3, 8, 1);
    ASSERT_TRUE(session->import_image());
    EXPECT_EQ(results, (std::vector<int16_t>{0, 0, 0}));
}

TEST_F(PlugTest, DeclinedPluginThatKeepsAskingLeavesTheLoop) {
    int calls = 0;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *) {
        static uint8_t buffer[16];
        if (selector != formatSelectorReadContinue) return;
        ++calls;
        r->theRect = {0, 0, 100, 1};
        r->rowBytes = 1;
        r->data = buffer;  // never ends by itself
        r->advanceState();
    };
    describe(plugInModeGrayScale, 1, 1, 8, 1);
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(calls, 1);
}

// Write side: the plug-in asks for `chunk` in write-continue.
void request_rows(ScriptState &script, Chunk chunk, std::vector<uint8_t> *buffer,
                  std::vector<int16_t> *results, int16_t plane0 = 0) {
    buffer->assign(4096, 0xEE);
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *) {
        if (selector == formatSelectorWriteStart) r->data = buffer->data();
        if (selector != formatSelectorWriteContinue) return;
        r->planeMap[0] = plane0;
        r->theRect = {chunk.top, chunk.left, chunk.bottom, chunk.right};
        r->rowBytes = chunk.rowBytes;
        r->data = chunk.null_data ? nullptr : buffer->data();
        results->push_back(r->advanceState());
        r->data = nullptr;
    };
}

host::Image rgb_image(int32_t w, int32_t h) {
    host::Image image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = 24;
    image.allocate();
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i);
    return image;
}

TEST_F(PlugTest, WriteExchangeFetchesTheColumnsAndSwapsRgb) {
    std::vector<uint8_t> buffer;
    std::vector<int16_t> results;
    request_rows(script, {1, 1, 3, 3, 7}, &buffer, &results);
    record().requestFlags = FRI_NO_DIALOG;
    host::Image image = rgb_image(4, 3);
    ASSERT_TRUE(session->export_plane(image, 1, 1)) << record().errorCode;
    EXPECT_EQ(results, (std::vector<int16_t>{0}));
    // Rows 1 and 2 from the top, pixels 1 and 2, red first.
    const uint8_t *row1 = image.row(1) + 3;
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 7),
              (std::vector<uint8_t>{row1[2], row1[1], row1[0], row1[5], row1[4], row1[3], 0xEE}));
    const uint8_t *row2 = image.row(2) + 3;
    EXPECT_EQ(buffer[7], row2[2]);
}

TEST_F(PlugTest, WriteExchangeKeepsHostOrderWhenThePluginMapsPlanes) {
    std::vector<uint8_t> buffer;
    std::vector<int16_t> results;
    request_rows(script, {0, 0, 1, 2, 6}, &buffer, &results, 2);
    record().requestFlags = FRI_NO_DIALOG;
    host::Image image = rgb_image(2, 1);
    ASSERT_TRUE(session->export_plane(image, 1, 1));
    EXPECT_EQ(std::vector<uint8_t>(buffer.begin(), buffer.begin() + 6),
              std::vector<uint8_t>(image.row(0), image.row(0) + 6));
}

TEST_F(PlugTest, WriteExchangeWithoutColumnsFetchesNothing) {
    std::vector<uint8_t> buffer;
    std::vector<int16_t> results;
    request_rows(script, {0, 2, 2, 2, 0}, &buffer, &results);
    record().requestFlags = FRI_NO_DIALOG;
    host::Image image = rgb_image(3, 2);
    ASSERT_TRUE(session->export_plane(image, 1, 1));
    EXPECT_EQ(results, (std::vector<int16_t>{0}));
    EXPECT_TRUE(session->fetches().empty());
    EXPECT_EQ(buffer[0], 0xEE);
}

class BadWriteTest : public PlugTest, public ::testing::WithParamInterface<BadChunk> {};

TEST_P(BadWriteTest, IsDeclinedAndTheExportFails) {
    std::vector<uint8_t> buffer;
    std::vector<int16_t> results;
    request_rows(script, GetParam().chunk, &buffer, &results);
    record().requestFlags = FRI_NO_DIALOG;
    EXPECT_FALSE(session->export_plane(rgb_image(4, 3), 1, 1));
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
    EXPECT_EQ(results, (std::vector<int16_t>{formatBadParameters}));
    EXPECT_EQ(buffer[0], 0xEE);
    EXPECT_EQ(script.selectors(), (std::vector<int>{9, 10, 12, 13, 14, 15, 16}));
}

INSTANTIATE_TEST_SUITE_P(Requests, BadWriteTest,
                         ::testing::Values(BadChunk{"null data", {0, 0, 1, 4, 12, true}},
                                           BadChunk{"right of the image", {0, 2, 1, 5, 12}},
                                           BadChunk{"left of the image", {0, -1, 1, 2, 12}},
                                           BadChunk{"below the image", {2, 0, 4, 4, 12}},
                                           BadChunk{"rows too short", {0, 0, 2, 4, 11}}),
                         [](const auto &info) {
                             std::string n = info.param.what;
                             for (char &c : n) c = c == ' ' ? '_' : c;
                             return n;
                         });

TEST_F(PlugTest, SwapNeedsThreeBytesAPixelWhateverTheHostDepth) {
    // The plug-in claims RGB for an 8-bit host image: rows of width bytes
    // would be swapped past their end.
    std::vector<uint8_t> buffer;
    std::vector<int16_t> results;
    request_rows(script, {0, 0, 1, 4, 4}, &buffer, &results);
    auto inner = script.action;
    script.action = [inner](int16_t selector, FormatRecord *r, intptr_t *data) {
        if (selector == formatSelectorWriteContinue) r->imageMode = plugInModeRGBColor;
        inner(selector, r, data);
    };
    record().requestFlags = FRI_NO_DIALOG;
    EXPECT_FALSE(session->export_plane(gray_image(4, 1), 1, 1));
    EXPECT_EQ(results, (std::vector<int16_t>{formatBadParameters}));
}

}  // namespace

struct RowsCase {
    const char *what;
    std::vector<Chunk> chunks;
    bool ok;
    size_t rows;  // row calls the host saw
};

class ImportRowsTest : public PlugTest, public ::testing::WithParamInterface<RowsCase> {};

// The import succeeds only when every row of the image reached the host once.
TEST_P(ImportRowsTest, SucceedsOnlyWithEveryRowOnce) {
    std::vector<int16_t> results;
    std::vector<uint8_t> buffer;
    deliver_chunks(script, GetParam().chunks, &results, &buffer);
    describe(plugInModeGrayScale, 2, 3, 8, 1);
    EXPECT_EQ(session->import_image(), GetParam().ok);
    if (!GetParam().ok) {
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
    }
    EXPECT_EQ(session->rows().size(), GetParam().rows);
}

INSTANTIATE_TEST_SUITE_P(
    Chunks, ImportRowsTest,
    ::testing::Values(RowsCase{"bottom_first", {{2, 0, 3, 2, 2}, {0, 0, 2, 2, 2}}, true, 3},
                      RowsCase{"no_rows", {}, false, 0},
                      RowsCase{"last_row_missing", {{0, 0, 2, 2, 2}}, false, 2},
                      RowsCase{"row_twice", {{0, 0, 2, 2, 2}, {1, 0, 3, 2, 2}}, false, 2}),
    [](const auto &info) { return std::string(info.param.what); });

// Rows the plug-in offers outside FE_IMPORT's row loop (while identifying,
// or at the finish selector after the host refused the header call) are
// declined, so the host never sees a row before an accepted header call.
TEST_F(PlugTest, RowsOutsideTheImportLoopAreDeclined) {
    std::vector<int16_t> results;
    static uint8_t buffer[8];
    describe(plugInModeGrayScale, 2, 1, 8, 1);
    auto previous = script.action;
    script.action = [&](int16_t selector, FormatRecord *r, intptr_t *data) {
        previous(selector, r, data);
        if (selector != formatSelectorReadStart && selector != formatSelectorReadFinish) return;
        r->theRect = {0, 0, 1, 2};
        r->rowBytes = 2;
        r->data = buffer;
        results.push_back(r->advanceState());
    };
    session->refuse_header = 1;
    EXPECT_FALSE(session->import_image());
    EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_TRANSFER));
    session->end_import();
    EXPECT_EQ(results, (std::vector<int16_t>{formatBadParameters, formatBadParameters}));
    EXPECT_TRUE(session->rows().empty());
}

TEST_F(PlugTest, ImageWithoutPixelsFailsIdentifyAndFinishes) {
    for (int16_t width : {0, -3, 4}) {
        script.reset();
        describe(plugInModeRGBColor, width, width == 4 ? 0 : 2, 8, 3);
        EXPECT_FALSE(session->identify()) << width;
        EXPECT_EQ(record().errorCode, static_cast<uint32_t>(FERR_PLUGIN));
        EXPECT_EQ(script.selectors(), (std::vector<int>{17, 1, 2, 4}));
        EXPECT_EQ(record().filterState, nullptr);
    }
}
