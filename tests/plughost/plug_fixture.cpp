#include "plug_fixture.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "common/heap.h"

namespace {
ScriptState g_script;
}

extern "C" ScriptState *plughost_test_script() {
    return &g_script;
}

void PlugTest::SetUp() {
    script.reset();
    flt::heap_fail_at(0);
    char pattern[] = "/tmp/plughost_test_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = std::string(pattern) + "/";
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
    std::string command = "rm -rf '" + dir + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
}

void PlugTest::write_ini(const std::string &text) {
    write_temp("PLGENTRY.INI", std::vector<uint8_t>(text.begin(), text.end()));
}

std::string PlugTest::write_temp(const std::string &name, const std::vector<uint8_t> &bytes) {
    std::string path = dir + name;
    EXPECT_TRUE(host::write_file(path, bytes));
    return path;
}

bool PlugTest::loaded(const char *path) {
    void *h = dlopen(path, RTLD_NOW | RTLD_NOLOAD);
    if (h) dlclose(h);
    return h != nullptr;
}

void PlugTest::describe(int16_t mode, int16_t width, int16_t height, int16_t depth,
                        int16_t planes) {
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
