// Every module against a record that holds blocks of the host: the module
// releases only what it allocated, leaves the host's pointers as they were,
// and an identify describes the file it read, not an earlier one.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "bitmapres/fixtures.h"
#include "host/host.h"
#include "host/library.h"
#include "support/tools.h"

namespace {

using Bytes = std::vector<uint8_t>;

// A copy of a module that also counts its heap's live blocks.
struct Probe {
    std::unique_ptr<host::Module> module;
    long (*live)() = nullptr;
};

Probe load_probe(const std::string &name) {
    Probe p;
    const std::string path = std::string(PROBE_DIR) + "/heapprobe_" + name + ".so";
    std::string error;
    p.module = host::Module::load(path, &error);
    EXPECT_TRUE(p.module) << error;
    if (void *library = p.module ? host::library_open(path, &error) : nullptr) {
        p.live =
            reinterpret_cast<long (*)()>(host::library_symbol(library, "FilterProbeLiveBlocks"));
        host::library_close(library);  // the module keeps it loaded
    }
    return p;
}

host::Image image(int32_t bits, int entries) {
    host::Image im;
    im.width = 5;
    im.height = 3;
    im.bitsPerPixel = bits;
    for (int i = 0; i < entries; ++i) im.palette.insert(im.palette.end(), {uint8_t(i), 9, 200});
    im.allocate();
    return im;
}

// Files of one module: with a palette (and a comment where the format has
// one), without a palette (empty when every file has one), and refused.
struct Files {
    Bytes palette, plain, bad;
};

// The host's own blocks, as a host leaves its export palette and comment, or
// a name of its own, in the record.
struct HostBlocks {
    uint8_t palette[6] = {1, 2, 3, 4, 5, 6};
    char comment[12] = "host's note";
    char name[12] = "host's name";

    void put(FilterRecord &r) {
        r.palette = palette;
        r.paletteCount = 2;
        r.comment = comment;
        r.compressionName = name;
    }
    void expect_in(const FilterRecord &r, const std::string &when) const {
        EXPECT_EQ(r.palette, palette) << when;
        EXPECT_EQ(r.compressionName, name) << when;
        EXPECT_EQ(r.comment, comment) << when;
        EXPECT_EQ(Bytes(palette, palette + 6), Bytes({1, 2, 3, 4, 5, 6})) << when;
        EXPECT_STREQ(comment, "host's note") << when;
        EXPECT_STREQ(name, "host's name") << when;
    }
};

// Exports `im` and ends the export with the host's blocks in the record.
Bytes export_file(const Probe &probe, const host::Image &im) {
    const long base = probe.live();
    HostBlocks host;
    host::Session s(*probe.module);
    s.record().compressionName = host.name;
    EXPECT_TRUE(s.export_plane(im, 1, 1)) << s.record().errorCode;
    host.put(s.record());
    EXPECT_TRUE(s.end_export());
    host.expect_in(s.record(), "export and its end");
    EXPECT_EQ(probe.live(), base) << "blocks left after the export";
    return s.output();
}

struct OwnershipCase {
    const char *module;
    bool describes_comment;  // else the host's comment stays through identify
    bool plugin;             // files go through the Netpbm plug-in, mapped by the host
    std::function<Files(const Probe &)> files;
};

void PrintTo(const OwnershipCase &c, std::ostream *os) {
    *os << c.module;
}

const OwnershipCase kCases[] = {
    {"pngxchg", true, false,
     [](const Probe &p) {
         host::Image indexed = image(8, 4);
         indexed.comment = "file's note";
         return Files{export_file(p, indexed), export_file(p, image(24, 0)), {1, 2, 3}};
     }},
    {"paintxchg", false, false,
     [](const Probe &) {
         Bytes picture(512, 0);
         for (int row = 0; row < 720; ++row) picture.insert(picture.end(), {0xB9, 0x00});
         return Files{picture, {}, Bytes(100, 0)};
     }},
    {"gemxchg", false, false,
     [](const Probe &p) {
         return Files{export_file(p, image(1, 2)), export_file(p, image(24, 0)), Bytes(20, 0xFF)};
     }},
    {"plughost", false, true,
     [](const Probe &) {
         const std::string pgm = "P5 2 1 255 \x01\x80", ppm = "P6 1 1 255 abc";
         return Files{Bytes(pgm.begin(), pgm.end()), Bytes(ppm.begin(), ppm.end()), Bytes(9, 'x')};
     }},
    {"rsrcxchg", false, false,
     [](const Probe &) {
         auto ne = [](int bits) {
             return fx::make_ne({{0x8002, fx::make_dib(fx::pattern(6, 2, bits, 1))}});
         };
         return Files{ne(8), ne(24), Bytes(64, 'M')};
     }},
};

class Ownership : public ::testing::TestWithParam<OwnershipCase> {};

TEST_P(Ownership, HostBlocksStayAndOwnBlocksGo) {
    const OwnershipCase &c = GetParam();
    Probe probe = load_probe(c.module);
    ASSERT_TRUE(probe.module && probe.live);
    const long base = probe.live();
    host::Session s(*probe.module);
    FilterRecord &r = s.record();
    if (c.plugin) r.pluginPath = const_cast<char *>(PNM_PLUGIN);
    HostBlocks host;
    const Files files = c.files(probe);
    auto identify = [&](const Bytes &file, const char *name) {
        if (!c.plugin) {
            s.set_file(file);
        } else {
            const std::string path = testing_support::temp_path(name);
            EXPECT_TRUE(host::write_file(path, file));
            EXPECT_TRUE(s.map_file(path));
        }
        return s.identify();
    };

    host.put(r);
    EXPECT_FALSE(identify(files.bad, "bad"));
    host.expect_in(r, "failed identify");
    EXPECT_TRUE(s.end_import());
    host.expect_in(r, "end of import");
    EXPECT_TRUE(s.end_export());
    host.expect_in(r, "end of export");
    EXPECT_EQ(probe.live(), base) << "blocks left after the failed identify";

    // Identify puts the module's own blocks in the fields it describes, and
    // its end operation takes them out again.
    ASSERT_TRUE(identify(files.palette, "palette")) << r.errorCode;
    EXPECT_GT(r.paletteCount, 0);
    EXPECT_NE(r.palette, nullptr);
    EXPECT_NE(r.palette, host.palette);
    EXPECT_NE(r.compressionName, host.name);
    EXPECT_NE(r.comment, nullptr);
    EXPECT_TRUE(s.end_import());
    EXPECT_EQ(probe.live(), base) << "blocks left after the end of the import";
    EXPECT_EQ(r.filterState, nullptr);
    EXPECT_EQ(r.palette, nullptr);
    EXPECT_EQ(r.compressionName, nullptr);
    EXPECT_EQ(r.comment, c.describes_comment ? nullptr : host.comment);

    // A file without a palette (or comment) leaves none in the record, the
    // host's included: the description is the file's.
    if (files.plain.empty()) return;
    host.put(r);
    ASSERT_TRUE(identify(files.plain, "plain")) << r.errorCode;
    EXPECT_EQ(r.palette, nullptr);
    EXPECT_EQ(r.paletteCount, 0);
    EXPECT_EQ(r.comment, c.describes_comment ? nullptr : host.comment);
    EXPECT_TRUE(s.end_import());
    EXPECT_EQ(probe.live(), base) << "blocks left after the second import";
    EXPECT_EQ(r.compressionName, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Modules, Ownership, ::testing::ValuesIn(kCases),
                         [](const auto &info) { return std::string(info.param.module); });

}  // namespace
