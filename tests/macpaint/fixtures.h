// MacPaint test pictures: made as PBM here, encoded by netpbm's pbmtomacp and
// decoded by macptopbm, the references nobody here wrote.
#pragma once

#include <cstring>
#include <string>
#include <vector>

#include "host/host.h"
#include "support/linked_module.h"
#include "support/tools.h"

namespace macpaint_test {

constexpr int kWidth = 576, kHeight = 720, kRowBytes = 72;

// A 576 x 720 PBM (1 = black) of a named pattern.
inline std::vector<uint8_t> pattern_pbm(const std::string &kind) {
    std::string header = "P4\n576 720\n";
    std::vector<uint8_t> out(header.begin(), header.end());
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        for (int b = 0; b < kRowBytes; ++b) {
            uint8_t v = 0;
            if (kind == "noise") {
                seed = seed * 1103515245u + 12345u;
                v = static_cast<uint8_t>(seed >> 16);
            } else if (kind == "stripes") {
                v = (y / 3) % 2 ? 0xFF : 0x00;
                if (b % 9 == 4) v = 0xAA;
            } else if (kind == "runs") {
                // Long runs broken at irregular places: literal and run headers of every size.
                v = static_cast<uint8_t>((b * b + y) % 7 == 0 ? y : (b < (y % 72) ? 0xF0 : 0x0F));
            } else if (kind == "black") {
                v = 0xFF;
            }
            out.push_back(v);
        }
    }
    return out;
}

// A picture that pbmtomacp encoded, with what macptopbm decodes from it.
struct Picture {
    std::string name;
    std::vector<uint8_t> mac;  // without MacBinary header
    host::Image reference;     // 1-bit host rows: bit 0 black
};

inline std::vector<uint8_t> with_mac_binary(const std::vector<uint8_t> &mac,
                                            const std::string &title) {
    std::vector<uint8_t> out(128, 0);
    out[1] = static_cast<uint8_t>(title.size());
    std::memcpy(&out[2], title.data(), title.size());
    std::memcpy(&out[65], "PNTGMPNT", 8);
    out.insert(out.end(), mac.begin(), mac.end());
    return out;
}

inline bool make_picture(const std::string &name, const std::vector<uint8_t> &pbm,
                         Picture *picture) {
    using namespace testing_support;
    std::string in = temp_path(name + ".pbm"), mac = temp_path(name + ".mac"),
                back = temp_path(name + ".back.pbm");
    write_bytes(in, pbm);
    if (!run("pbmtomacp " + in + " > " + mac) || !run("macptopbm " + mac + " > " + back))
        return false;
    picture->name = name;
    picture->mac = read_bytes(mac);
    std::string error;
    Picture &p = *picture;
    bool ok = host::read_netpbm(read_bytes(back), &p.reference, nullptr, &error);
    std::remove(in.c_str());
    std::remove(mac.c_str());
    std::remove(back.c_str());
    return ok && p.reference.width == kWidth && p.reference.height == kHeight;
}

// The pictures of the reference tests, built once per test program.
inline const std::vector<Picture> &pictures() {
    static std::vector<Picture> all = [] {
        std::vector<Picture> v;
        for (const char *kind : {"noise", "stripes", "runs", "white", "black"}) {
            Picture p;
            if (make_picture(kind, pattern_pbm(kind), &p)) v.push_back(std::move(p));
        }
        std::string text = testing_support::temp_path("text.pbm");
        Picture p;
        if (testing_support::run("pbmtext -builtin fixed 'The quick brown fox 0123456789' | "
                                 "pnmpad -white -width 576 -height 720 > " +
                                 text) &&
            make_picture("text", testing_support::read_bytes(text), &p))
            v.push_back(std::move(p));
        std::remove(text.c_str());
        return v;
    }();
    return all;
}

inline bool have_netpbm() {
    return testing_support::have_program("pbmtomacp") && testing_support::have_program("macptopbm");
}

#define REQUIRE_NETPBM()                                                         \
    if (!macpaint_test::have_netpbm() || macpaint_test::pictures().empty())      \
    GTEST_SKIP() << "netpbm (pbmtomacp, macptopbm) is not installed: reference " \
                    "tests skipped"

// Pixel x of a 1-bit row.
inline int bit_at(const uint8_t *row, int x) {
    return row[x / 8] >> (7 - x % 8) & 1;
}

// A session on the linked paintxchg with a file.
inline std::unique_ptr<host::Session> session_for(const std::vector<uint8_t> &file) {
    auto s = std::make_unique<host::Session>(testing_support::linked_module());
    s->set_file(file);
    return s;
}

}  // namespace macpaint_test
