#include "real_files.h"

#include <fstream>
#include <iterator>

namespace fx {

std::string fixture_path(const std::string &name) {
    return std::string(RSRC_FIXTURE_DIR) + "/" + name;
}

bool read_fixture(const std::string &path, std::vector<uint8_t> *bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !bytes->empty();
}

std::string missing_fixtures_message() {
    std::string why = RSRC_FIXTURES_MISSING;
    if (why.empty()) why = "fixtures not built in " RSRC_FIXTURE_DIR;
    return "real-file fixtures unavailable (" + why + ")";
}

}  // namespace fx
