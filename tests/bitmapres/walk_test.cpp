// The NE and PE resource walks: which bitmap an index picks, the count, and
// the refusals, on executables built byte by byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/resource_dir.h"
#include "fixtures.h"
#include "harness.h"

namespace {

using Bytes = std::vector<uint8_t>;

// Bitmaps told apart by their width.
Bytes dib_of_width(int32_t width) {
    return fx::make_dib(fx::pattern(width, 2, 8, uint32_t(width)));
}

struct Picked {
    uint32_t error;
    int32_t count;
    int32_t width;  // of the located bitmap, 0 when none
};

Picked pick(const Bytes &file, int32_t index) {
    rsrc::BitmapLocation where;
    uint32_t e = rsrc::locate_bitmap(file.data(), file.size(), index, &where);
    int32_t width = 0;
    if (e == 0) width = int32_t(file[where.offset + 4] | file[where.offset + 5] << 8);
    return {e, where.count, width};
}

Bytes ne_with_three(uint8_t shift = 4) {
    fx::NeOptions o;
    o.shift = shift;
    return fx::make_ne({{0x8003, dib_of_width(99)},  // an icon first, skipped
                        {0x8002, dib_of_width(11)},
                        {0x8002, dib_of_width(12)},
                        {0x8006, {1, 2, 3, 4}},
                        {0x8002, dib_of_width(13)}},
                       o);
}

TEST(NeWalk, IndexPicksAmongTheBitmaps) {
    for (uint8_t shift : {0, 1, 4, 9}) {
        SCOPED_TRACE(int(shift));
        const Bytes f = ne_with_three(shift);
        struct {
            int32_t index;
            uint32_t error;
            int32_t width;
        } cases[] = {{0, 0, 11}, {1, 0, 11},           {2, 0, 12},
                     {3, 0, 13}, {4, FERR_CORRUPT, 0}, {-1, FERR_CORRUPT, 0}};
        for (const auto &c : cases) {
            Picked p = pick(f, c.index);
            EXPECT_EQ(p.error, c.error) << c.index;
            EXPECT_EQ(p.width, c.width) << c.index;
            EXPECT_EQ(p.count, 3) << c.index;
        }
    }
}

TEST(NeWalk, Refusals) {
    const Bytes dib = dib_of_width(5);
    fx::NeOptions os2;
    os2.targetOs = 1;
    fx::NeOptions old;
    old.version = 0x0201;
    fx::NeOptions v3;
    v3.version = 0x0300;
    Bytes dos_only(200, 0);
    dos_only[0] = 'M';
    dos_only[1] = 'Z';
    dos_only[0x3C] = 0x40;
    struct {
        const char *name;
        Bytes file;
        uint32_t error;
    } cases[] = {
        {"Os2Target", fx::make_ne({{0x8002, dib}}, os2), FERR_NOT_FORMAT},
        {"Windows2", fx::make_ne({{0x8002, dib}}, old), FERR_NOT_FORMAT},
        {"Windows30", fx::make_ne({{0x8002, dib}}, v3), 0},
        {"NoBitmapType", fx::make_ne({{0x8003, dib}, {0x8006, dib}}), FERR_CORRUPT},
        {"NamedTypeWithLowBits2", fx::make_ne({{0x0002, dib}}), 0},
        {"DosOnly", dos_only, FERR_NOT_FORMAT},
        {"NotMz", Bytes{'Z', 'M', 0, 0}, FERR_NOT_FORMAT},
        {"Tiny", Bytes{'M'}, FERR_NOT_FORMAT},
        {"Empty", Bytes{}, FERR_NOT_FORMAT},
    };
    for (const auto &c : cases) EXPECT_EQ(pick(c.file, 1).error, c.error) << c.name;
}

TEST(NeWalk, BadOffsetsAreCorrupt) {
    Bytes f = ne_with_three();
    const size_t table = 0x40 + 0x40;
    // A bitmap type with no resources, a resource beyond the file, a table
    // beyond the file, a shift too large, a table without its end.
    Bytes empty_type = f;
    empty_type[table + 2 + 8 + 12 + 2] = 0;  // the bitmap type's count
    Bytes far = f;
    far[table + 2 + 8 + 12 + 8] = 0xFF;  // first bitmap's offset
    far[table + 2 + 8 + 12 + 8 + 1] = 0xFF;
    Bytes table_out = f;
    table_out[0x40 + 0x24] = 0xF0;
    table_out[0x40 + 0x25] = 0xFF;
    Bytes shift = f;
    shift[table] = 40;
    Bytes unterminated(f.begin(), f.begin() + table + 2 + 8 + 12);
    for (const Bytes *b : {&empty_type, &far, &table_out, &shift, &unterminated})
        EXPECT_EQ(pick(*b, 1).error, uint32_t(FERR_CORRUPT));
}

Bytes pe_two_names_two_languages(const fx::PeOptions &o = {}) {
    return fx::make_pe({{5, "", 1, 1033, {9, 9}},  // a dialog, not counted
                        {2, "FIRST", 0, 1031, dib_of_width(21)},
                        {2, "FIRST", 0, 1033, dib_of_width(22)},
                        {2, "", 7, 1031, dib_of_width(23)},
                        {2, "", 7, 1036, dib_of_width(24)},
                        {3, "", 1, 1033, dib_of_width(98)}},
                       o);
}

TEST(PeWalk, CountsEveryNameAndLanguage) {
    for (bool plus : {false, true}) {
        SCOPED_TRACE(plus ? "PE32+" : "PE32");
        fx::PeOptions o;
        o.plus = plus;
        const Bytes f = pe_two_names_two_languages(o);
        const int32_t widths[] = {21, 21, 22, 23, 24};
        for (int32_t index = 0; index <= 4; ++index) {
            Picked p = pick(f, index);
            EXPECT_EQ(p.error, 0u) << index;
            EXPECT_EQ(p.width, widths[index]) << index;
            EXPECT_EQ(p.count, 4);
        }
        EXPECT_EQ(pick(f, 5).error, uint32_t(FERR_CORRUPT));
        EXPECT_EQ(pick(f, 5).count, 4);
        EXPECT_EQ(pick(f, -3).error, uint32_t(FERR_CORRUPT));
    }
}

TEST(PeWalk, Refusals) {
    fx::PeOptions other;
    other.section = ".data";
    EXPECT_EQ(pick(pe_two_names_two_languages(other), 1).error, uint32_t(FERR_CORRUPT));
    EXPECT_EQ(pick(fx::make_pe({{3, "", 1, 1033, {1, 2}}}), 1).error, uint32_t(FERR_CORRUPT));

    // The bitmap type pointing at the root directory: the walk must end.
    Bytes loop = pe_two_names_two_languages();
    const size_t root = fx::kPeResourceOffset;
    for (size_t e = root + 16; e < root + 16 + 8 * 3; e += 8)
        if (loop[e] == 2) loop[e + 4] = 0, loop[e + 5] = 0, loop[e + 6] = 0, loop[e + 7] = 0x80;
    EXPECT_EQ(pick(loop, 1).error, uint32_t(FERR_CORRUPT));

    // Directory and data entry offsets beyond the file.
    Bytes far_dir = pe_two_names_two_languages();
    for (size_t e = root + 16; e < root + 16 + 8 * 3; e += 8)
        if (far_dir[e] == 2) far_dir[e + 6] = 0x7F;
    EXPECT_EQ(pick(far_dir, 1).error, uint32_t(FERR_CORRUPT));

    Bytes no_sections = pe_two_names_two_languages();
    no_sections[0x80 + 6] = 0;
    EXPECT_EQ(pick(no_sections, 1).error, uint32_t(FERR_CORRUPT));
    Bytes many_sections = pe_two_names_two_languages();
    many_sections[0x80 + 6] = 0xFF;  // the table runs past the file before ".rsrc"
    many_sections[0x80 + 24 + 224] = 'x';
    EXPECT_EQ(pick(many_sections, 1).error, uint32_t(FERR_CORRUPT));
}

TEST(PeWalk, ImageCountReachesTheRecord) {
    fx::Harness h;
    h.set_file(pe_two_names_two_languages());
    h.record().imageIndex = 3;
    ASSERT_TRUE(h.identify());
    EXPECT_EQ(h.record().imageCount, 4);
    EXPECT_EQ(h.record().width, 23);
    EXPECT_EQ(h.record().errorCode, 0u);
    h.record().imageIndex = 9;
    EXPECT_FALSE(h.identify());
    EXPECT_EQ(h.record().errorCode, uint32_t(FERR_CORRUPT));
}

}  // namespace
