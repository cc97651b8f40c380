// The fixture of plughost's tests: a host session driving the FilterEntry
// linked into the test (so that the heap hooks apply) with the scriptable
// plug-in as pluginPath, and a directory of its own for PLGENTRY.INI.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/module.h"
#include "host/host.h"
#include "script_plugin.h"

class PlugTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    FilterRecord &record() { return session->record(); }
    // Writes PLGENTRY.INI in the fixture's directory.
    void write_ini(const std::string &text);
    // A file in the fixture's directory with the given bytes.
    std::string write_temp(const std::string &name, const std::vector<uint8_t> &bytes);
    // Whether the library is loaded in the process now.
    static bool loaded(const char *path);
    // Makes selector 2 describe an image (mode, width, height, depth, planes).
    void describe(int16_t mode, int16_t width, int16_t height, int16_t depth, int16_t planes);

    std::unique_ptr<host::Module> module;
    std::unique_ptr<host::Session> session;
    ScriptState &script = *plughost_test_script();
    std::string dir;
};

// An 8-bit host image of w x h with a palette of `entries` (i, i, i).
host::Image gray_image(int32_t w, int32_t h, int entries = 256);
