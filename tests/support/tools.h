// Helpers for tests that compare against reference tools (netpbm, libpng,
// ImageMagick): temporary files, running commands, finding programs.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "host/host.h"

namespace testing_support {

// True when `program` is on the PATH.
inline bool have_program(const std::string &program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A fresh path in the test's temporary directory.
inline std::string temp_path(const std::string &name) {
    static int counter = 0;
    return ::testing::TempDir() + "filters_" + std::to_string(getpid()) + "_" +
           std::to_string(counter++) + "_" + name;
}

// A new, empty directory in the system's temporary directory; empty on
// failure.
inline std::string make_temp_dir(const std::string &prefix) {
    namespace fs = std::filesystem;
    std::error_code error;
    fs::path base = fs::temp_directory_path(error);
    if (error) return "";
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path dir =
            base / (prefix + "_" + std::to_string(getpid()) + "_" + std::to_string(std::rand()));
        if (fs::create_directory(dir, error)) return dir.generic_string();
    }
    return "";
}

// Runs a shell command; true when it exits with status 0.
inline bool run(const std::string &command) {
    return std::system((command + " 2>/dev/null").c_str()) == 0;
}

inline std::vector<uint8_t> read_bytes(const std::string &path) {
    std::vector<uint8_t> b;
    host::read_file(path, &b);
    return b;
}

inline void write_bytes(const std::string &path, const std::vector<uint8_t> &b) {
    ASSERT_TRUE(host::write_file(path, b)) << path;
}

}  // namespace testing_support
