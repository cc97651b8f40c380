#include "plug_fixture.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "common/heap.h"
#include "support/tools.h"

namespace {
ScriptState g_script;
}

extern "C" ScriptState *plughost_test_script() {
    return &g_script;
}

void PlugTest::SetUp() {
    script.reset();
    flt::heap_fail_at(0);
    dir = testing_support::make_temp_dir("plughost_test") + "/";
    ASSERT_NE(dir, "/");
    module = host::Module::linked(FilterEntry, "plughost");
    session = std::make_unique<host::Session>(*module);
    session->directory = dir;
    record().pluginPath = const_cast<char *>(SCRIPT_PLUGIN);
}

void PlugTest::TearDown() {
    session->call(FE_END_IMPORT);
    session->call(FE_END_EXPORT);
    session.reset();
    flt::heap_fail_at(0);
    EXPECT_EQ(flt::heap_live_blocks(), 0) << "module blocks leaked";
    EXPECT_FALSE(loaded(SCRIPT_PLUGIN)) << "plug-in left loaded";
    std::error_code error;
    EXPECT_GT(std::filesystem::remove_all(dir.substr(0, dir.size() - 1), error), 0u)
        << error.message();
}

void PlugTest::write_ini(const std::string &text) {
    write_temp("PLGENTRY.INI", std::vector<uint8_t>(text.begin(), text.end()));
}

std::string PlugTest::write_temp(const std::string &name, const std::vector<uint8_t> &bytes) {
    std::string path = dir + name;
    EXPECT_TRUE(host::write_file(path, bytes));
    return path;
}

#ifdef _WIN32
bool PlugTest::loaded(const char *path) {
    // By file name: the loader resolves the directory part its own way.
    return GetModuleHandleA(std::filesystem::path(path).filename().string().c_str()) != nullptr;
}
#else
bool PlugTest::loaded(const char *path) {
    void *h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}
#endif

void PlugTest::describe(int16_t mode, int16_t width, int16_t height, int16_t depth,
                        int16_t planes) {
    script.default_image = false;
    auto previous = script.action;
    script.action = [=](int16_t selector, FormatRecord *r, intptr_t *data) {
        if (selector == formatSelectorReadStart) {
            r->imageMode = mode;
            r->imageSize.h = width;
            r->imageSize.v = height;
            r->depth = depth;
            r->planes = planes;
            r->imageHRes = r->imageVRes = 72 << 16;
        }
        if (previous) previous(selector, r, data);
    };
}

host::Image gray_image(int32_t w, int32_t h, int entries) {
    host::Image image;
    image.width = w;
    image.height = h;
    image.bitsPerPixel = 8;
    image.xResolution = image.yResolution = 2834645;
    for (int i = 0; i < entries; ++i)
        image.palette.insert(image.palette.end(), 3, static_cast<uint8_t>(i));
    image.allocate();
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = static_cast<uint8_t>(i);
    return image;
}
