// plughost under the shared sweeps, driving the example Netpbm plug-in (the
// plug-in reads and writes the files itself) and the scriptable plug-in
// scripted to move one row per advanceState and to report progress after
// every row, so that every progress report can be refused in turn.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "plughost/script_plugin.h"
#include "support/linked_module.h"
#include "support/tools.h"
#include "sweep.h"

namespace {
ScriptState g_script;
}

extern "C" ScriptState *plughost_test_script() {
    return &g_script;
}

namespace {

const host::Module &plughost() {
    return testing_support::linked_module();
}

bool loaded(const char *path) {
    void *h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

// The directory the host names for PLGENTRY.INI; it holds none, so the
// plug-ins' entry is ENTRYPOINT.
const std::string &directory() {
    static const std::string dir = [] {
        char pattern[] = "/tmp/plughost_sweep_XXXXXX";
        EXPECT_NE(mkdtemp(pattern), nullptr);
        return std::string(pattern) + "/";
    }();
    return dir;
}

std::string write_temp(const std::string &name, const std::string &text) {
    std::string path = directory() + name;
    EXPECT_TRUE(host::write_file(path, std::vector<uint8_t>(text.begin(), text.end())));
    return path;
}

std::unique_ptr<host::Session> plug_session(const char *plugin) {
    auto s = std::make_unique<host::Session>(plughost());
    s->directory = directory();
    s->record().pluginPath = const_cast<char *>(plugin);
    return s;
}

// The record after a failure: a context that failed while it was being
// opened is gone with its library; one that was open before the failing
// operation stays until its end operation. Either way the library is loaded
// exactly while a context holds it.
sweep::Check context_or_nothing(const char *plugin) {
    return [plugin](host::Session &s) {
        if (!s.record().filterState) {
            EXPECT_FALSE(loaded(plugin)) << "library loaded without a context";
        }
    };
}

sweep::Check released(const char *plugin, bool import) {
    return [plugin, import](host::Session &s) {
        if (import) sweep::expect_import_blocks_released(s);
        sweep::expect_no_state(s);
        EXPECT_FALSE(loaded(plugin)) << "library left loaded";
    };
}

// A refused progress report becomes the plug-in's abort flag; the plug-in
// stops with "user cancelled", which is a plug-in error unless the host said
// it was the user's cancel by storing FERR_CANCELLED.
uint32_t aborted(int, bool cancel) {
    return cancel ? FERR_CANCELLED : FERR_PLUGIN;
}

sweep::Case import_case(const char *plugin, const std::string &path, const std::string &name,
                        bool identify_first) {
    sweep::Case c;
    c.name = name;
    c.open = [plugin, path] {
        auto s = plug_session(plugin);
        EXPECT_TRUE(s->map_file(path));
        return s;
    };
    if (identify_first) c.prepare = [](host::Session &s) { return s.identify(); };
    c.operate = [](host::Session &s) { return s.import_image(); };
    c.data_refused = sweep::keeps_cancel(FERR_TRANSFER);
    c.progress_refused = aborted;
    c.after_failure = context_or_nothing(plugin);
    c.after_end = released(plugin, true);
    return c;
}

// Export through the plug-in into a file the host opened; with `options`
// FE_OPTIONS (the plug-in's own options selectors, no dialog of plughost's)
// comes first.
sweep::Case export_case(const char *plugin, const std::string &name, const host::Image &image,
                        bool options) {
    sweep::Case c = sweep::export_case(plughost(), name, {image});
    const std::string out = directory() + "out_" + std::to_string(std::rand());
    c.open = [plugin, out] {
        auto s = plug_session(plugin);
        EXPECT_TRUE(s->open_output(out));
        return s;
    };
    if (options) {
        // The plug-in's options selectors see the image the host describes.
        sweep::Step exports = c.operate;
        auto held = std::make_shared<host::Image>(image);
        c.operate = [exports, held](host::Session &s) {
            FilterRecord &r = s.record();
            r.width = held->width;
            r.height = held->height;
            r.bitsPerPixel = held->bitsPerPixel;
            r.paletteCount = held->palette_count();
            r.palette = r.paletteCount ? held->palette.data() : nullptr;
            bool ok = s.call(FE_OPTIONS) != 0;
            r.palette = nullptr;
            return ok && exports(s);
        };
    }
    c.data_refused = nullptr;  // the plug-in writes the file itself
    c.progress_refused = aborted;
    c.after_failure = released(plugin, false);
    c.after_end = released(plugin, false);
    return c;
}

host::Image image(int32_t w, int32_t h, int32_t bits, std::vector<uint8_t> palette) {
    host::Image im;
    im.width = w;
    im.height = h;
    im.bitsPerPixel = bits;
    im.xResolution = im.yResolution = 2834645;
    im.palette = std::move(palette);
    im.allocate();
    for (size_t i = 0; i < im.pixels.size(); ++i) im.pixels[i] = static_cast<uint8_t>(i * 13);
    return im;
}

std::vector<uint8_t> ramp(int n) {
    std::vector<uint8_t> p;
    for (int i = 0; i < n; ++i) p.insert(p.end(), 3, static_cast<uint8_t>(i));
    return p;
}

std::vector<host::Image> export_images() {
    std::vector<uint8_t> colours = ramp(16);
    colours[3 * 5 + 2] = 6;
    return {image(11, 3, 1, {0, 0, 0, 255, 255, 255}), image(5, 4, 8, ramp(256)),
            image(6, 3, 4, colours), image(4, 3, 24, {})};
}

TEST(PlughostSweep, NetpbmPlugin) {
    const std::string pbm = write_temp("a.pbm", std::string("P4\n10 2\n") + "\xA5\xC0\x0F\xFF");
    const std::string pgm = write_temp("a.pgm",
                                       "P5 4 3 255 \x01\x80\xFE\xFF\x01\x02\x03\x04"
                                       "abcd");
    const std::string ppm = write_temp("a.ppm", "P3 2 2 255 1 2 3 4 5 6 7 8 9 10 11 12\n");
    std::vector<sweep::Case> cases = {
        import_case(PNM_PLUGIN, pbm, "bitmap", true),
        import_case(PNM_PLUGIN, pgm, "grey without identify", false),
        import_case(PNM_PLUGIN, ppm, "rgb", true),
    };
    sweep::Case identify = import_case(PNM_PLUGIN, pgm, "identify", false);
    identify.operate = [](host::Session &s) { return s.identify(); };
    cases.push_back(identify);
    const char *names[] = {"export bitmap", "export grey", "export indexed", "export rgb"};
    int i = 0;
    for (const host::Image &im : export_images()) {
        cases.push_back(export_case(PNM_PLUGIN, names[i], im, false));
        cases.push_back(
            export_case(PNM_PLUGIN, std::string(names[i++]) + " after options", im, true));
    }
    sweep::run_all(cases);
}

// The scripted plug-in: a grey image of kRows rows, one row per advanceState
// and a progress report after each, stopping with "user cancelled" when the
// abort flag is up. Its options and estimate phases ask for one row as a
// chunk, and every phase keeps a block from the basic suite and one from the
// buffer suite from its start to its finish (going without them when they
// cannot be had); at the read's finish it adds a resource from a handle of
// the handle suite, as shipping plug-ins add their history.
constexpr int16_t kRows = 5, kWidth = 3;

template <typename Suite>
const Suite *suite_named(FormatRecord *r, const char *name, int32_t version) {
    const void *suite = nullptr;
    EXPECT_EQ(r->sSPBasic->AcquireSuite(name, version, &suite), 0) << name;
    return static_cast<const Suite *>(suite);
}

void add_history(FormatRecord *r) {
    auto *handles = suite_named<PSHandleSuite2>(r, PI_HANDLE_SUITE_NAME, 2);
    PIHandle h = handles->New(8);
    if (!h) return;
    r->resourceProcs->addProc(0x68697374, h);  // 'hist'; a refusal is no reason to stop
    handles->Dispose(h);
}

void keep_block(int16_t selector, FormatRecord *r) {
    static void *block = nullptr;
    static char *buffer = nullptr;
    const bool start =
        selector == formatSelectorReadStart || selector == formatSelectorOptionsStart ||
        selector == formatSelectorEstimateStart || selector == formatSelectorWriteStart;
    const bool finish =
        selector == formatSelectorReadFinish || selector == formatSelectorOptionsFinish ||
        selector == formatSelectorEstimateFinish || selector == formatSelectorWriteFinish;
    if (start && !block && r->sSPBasic->AllocateBlock(64, &block) != 0) block = nullptr;
    if (finish && block) {
        r->sSPBasic->FreeBlock(block);
        block = nullptr;
    }
    auto *buffers = suite_named<PSBufferSuite2>(r, PI_BUFFER_SUITE_NAME, 1);
    if (start && !buffer) buffer = buffers->New(nullptr, 32);
    if (finish) buffers->Dispose(&buffer);
    if (selector == formatSelectorReadFinish) add_history(r);
}

void one_row_at_a_time(int16_t selector, FormatRecord *r, intptr_t *) {
    static uint8_t rows[kRows][kWidth];
    g_script.results.clear();
    keep_block(selector, r);
    if (selector == formatSelectorReadStart) {
        r->imageMode = plugInModeGrayScale;
        r->imageSize = {kRows, kWidth};
        r->depth = 8;
        r->planes = 1;
        r->imageHRes = r->imageVRes = 72 << 16;
    }
    if (selector == formatSelectorOptionsStart || selector == formatSelectorEstimateStart) {
        r->data = rows;
        r->rowBytes = kWidth;
        r->theRect = {0, 0, 1, kWidth};
    }
    if (selector == formatSelectorReadStart || selector == formatSelectorWriteStart) r->data = rows;
    if (selector != formatSelectorReadContinue && selector != formatSelectorWriteContinue) return;
    for (int16_t top = 0; top < kRows; ++top) {
        r->data = rows[top];
        r->rowBytes = kWidth;
        r->theRect = {top, 0, static_cast<int16_t>(top + 1), kWidth};
        int16_t taken = r->advanceState();
        r->data = nullptr;
        if (taken != 0) {
            g_script.results[selector] = taken;
            return;
        }
        r->progressProc(top + 1, kRows);
        if (r->abortProc()) {
            g_script.results[selector] = piUserCanceledErr;
            return;
        }
    }
}

TEST(PlughostSweep, ScriptedPlugin) {
    g_script.reset();
    g_script.default_image = false;  // the action describes the image
    g_script.action = one_row_at_a_time;
    const std::string file = write_temp("scripted.bin", "anything");
    std::vector<sweep::Case> cases = {
        import_case(SCRIPT_PLUGIN, file, "scripted import", true),
        import_case(SCRIPT_PLUGIN, file, "scripted import without identify", false),
        export_case(SCRIPT_PLUGIN, "scripted export", image(kWidth, kRows, 8, ramp(256)), false),
        export_case(SCRIPT_PLUGIN, "scripted export after options",
                    image(kWidth, kRows, 8, ramp(256)), true),
    };
    // The plug-in's blocks are the ones whose failure it survives: two and
    // the resource list in the read, two per phase (options, estimate,
    // write) in an export.
    for (sweep::Case &c : cases) c.optional_allocations = c.writes ? 6 : 3;
    sweep::run_all(cases);
    g_script.reset();
}

// Stored settings played to the plug-in and kept after the save; the
// plug-in goes without them when its reader (two blocks) or writer (two)
// cannot be had, and plughost does not store them when it cannot read them
// back (three).
TEST(PlughostSweep, ScriptedPluginSettings) {
    g_script.reset();
    g_script.default_image = false;
    g_script.action = one_row_at_a_time;
    g_script.settings = true;
    static const std::string settings =
        write_temp("settings.ini", "[Plug-in scriptplug.so]\nwrtl=long:90\nwrtc=long:2\n");
    sweep::Case stored = export_case(SCRIPT_PLUGIN, "scripted export with stored settings",
                                     image(kWidth, kRows, 8, ramp(256)), false);
    auto open = stored.open;
    stored.open = [open] {
        auto s = open();
        s->record().iniPath = const_cast<char *>(settings.c_str());
        return s;
    };
    stored.optional_allocations = 6 + 7;  // the plug-in's blocks, as above, and the settings
    sweep::run_all({stored});
    g_script.reset();
}

// The scripted plug-in in the other buffer styles: an RGB image read as
// column tiles of one plane each (plughost assembles the rows in an image
// buffer), and written one plane per request left in `data` for plughost to
// fill; a progress report after each piece.
bool report(FormatRecord *r, int16_t selector, int done, int total) {
    r->progressProc(done, total);
    if (!r->abortProc()) return true;
    g_script.results[selector] = piUserCanceledErr;
    r->data = nullptr;
    return false;
}

void planes_and_tiles(int16_t selector, FormatRecord *r, intptr_t *) {
    static uint8_t plane[kRows][kWidth];
    static int requested = 0;
    g_script.results.clear();
    r->loPlane = r->hiPlane = 0;
    r->colBytes = 1;
    r->rowBytes = kWidth;
    r->planeBytes = 0;
    if (selector == formatSelectorReadStart) {
        r->imageMode = plugInModeRGBColor;
        r->imageSize = {kRows, kWidth};
        r->depth = 8;
        r->planes = 3;
    }
    if (selector == formatSelectorReadContinue) {
        r->data = plane;
        for (int16_t p = 0; p < 3; ++p)
            for (int16_t left = 0; left < kWidth; left += 2) {
                r->loPlane = r->hiPlane = p;
                r->theRect = {0, left, kRows, static_cast<int16_t>(std::min(left + 2, +kWidth))};
                if (int16_t taken = r->advanceState()) {
                    g_script.results[selector] = taken;
                    r->data = nullptr;
                    return;
                }
                if (!report(r, selector, p * 2 + left / 2 + 1, 6)) return;
            }
        r->data = nullptr;
    }
    if (selector == formatSelectorWriteStart) requested = 0;
    if (selector == formatSelectorWriteContinue && !report(r, selector, requested, 3)) return;
    if (selector == formatSelectorWriteStart || selector == formatSelectorWriteContinue) {
        r->data = requested < r->planes ? plane : nullptr;
        r->loPlane = r->hiPlane = static_cast<int16_t>(requested++);
        r->theRect = {0, 0, kRows, kWidth};
    }
}

TEST(PlughostSweep, ScriptedPluginInPlanesAndTiles) {
    g_script.reset();
    g_script.default_image = false;
    g_script.action = planes_and_tiles;
    const std::string file = write_temp("tiles.bin", "anything");
    std::vector<sweep::Case> cases = {
        import_case(SCRIPT_PLUGIN, file, "tiles of planes", true),
        export_case(SCRIPT_PLUGIN, "planes filled by the host", image(kWidth, kRows, 24, {}),
                    false),
    };
    sweep::run_all(cases);
    g_script.reset();
}

// The scripted plug-in as later plug-ins read: two layers of an RGBA image
// in 32-bit coordinates, transparency in plane 3, one row per advanceState
// in each layer's continue. The host asks for image 4, the second layer's
// alpha, so the first layer's rows are produced and dropped.
void layers_with_alpha(int16_t selector, FormatRecord *r, intptr_t *) {
    static uint8_t rows[kRows][kWidth * 4];
    g_script.results.clear();
    keep_block(selector, r);
    r->PluginUsing32BitCoordinates = 1;
    if (selector == formatSelectorReadStart) {
        r->imageMode = plugInModeRGBColor;
        r->imageSize32 = {kRows, kWidth};
        r->depth = 8;
        r->planes = 4;
        r->transparencyPlane = 3;
        r->layerData = 2;
    }
    if (selector != formatSelectorReadLayerContinue) return;
    r->loPlane = 0, r->hiPlane = 3, r->colBytes = 4, r->planeBytes = 1;
    r->rowBytes = kWidth * 4;
    for (int32_t top = 0; top < kRows; ++top) {
        r->data = rows[top];
        r->theRect32 = {top, 0, top + 1, kWidth};
        int16_t taken = r->advanceState();
        r->data = nullptr;
        if (taken != 0) {
            g_script.results[selector] = taken;
            return;
        }
        if (!report(r, selector, top + 1, kRows)) return;
    }
}

TEST(PlughostSweep, ScriptedPluginLayersWithAlpha) {
    g_script.reset();
    g_script.default_image = false;
    g_script.action = layers_with_alpha;
    const std::string file = write_temp("layers.bin", "anything");
    sweep::Case c = import_case(SCRIPT_PLUGIN, file, "second layer's alpha", true);
    auto open = c.open;
    c.open = [open] {
        auto s = open();
        s->record().imageIndex = 4;
        return s;
    };
    c.optional_allocations = 3;  // the plug-in's blocks and the resource list, as above
    sweep::run_all({c});
    g_script.reset();
}

}  // namespace

namespace {

// The scripted plug-in saving as plug-ins that read the pixels themselves
// do: an RGB image with an alpha plane (two FE_EXPORT calls), its four
// channels read through the ports into one B, G, R, A block at the write's
// start. A read whose row buffer cannot be had answers "out of memory" and
// the plug-in goes on without it.
TEST(PlughostSweep, ScriptedPluginReadsThroughPorts) {
    g_script.reset();
    constexpr int32_t kW = 4, kH = 3;
    for (int channel = 0; channel < 4; ++channel) {
        PortRead read;
        read.selector = formatSelectorWriteStart;
        read.channel = channel;
        read.rect = {0, 0, kH, kW};
        const int offset[] = {2, 1, 0, 3};
        read.layout = {nullptr, 32 * kW, 32, 8 * offset[channel], 8};
        read.bufferSize = 4 * kW * kH;
        read.suite = channel != 3;
        g_script.port_reads.push_back(read);
    }
    sweep::Case c =
        export_case(SCRIPT_PLUGIN, "ports of an image with alpha", image(kW, kH, 24, {}), false);
    c.operate =
        sweep::export_case(plughost(), "", {image(kW, kH, 24, {}), image(kW, kH, 8, ramp(256))})
            .operate;
    c.optional_allocations = 4;
    sweep::run_all({c});
    g_script.reset();
}

}  // namespace
