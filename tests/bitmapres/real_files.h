// Where the build put the executables made with mingw-w64 from BMP files
// (tests/bitmapres/make_fixtures.sh), and how to read them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace fx {

std::string fixture_path(const std::string &name);
bool read_fixture(const std::string &path, std::vector<uint8_t> *bytes);
// Why the fixtures are missing, for GTEST_SKIP.
std::string missing_fixtures_message();

}  // namespace fx
