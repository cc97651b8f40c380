// paintxchg export driven as a host does: depth, size, file path and a
// refused write come from the parameter block, the pixels (and the path's
// characters) from the bytes in front of it. A written file is read back with
// the module's own importer: the top-left 576 x 720 pixels must be the ones
// handed over, everything else white; a refusal must carry the right code.
#include <algorithm>
#include <cstring>
#include <string>

#include "common/module.h"
#include "fuzz/export_check.h"
#include "fuzz/fuzz_host.h"

namespace {

constexpr int32_t kWidth = 576, kHeight = 720;
constexpr size_t kMacBinaryName = 1;  // length byte, then the name

// The parameter block: flags (0x01 sizes as given, 0x02 the host stores
// FERR_CANCELLED when refusing, 0x04 a file path), depth (1, or with 0x80 the
// low seven bits), width and height (u32), the write call to refuse (u16),
// the length of the file path taken from the front of the input.
constexpr size_t kTail = 13;

struct Request : fuzz::ExportRequest {
    bool hasPath = false;
    size_t pathLength = 0;
};

Request read_request(fuzz::Tail &tail) {
    Request q;
    const uint8_t flags = tail.u8();
    const uint8_t depth = tail.u8();
    q.bits = (depth & 0x80) ? depth & 0x7F : 1;
    const uint32_t w = tail.u32(), h = tail.u32();
    if (flags & 0x01) {
        q.width = static_cast<int32_t>(w);
        q.height = static_cast<int32_t>(h);
    } else {
        q.width = static_cast<int32_t>(1 + w % 1000);
        q.height = static_cast<int32_t>(1 + h % 800);
    }
    q.storeCancel = (flags & 0x02) != 0;
    q.hasPath = (flags & 0x04) != 0;
    q.refuseWriteAt = tail.u16();
    q.pathLength = tail.u8();
    return q;
}

// The title the platform layer gives: the last path component.
std::string file_title(const std::string &path) {
    const size_t cut = path.find_last_of("/\\:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

uint32_t expected_refusal(const Request &q, const std::string &title) {
    // A side of 0 is no refusal: the writer then writes the blank picture.
    if (q.bits != 1 || q.width < 0 || q.height < 0) return FERR_BAD_REQUEST;
    if (q.hasPath && title.empty()) return FERR_FILE_NAME;
    return 0;
}

void check_header(const std::vector<uint8_t> &file, const Request &q, const std::string &title) {
    const std::string name = q.hasPath ? title.substr(0, 63) : "PAINT1.MAC";
    fuzz::check(file.size() >= 640, "written file shorter than its header");
    fuzz::check(file[kMacBinaryName] == name.size() &&
                    std::memcmp(&file[kMacBinaryName + 1], name.data(), name.size()) == 0,
                "file name in the header differs");
    fuzz::check(std::memcmp(&file[65], "PNTGVEMA", 8) == 0, "file type or creator differs");
}

void check_round_trip(fuzz::Host &host, const Request &q, const std::string &title) {
    check_header(host.output(), q, title);
    const fuzz::Imported back = fuzz::import_back(FilterEntry, host.output());
    fuzz::check(back.ok, "written file does not import");
    fuzz::check(back.width == kWidth && back.height == kHeight && back.bitsPerPixel == 1,
                "written picture is not 576 x 720 at one bit");
    fuzz::check(back.palette.size() == 6 && back.palette[0] == 0 && back.palette[3] == 255,
                "re-imported palette is not black, white");
    const int32_t width = std::min(q.width, kWidth), height = std::min(q.height, kHeight);
    std::vector<uint8_t> given((static_cast<size_t>(q.width) + 7) / 8 + 4);
    uint8_t want[kWidth / 8];
    for (int32_t line = 0; line < kHeight; ++line) {
        const std::vector<uint8_t> &read = back.rows[static_cast<size_t>(line)];
        fuzz::check(read.size() >= sizeof want, "re-imported row too short");
        // The pixels handed over, white (1) past the image.
        std::memset(want, 0xFF, sizeof want);
        if (line < height && width > 0) {
            host.on_get_rows(given.data(), 0, q.height - 1 - line, q.width, 1, &host.record());
            std::memcpy(want, given.data(), static_cast<size_t>(width) / 8);
            if (width % 8)
                want[width / 8] = static_cast<uint8_t>(given[width / 8] | 0xFF >> (width % 8));
        }
        fuzz::check(std::memcmp(read.data(), want, sizeof want) == 0, "pixel changed");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, kTail);
    const Request q = read_request(tail);
    // Only the top-left corner of a wide image is written, but every row is
    // fetched whole: very wide rows are slow and teach nothing.
    if (q.bits == 1 && q.width > (1 << 16)) return 0;
    const uint8_t *front = tail.data();
    size_t front_size = tail.remaining();
    std::string path;
    if (q.hasPath) {
        const size_t n = std::min(q.pathLength, front_size);
        for (size_t i = 0; i < n && front[i]; ++i) path.push_back(static_cast<char>(front[i]));
        front += n, front_size -= n;
    }
    const std::string title = file_title(path);
    const std::vector<uint8_t> pixels = fuzz::exact_copy(front, front_size);

    static fuzz::Host host(FilterEntry);
    FilterRecord &r = host.begin_export(pixels.data(), pixels.size(), q);
    std::vector<char> path_copy(path.begin(), path.end());
    path_copy.push_back('\0');
    r.filePath = q.hasPath ? path_copy.data() : nullptr;
    const int32_t ok = host.call(FE_EXPORT);
    // The header (write 1) refused is reported as out of memory, a row (up
    // to write 721) as a failed transfer; a cancel stored by the host is not
    // kept.
    const uint32_t write_code = q.refuseWriteAt == 1     ? FERR_NO_MEMORY
                                : q.refuseWriteAt <= 721 ? FERR_TRANSFER
                                                         : 0;
    fuzz::check_export_end(host, ok, expected_refusal(q, title), write_code);
    r.filePath = nullptr;
    host.finish_export();
    if (ok) check_round_trip(host, q, title);
    return 0;
}
