// pngxchg on hand-made and damaged files: the description, refusal codes,
// truncated and corrupt streams, huge declared sizes and failing allocations.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>

#include "common/heap.h"
#include "common/record_blocks.h"
#include "png_fixtures.h"

namespace png_test {
namespace {

std::vector<uint8_t> be32(uint32_t v) {
    return {static_cast<uint8_t>(v >> 24), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

Chunk ihdr(uint32_t w, uint32_t h, int depth, int type, int interlace = 0) {
    Chunk c{"IHDR", be32(w)};
    auto hb = be32(h);
    c.data.insert(c.data.end(), hb.begin(), hb.end());
    for (int b : {depth, type, 0, 0, interlace}) c.data.push_back(static_cast<uint8_t>(b));
    return c;
}

std::vector<uint8_t> deflate_bytes(const std::vector<uint8_t> &raw, int flush = Z_FINISH) {
    z_stream z{};
    deflateInit(&z, 6);
    std::vector<uint8_t> out(deflateBound(&z, raw.size()) + 64);
    z.next_in = const_cast<Bytef *>(raw.data());
    z.avail_in = static_cast<uInt>(raw.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, flush);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    return out;
}

// A file from a header and the filtered scanlines (filter bytes included).
std::vector<uint8_t> file_from(const Chunk &header, const std::vector<uint8_t> &scanlines,
                               std::vector<Chunk> extra = {}) {
    std::vector<Chunk> chunks = {header};
    chunks.insert(chunks.end(), extra.begin(), extra.end());
    chunks.push_back({"IDAT", deflate_bytes(scanlines)});
    chunks.push_back({"IEND", {}});
    return join_chunks(chunks);
}

Chunk text(const std::string &keyword, const std::string &body, const char *type = "tEXt") {
    Chunk c{type, std::vector<uint8_t>(keyword.begin(), keyword.end())};
    c.data.push_back(0);
    c.data.insert(c.data.end(), body.begin(), body.end());
    return c;
}

TEST(PngDescription, FieldsForEachKindOfFile) {
    const std::vector<uint8_t> grey1x1 = file_from(ihdr(1, 1, 8, 0), {0, 7});
    auto s = session_for(grey1x1);
    ASSERT_TRUE(s->identify());
    const FilterRecord &r = s->record();
    EXPECT_EQ(r.width, 1);
    EXPECT_EQ(r.height, 1);
    EXPECT_EQ(r.bitsPerPixel, 8);
    EXPECT_EQ(r.fileBitsPerPixel, 8);
    EXPECT_EQ(r.paletteCount, 256);
    EXPECT_EQ(r.palette[3 * 255], 255);
    EXPECT_EQ(r.imageCount, 1);
    EXPECT_STREQ(r.compressionName, "LZ77 Compression");

    auto rgb16 = session_for(encode(make_samples(3, 2, 2, 16, false, 1)));
    ASSERT_TRUE(rgb16->identify());
    EXPECT_EQ(rgb16->record().bitsPerPixel, 24);
    EXPECT_EQ(rgb16->record().fileBitsPerPixel, 48);
    EXPECT_EQ(rgb16->record().paletteCount, 0);
    EXPECT_EQ(rgb16->record().palette, nullptr);

    auto rgba = session_for(encode(make_samples(3, 2, 6, 8, false, 1)));
    rgba->record().imageIndex = 1;
    ASSERT_TRUE(rgba->identify());
    const FilterRecord &a = rgba->record();
    EXPECT_EQ(a.bitsPerPixel, 24);
    EXPECT_EQ(a.imageCount, 2);
    EXPECT_EQ(a.planeKind, 1);
    EXPECT_EQ(a.linkedCount, 1);
    EXPECT_EQ(a.linkedPlanes[0], 2);
    EXPECT_EQ(a.linkedPlanes[1], 2);
    rgba->record().imageIndex = 2;
    ASSERT_TRUE(rgba->identify());
    EXPECT_EQ(a.bitsPerPixel, 8);
    EXPECT_EQ(a.paletteCount, 256);
    EXPECT_EQ(a.planeKind, 2);
    EXPECT_EQ(a.linkedPlanes[0], 1);
    EXPECT_EQ(a.linkedPlanes[1], 1);

    // An RGB file has no plane 2: asked for it, it describes its colour image.
    auto rgb = session_for(encode(make_samples(3, 2, 2, 8, false, 1)));
    rgb->record().imageIndex = 2;
    ASSERT_TRUE(rgb->identify());
    EXPECT_EQ(rgb->record().imageCount, 1);
    EXPECT_EQ(rgb->record().planeKind, 1);
    EXPECT_EQ(rgb->record().bitsPerPixel, 24);
    ASSERT_TRUE(rgb->import_image());
    EXPECT_EQ(rgb->image().bitsPerPixel, 24);
}

TEST(PngDescription, PaletteEntries) {
    // 2-bit palette with 3 PLTE entries: 4 entries, the last black.
    Chunk plte{"PLTE", {10, 20, 30, 40, 50, 60, 70, 80, 90}};
    auto s = session_for(file_from(ihdr(4, 1, 2, 3), {0, 0x1B}, {plte}));
    ASSERT_TRUE(s->identify());
    EXPECT_EQ(s->record().bitsPerPixel, 4);
    ASSERT_EQ(s->record().paletteCount, 4);
    const std::vector<uint8_t> want = {30, 20, 10, 60, 50, 40, 90, 80, 70, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(s->record().palette, s->record().palette + 12), want);
    // A PLTE of 300 entries at depth 1 gives exactly 2 entries.
    Chunk big{"PLTE", std::vector<uint8_t>(900, 9)};
    auto b = session_for(file_from(ihdr(8, 1, 1, 3), {0, 0xF0}, {big}));
    ASSERT_TRUE(b->identify());
    EXPECT_EQ(b->record().paletteCount, 2);
    // A tRNS chunk changes nothing in the description.
    Chunk trns{"tRNS", {0, 255}};
    auto t = session_for(file_from(ihdr(8, 1, 1, 3), {0, 0xF0}, {plte, trns}));
    ASSERT_TRUE(t->identify());
    EXPECT_EQ(t->record().imageCount, 1);
}

TEST(PngDescription, ResolutionAndComment) {
    std::vector<uint8_t> phys = be32(2835);
    auto y = be32(2835);
    phys.insert(phys.end(), y.begin(), y.end());
    phys.push_back(0);
    auto s =
        session_for(file_from(ihdr(1, 1, 8, 0), {0, 0},
                              {{"pHYs", phys}, text("Author", "me"), text("Comment", "hello")}));
    ASSERT_TRUE(s->identify());
    EXPECT_EQ(s->record().xResolution, 2835000);
    EXPECT_EQ(s->record().yResolution, 2835000);
    EXPECT_STREQ(s->record().comment, "hello");

    // zTXt is never decompressed; "Comments" is not "Comment"; a short pHYs
    // is ignored rather than read past its end, and the resolution is then
    // not stated (0) rather than what the record held before.
    auto z = session_for(
        file_from(ihdr(1, 1, 8, 0), {0, 0},
                  {text("Comment", "x", "zTXt"), text("Comments", "no"), {"pHYs", {0, 0, 1, 0}}}));
    z->record().xResolution = 77;
    ASSERT_TRUE(z->identify());
    EXPECT_EQ(z->record().comment, nullptr);
    EXPECT_EQ(z->record().xResolution, 0);

    // Pixels per metre beyond what pixels per kilometre can hold stay at the top.
    auto h = session_for(
        file_from(ihdr(1, 1, 8, 0), {0, 0}, {{"pHYs", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 1, 1}}}));
    ASSERT_TRUE(h->identify());
    EXPECT_EQ(h->record().xResolution, INT32_MAX);
    EXPECT_EQ(h->record().yResolution, 1000);
}

// Identify again on the same state, for the other plane: the colour plane of
// an RGB image with alpha has no palette, although the alpha plane before it
// had its grey ramp. A record left with blocks that are not the module's (a
// host's or another module's) gets the file's description too.
TEST(PngDescription, NothingOfAnEarlierDescriptionSurvives) {
    const long live = flt::heap_live_blocks();
    auto s = session_for(file_from(ihdr(1, 1, 8, 6), {0, 1, 2, 3, 4}));
    FilterRecord &r = s->record();
    r.imageIndex = 2;
    ASSERT_TRUE(s->identify());
    ASSERT_EQ(r.paletteCount, 256);
    r.imageIndex = 1;
    ASSERT_TRUE(s->identify());
    EXPECT_EQ(r.bitsPerPixel, 24);
    EXPECT_EQ(r.paletteCount, 0);
    EXPECT_EQ(r.palette, nullptr);
    EXPECT_TRUE(s->end_import());

    uint8_t foreign_palette[6] = {};
    char foreign_comment[] = "not this file's";
    int32_t foreign_planes[2] = {2, 2};
    for (int type : {0, 2}) {  // grey: its own grey ramp; RGB: no palette
        s->set_file(file_from(ihdr(1, 1, 8, type), {0, 1, 2, 3}));
        r.palette = foreign_palette;
        r.paletteCount = 2;
        r.comment = foreign_comment;
        r.linkedPlanes = foreign_planes;
        r.xResolution = r.yResolution = 7000;
        ASSERT_TRUE(s->identify()) << type;
        EXPECT_EQ(r.paletteCount, type == 0 ? 256 : 0) << type;
        EXPECT_EQ(r.palette == nullptr, type == 2) << type;
        EXPECT_NE(r.palette, foreign_palette) << type;
        EXPECT_EQ(r.comment, nullptr) << type;
        EXPECT_EQ(r.linkedPlanes, nullptr) << type;
        EXPECT_EQ(r.xResolution, 0) << type;
        EXPECT_TRUE(s->end_import());
    }
    EXPECT_EQ(flt::heap_live_blocks(), live);
}

TEST(PngDescription, RefusalCodes) {
    const std::vector<uint8_t> good = file_from(ihdr(2, 2, 8, 0), {0, 1, 2, 0, 3, 4});
    std::vector<uint8_t> sig8(good.begin(), good.begin() + 8), sig7(good.begin(), good.begin() + 7);
    auto no_iend = good;
    no_iend.resize(no_iend.size() - 12);
    Chunk short_ihdr = ihdr(2, 2, 8, 0);
    short_ihdr.data.pop_back();
    struct Case {
        const char *what;
        std::vector<uint8_t> file;
        uint32_t code;
    } cases[] = {
        {"empty", {}, FERR_NOT_FORMAT},
        {"signature only", sig8, FERR_NOT_FORMAT},
        {"7 bytes", sig7, FERR_NOT_FORMAT},
        {"no IEND", no_iend, FERR_NOT_FORMAT},
        {"IHDR of 12 bytes", join_chunks({short_ihdr, {"IEND", {}}}), FERR_NOT_FORMAT},
        {"no IHDR", join_chunks({{"IDAT", {1}}, {"IEND", {}}}), FERR_UNSUPPORTED},
        {"palette without PLTE", file_from(ihdr(2, 2, 8, 3), {0, 1, 2, 0, 3, 4}), FERR_UNSUPPORTED},
        {"RGB of 4 bits", file_from(ihdr(2, 2, 4, 2), {0, 0}), FERR_UNSUPPORTED},
        {"palette of 16 bits", file_from(ihdr(2, 2, 16, 3), {0, 0}), FERR_UNSUPPORTED},
        {"colour type 5", file_from(ihdr(2, 2, 8, 5), {0, 0}), FERR_UNSUPPORTED},
        {"grey of 3 bits", file_from(ihdr(2, 2, 3, 0), {0, 0}), FERR_UNSUPPORTED},
        {"width 0", file_from(ihdr(0, 2, 8, 0), {0, 0}), FERR_UNSUPPORTED},
        {"height 0", file_from(ihdr(2, 0, 8, 0), {}), FERR_UNSUPPORTED},
        {"width over 2^31", file_from(ihdr(0x80000000u, 1, 8, 0), {0}), FERR_UNSUPPORTED},
        {"rows over 2^30 bytes", file_from(ihdr(0x20000000u, 1, 16, 6), {0}), FERR_UNSUPPORTED},
    };
    for (const Case &c : cases) {
        auto s = session_for(c.file);
        EXPECT_FALSE(s->identify()) << c.what;
        EXPECT_EQ(s->record().errorCode, c.code) << c.what;
        EXPECT_EQ(s->record().filterState, nullptr) << c.what;
        EXPECT_EQ(s->record().palette, nullptr) << c.what;
    }
}

// A wrong CRC in a critical chunk (upper-case first letter) refuses the file;
// an ancillary chunk with a wrong CRC is dropped and the image reads as before.
TEST(PngBadInput, CrcFlipInEveryChunk) {
    std::vector<Chunk> chunks = split_chunks(encode(make_samples(5, 4, 3, 4, false, 3)));
    chunks.insert(chunks.begin() + 1, Chunk{"prVt", {1, 2, 3}});
    chunks.insert(chunks.begin() + 2, Chunk{"cLLI", {0, 0, 3, 232, 0, 0, 1, 244}});
    chunks.insert(chunks.begin() + 3, text("Comment", "c"));
    const std::vector<uint8_t> file = join_chunks(chunks);
    auto good = session_for(file);
    ASSERT_TRUE(good->import_image());
    size_t pos = 8;
    for (const Chunk &c : chunks) {
        const bool ancillary = (c.type[0] & 0x20) != 0;
        for (size_t at : {pos + 4, pos + 8, pos + 8 + c.data.size()}) {
            std::vector<uint8_t> bad = file;
            bad[at] ^= 0x10;  // a type byte, the first data byte (or CRC), the CRC
            auto s = session_for(bad);
            if (!ancillary) {
                EXPECT_FALSE(s->identify()) << c.type << " at " << at;
                EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_CORRUPT)) << c.type;
                continue;
            }
            ASSERT_TRUE(s->import_image()) << c.type << " at " << at;
            EXPECT_EQ(compare_images(s->image(), good->image()), "") << c.type;
            const char *comment = s->record().comment;
            EXPECT_EQ(std::string(comment ? comment : "(none)"), c.type == "tEXt" ? "(none)" : "c");
        }
        pos += 12 + c.data.size();
    }
}

// Ending an import that has no state, or an identify that fails, leaves the
// palette and comment that the host put in the record alone.
TEST(PngBadInput, HostBlocksInTheRecordStay) {
    std::vector<uint8_t> bad_crc = encode(make_samples(2, 2, 0, 8, false, 6));
    bad_crc[8 + 12] ^= 1;  // inside IHDR
    const struct {
        const char *name;
        std::vector<uint8_t> file;
        uint32_t operation;
    } cases[] = {
        {"end without state", {}, FE_END_IMPORT},
        {"not a PNG", {1, 2, 3, 4, 5, 6, 7, 8, 9}, FE_IDENTIFY},
        {"critical CRC", bad_crc, FE_IDENTIFY},
    };
    for (const auto &c : cases) {
        auto s = session_for(c.file);
        uint8_t palette[6] = {1, 2, 3, 4, 5, 6};
        char comment[] = "host's";
        s->record().palette = palette;
        s->record().paletteCount = 2;
        s->record().comment = comment;
        s->call(c.operation);
        EXPECT_EQ(s->record().palette, palette) << c.name;
        EXPECT_EQ(s->record().comment, comment) << c.name;
    }
}

TEST(PngBadInput, TruncationAtEveryByte) {
    const std::vector<uint8_t> file = encode(make_samples(6, 5, 6, 8, true, 4));
    for (size_t n = 0; n < file.size(); ++n) {
        // Exactly n bytes on the heap, so that a read past them would hit the end.
        auto s = session_for(std::vector<uint8_t>(file.begin(), file.begin() + n));
        EXPECT_FALSE(s->identify()) << n;
        EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_NOT_FORMAT)) << n;
        EXPECT_FALSE(s->import_image()) << n;
    }
    EXPECT_TRUE(session_for(file)->import_image());
}

TEST(PngBadInput, MissingIdatFailsAtImport) {
    std::vector<Chunk> chunks = split_chunks(encode(make_samples(4, 4, 0, 8, false, 5)));
    std::vector<Chunk> none, after;
    for (const Chunk &c : chunks)
        if (c.type != "IDAT") none.push_back(c);
    after = none;
    after.push_back({"IDAT", chunks[1].data});  // after IEND: never looked at
    std::vector<uint8_t> tail = join_chunks(after);
    for (const std::vector<uint8_t> &file : {join_chunks(none), tail}) {
        auto s = session_for(file);
        ASSERT_TRUE(s->identify());
        EXPECT_FALSE(s->import_image());
        EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_DECODE));
        EXPECT_EQ(s->header_calls(), 1);
        EXPECT_EQ(s->record().filterState, nullptr);
    }
}

// Ten rows of 4 grey pixels, filter None; row n holds n + 1 in every byte.
std::vector<uint8_t> ten_rows(int rows = 10) {
    std::vector<uint8_t> raw;
    for (int n = 0; n < rows; ++n) {
        raw.push_back(0);
        raw.insert(raw.end(), 4, static_cast<uint8_t>(n + 1));
    }
    return raw;
}

TEST(PngBadInput, StreamsThatEndEarlyKeepTheirRows) {
    const std::vector<uint8_t> ended = deflate_bytes(ten_rows(3));              // stream end
    const std::vector<uint8_t> cut = deflate_bytes(ten_rows(3), Z_SYNC_FLUSH);  // no end
    std::vector<uint8_t> half_row = ten_rows(4);
    half_row.resize(3 * 5 + 2);
    const std::vector<uint8_t> partial = deflate_bytes(half_row, Z_SYNC_FLUSH);  // 3.4 rows
    for (bool interlaced : {false, true}) {
        for (const auto &idat : {ended, cut, partial}) {
            auto s = session_for(
                join_chunks({ihdr(4, 10, 8, 0, interlaced), {"IDAT", idat}, {"IEND", {}}}));
            ASSERT_TRUE(s->import_image());
            if (interlaced) {
                // The passes that got no data stay zero; every row is delivered.
                EXPECT_EQ(s->rows().size(), 10u);
                continue;
            }
            ASSERT_EQ(s->rows().size(), 3u);
            for (int k = 0; k < 3; ++k) {
                EXPECT_EQ(s->rows()[k].y, 9 - k);
                EXPECT_EQ(s->image().row(9 - (9 - k))[0], k + 1);
            }
        }
    }
}

// Success needs at least one row: a stream that ends before the first wanted
// row is complete delivers no image.
TEST(PngBadInput, StreamsThatEndBeforeTheFirstWantedRowFail) {
    std::vector<uint8_t> part_row = ten_rows(1);
    part_row.pop_back();
    const struct {
        const char *name;
        std::vector<uint8_t> idat;
        FilterRect region;
        uint32_t flags;
        bool interlaced = false;
    } cases[] = {
        {"inside row 0", deflate_bytes(part_row), {}, 0},
        {"inside row 0, fit", deflate_bytes(part_row), {0, 0, 7, 19}, 0x40},
        {"ends above the crop", deflate_bytes(ten_rows(3)), {0, 5, 2, 8}, 0},
        {"no end, above the crop", deflate_bytes(ten_rows(3), Z_SYNC_FLUSH), {0, 5, 2, 8}, 0},
        {"interlaced, empty stream", deflate_bytes({}), {}, 0, true},
        {"interlaced, inside the first pass row", deflate_bytes({0}), {}, 0, true},
    };
    for (const auto &c : cases) {
        auto s = session_for(
            join_chunks({ihdr(4, 10, 8, 0, c.interlaced), {"IDAT", c.idat}, {"IEND", {}}}));
        s->record().region = c.region;
        s->record().requestFlags = c.flags;
        EXPECT_FALSE(s->import_image()) << c.name;
        EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_DECODE)) << c.name;
        EXPECT_EQ(s->rows().size(), 0u) << c.name;
        EXPECT_EQ(s->record().filterState, nullptr) << c.name;
    }
}

TEST(PngBadInput, CorruptDeflateData) {
    std::vector<uint8_t> idat = deflate_bytes(ten_rows());
    std::vector<uint8_t> bad_header = idat, bad_block = idat, bad_check = idat;
    bad_header[0] = 0x09;                  // not method 8
    bad_block[2] = 0xFF;                   // block type 3 does not exist
    bad_check[bad_check.size() - 1] ^= 1;  // Adler-32
    for (bool interlaced : {false, true}) {
        for (const auto &data : {bad_header, bad_block, bad_check}) {
            auto s = session_for(
                join_chunks({ihdr(4, 10, 8, 0, interlaced), {"IDAT", data}, {"IEND", {}}}));
            EXPECT_FALSE(s->import_image());
            EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_DECODE));
            EXPECT_EQ(s->record().filterState, nullptr);
        }
    }
}

TEST(PngBadInput, IdatSplitAroundOtherChunksAndEmptyIdat) {
    const std::vector<uint8_t> idat = deflate_bytes(ten_rows());
    const size_t a = idat.size() / 3, b = 2 * idat.size() / 3;
    auto part = [&](size_t from, size_t to) {
        return Chunk{"IDAT", std::vector<uint8_t>(idat.begin() + from, idat.begin() + to)};
    };
    auto s = session_for(join_chunks({ihdr(4, 10, 8, 0),
                                      part(0, a),
                                      {"IDAT", {}},
                                      text("Comment", "between"),
                                      part(a, b),
                                      part(b, idat.size()),
                                      {"IEND", {}}}));
    ASSERT_TRUE(s->import_image());
    ASSERT_EQ(s->rows().size(), 10u);
    for (int n = 0; n < 10; ++n) EXPECT_EQ(s->image().row(n)[3], n + 1);
    EXPECT_STREQ(s->record().comment, "between");
}

TEST(PngBadInput, FilterBytesOnHandMadeRows) {
    // RGB width 2, Sub: 10 20 30 5 5 5 gives 30 20 10 35 25 15 in BGR.
    auto sub = session_for(file_from(ihdr(2, 1, 8, 2), {1, 10, 20, 30, 5, 5, 5}));
    ASSERT_TRUE(sub->import_image());
    const std::vector<uint8_t> want_sub = {30, 20, 10, 35, 25, 15};
    EXPECT_EQ(std::vector<uint8_t>(sub->image().row(0), sub->image().row(0) + 6), want_sub);
    // Paeth with a = c = 0 at the first pixel adds the byte above; filter 7
    // leaves the row as stored and the import goes on.
    auto p = session_for(file_from(ihdr(3, 3, 8, 0), {0, 50, 60, 70, 4, 1, 2, 3, 7, 9, 8, 7}));
    ASSERT_TRUE(p->import_image());
    const host::Image &img = p->image();
    EXPECT_EQ(img.row(1)[0], 51);  // 1 + b (50)
    EXPECT_EQ(img.row(1)[1], 62);  // a = 51, b = 60, c = 50: predictor 60
    EXPECT_EQ(std::vector<uint8_t>(img.row(2), img.row(2) + 3), (std::vector<uint8_t>{9, 8, 7}));
    // 2-bit grey of width 5: 3-byte rows, the fifth pixel in the high nibble.
    auto g = session_for(file_from(ihdr(5, 1, 2, 0), {0, 0x1B, 0x80}));
    ASSERT_TRUE(g->import_image());
    ASSERT_EQ(g->rows()[0].byteCount, 3);
    EXPECT_EQ(std::vector<uint8_t>(g->image().row(0), g->image().row(0) + 3),
              (std::vector<uint8_t>{0x01, 0x23, 0x20}));
}

TEST(PngBadInput, HugeDeclaredSizesWithLittleData) {
    const std::vector<uint8_t> idat = deflate_bytes(ten_rows());
    // Sequential: a few small rows, or a scanline the data could never fill.
    auto tall =
        session_for(join_chunks({ihdr(4, 2000000000u, 8, 0), {"IDAT", idat}, {"IEND", {}}}));
    ASSERT_TRUE(tall->import_image());
    EXPECT_EQ(tall->rows().size(), 10u);
    auto wide =
        session_for(join_chunks({ihdr(200000000u, 1000000u, 8, 2), {"IDAT", idat}, {"IEND", {}}}));
    EXPECT_FALSE(wide->import_image());
    EXPECT_EQ(wide->record().errorCode, static_cast<uint32_t>(FERR_DECODE));
    EXPECT_EQ(wide->rows().size(), 0u);
    // Interlaced: the pass images would hold far more than the data can fill.
    auto big =
        session_for(join_chunks({ihdr(100000, 100000, 8, 6, 1), {"IDAT", idat}, {"IEND", {}}}));
    EXPECT_FALSE(big->import_image());
    EXPECT_EQ(big->record().errorCode, static_cast<uint32_t>(FERR_DECODE));
}

// Runs identify and import with the n-th allocation failing, for every n
// until a run needs fewer allocations; checks the codes and counts leaks.
void fail_every_allocation(const std::vector<uint8_t> &file, const FilterRect &region,
                           uint32_t flags, int32_t index) {
    for (long n = 1;; ++n) {
        auto s = session_for(file);
        s->record().imageIndex = index;
        s->record().region = region;
        s->record().requestFlags = flags;
        const long live = flt::heap_live_blocks();
        flt::heap_fail_at(n);
        const bool identified = s->identify();
        const bool imported = identified && s->import_image();
        const long requests = flt::heap_request_count();
        flt::heap_fail_at(0);
        if (!imported) {
            EXPECT_EQ(s->record().errorCode, static_cast<uint32_t>(FERR_NO_MEMORY)) << n;
            EXPECT_EQ(s->record().filterState, nullptr) << n;
        }
        s->end_import();
        const FilterRecord &r = s->record();
        EXPECT_TRUE(!r.palette && !r.compressionName && !r.comment && !r.linkedPlanes) << n;
        EXPECT_EQ(flt::heap_live_blocks(), live) << "allocation " << n;
        if (requests < n) {
            EXPECT_TRUE(imported);
            break;
        }
    }
}

TEST(PngBadInput, EveryAllocationFailingInTurnLeaksNothing) {
    std::vector<Chunk> chunks = split_chunks(encode(make_samples(9, 7, 6, 16, true, 6)));
    chunks.insert(chunks.begin() + 1, text("Comment", "kept"));
    chunks.insert(chunks.begin() + 1, text("Title", "t"));
    const std::vector<uint8_t> rgba = join_chunks(chunks);
    fail_every_allocation(rgba, {0, 0, 0, 0}, 0, 1);
    fail_every_allocation(rgba, {0, 0, 0, 0}, 0, 2);
    const std::vector<uint8_t> pal = encode(make_samples(19, 6, 3, 4, false, 7));
    fail_every_allocation(pal, {3, 1, 12, 4}, 0, 1);
    fail_every_allocation(pal, {0, 0, 29, 2}, 0x40, 1);
    fail_every_allocation(encode(make_samples(19, 6, 0, 2, true, 8)), {1, 1, 8, 5}, 0, 1);
}

}  // namespace
}  // namespace png_test
