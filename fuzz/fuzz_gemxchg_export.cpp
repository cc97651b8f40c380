// gemxchg export driven as a host does: the record fields (depth, size,
// palette, resolution) and a refused write come from the parameter block, the
// pixels from the bytes in front of it. A written file is read back with the
// module's own importer and must hold exactly the pixels handed over; a
// refusal must come before any byte is written and carry the right code.
#include <cstring>

#include "common/module.h"
#include "fuzz/export_check.h"
#include "fuzz/fuzz_host.h"
#include "gemimg/format.h"

namespace {

// The parameter block: flags (0x01 sizes as given, 0x02 the host stores
// FERR_CANCELLED when refusing, 0x1C the palette kind), depth (low two bits
// pick 1, 4, 8 or 24; with 0x80 the low seven bits are the depth itself),
// width and height (u32), the write call to refuse, the palette count (u16),
// x and y resolution (u32).
constexpr size_t kTail = 21;

enum PaletteKind {
    kNone,
    kIntensityPicks,  // entries drawn from the intensity colours
    kSixteen,
    kGrey16,
    kGreyRamp,
    kRawBytes,
    kSixteenOneOff,  // the sixteen colours with one entry changed
    kRampOneOff,
};

struct Request : fuzz::ExportRequest {
    int32_t paletteCount = 0;
    PaletteKind kind = kNone;
    int32_t xResolution = 0, yResolution = 0;
};

void put(std::vector<uint8_t> &palette, size_t i, uint8_t red, uint8_t green, uint8_t blue) {
    palette[3 * i] = blue, palette[3 * i + 1] = green, palette[3 * i + 2] = red;
}

// Builds the palette of the request, taking bytes from the front of `data`.
std::vector<uint8_t> make_palette(const Request &q, const uint8_t *&data, size_t &size) {
    std::vector<uint8_t> p(static_cast<size_t>(q.paletteCount) * 3);
    auto take = [&]() -> uint8_t {
        if (!size) return 0;
        --size;
        return *data++;
    };
    const size_t n = static_cast<size_t>(q.paletteCount);
    for (size_t i = 0; i < n; ++i) {
        const uint8_t g = static_cast<uint8_t>(i);
        const uint8_t *six = gem::ImgPaletteSixteen[i % 16];
        switch (q.kind) {
            case kIntensityPicks: {
                const uint8_t *c = gem::ImgPaletteIntensity[take() % 16];
                put(p, i, c[0], c[1], c[2]);
                break;
            }
            case kSixteen:
            case kSixteenOneOff:
                put(p, i, six[0], six[1], six[2]);
                break;
            case kGrey16:
                put(p, i, gem::grey_entry(static_cast<int>(i % 16)),
                    gem::grey_entry(static_cast<int>(i % 16)),
                    gem::grey_entry(static_cast<int>(i % 16)));
                break;
            case kGreyRamp:
            case kRampOneOff:
                put(p, i, g, g, g);
                break;
            case kRawBytes:
                put(p, i, take(), take(), take());
                break;
            case kNone:
                break;
        }
    }
    if ((q.kind == kSixteenOneOff || q.kind == kRampOneOff) && n > 0) {
        const size_t i = take() % n;
        put(p, i, take(), take(), take());
    }
    return p;
}

Request read_request(fuzz::Tail &tail) {
    Request q;
    const uint8_t flags = tail.u8();
    const uint8_t depth = tail.u8();
    static const int32_t kDepths[4] = {1, 4, 8, 24};
    q.bits = (depth & 0x80) ? depth & 0x7F : kDepths[depth & 3];
    const uint32_t w = tail.u32(), h = tail.u32();
    if (flags & 0x01) {
        q.width = static_cast<int32_t>(w);
        q.height = static_cast<int32_t>(h);
    } else {
        q.width = static_cast<int32_t>(1 + w % 320);
        q.height = static_cast<int32_t>(1 + h % 96);
    }
    q.storeCancel = (flags & 0x02) != 0;
    q.kind = static_cast<PaletteKind>((flags >> 2) & 7);
    q.refuseWriteAt = tail.u8();
    q.paletteCount = tail.u16() % 301;
    if (q.kind == kNone) q.paletteCount = 0;
    q.xResolution = static_cast<int32_t>(tail.u32());
    q.yResolution = static_cast<int32_t>(tail.u32());
    return q;
}

bool entry_is(const std::vector<uint8_t> &p, int32_t i, const uint8_t *rgb) {
    return p[3 * i] == rgb[2] && p[3 * i + 1] == rgb[1] && p[3 * i + 2] == rgb[0];
}

bool all_in_intensity(const std::vector<uint8_t> &p, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        bool found = false;
        for (const auto &c : gem::ImgPaletteIntensity) found = found || entry_is(p, i, c);
        if (!found) return false;
    }
    return true;
}

bool first16_are(const std::vector<uint8_t> &p, int32_t count, bool grey) {
    if (count < 16) return false;
    for (int i = 0; i < 16; ++i) {
        const uint8_t g = gem::grey_entry(i);
        const uint8_t grey_rgb[3] = {g, g, g};
        if (!entry_is(p, i, grey ? grey_rgb : gem::ImgPaletteSixteen[i])) return false;
    }
    return true;
}

// The code the writer must refuse with before writing anything, or 0.
uint32_t expected_refusal(const Request &q, const std::vector<uint8_t> &p) {
    if (q.width <= 0 || q.height <= 0 || q.width > 0xFFFF || q.height > 0xFFFF)
        return FERR_BAD_REQUEST;
    switch (q.bits) {
        case 1:
        case 24:
            return 0;
        case 4:
            return all_in_intensity(p, q.paletteCount) || first16_are(p, q.paletteCount, false) ||
                           first16_are(p, q.paletteCount, true)
                       ? 0
                       : FERR_CORRUPT;
        case 8:
            for (int32_t i = 0; i < q.paletteCount && i < 256; ++i) {
                const uint8_t g = static_cast<uint8_t>(i);
                const uint8_t rgb[3] = {g, g, g};
                if (!entry_is(p, i, rgb)) return FERR_CORRUPT;
            }
            return 0;
        default:
            return FERR_BAD_REQUEST;
    }
}

// The resolution a reader gets back from the micrometres the writer stores.
int32_t round_trip_resolution(int32_t resolution) {
    uint16_t microns =
        resolution == 0 ? 85 : static_cast<uint16_t>(int64_t{1000000000} / resolution);
    if (microns == 0) microns = 85;
    return static_cast<int32_t>(1000000000 / microns);
}

// How a pixel handed over reads back: unchanged, inverted (a 1-bit image
// whose palette entry 0 is black), or, in the eight-word 4-bit form, as an
// index of the same colour (indices past the palette keep their bits).
enum class Rule { kSame, kInverted, kColour };

Rule rule_for(const Request &q, const std::vector<uint8_t> &palette) {
    if (q.bits == 1 && q.paletteCount > 0 && palette[0] == 0 && palette[1] == 0 && palette[2] == 0)
        return Rule::kInverted;
    if (q.bits == 4 && all_in_intensity(palette, q.paletteCount)) return Rule::kColour;
    return Rule::kSame;
}

void check_pixel(Rule rule, const Request &q, const std::vector<uint8_t> &host_palette,
                 const fuzz::Imported &back, uint32_t given, uint32_t read) {
    if (rule == Rule::kInverted) given ^= 1;
    if (rule != Rule::kColour || given >= static_cast<uint32_t>(q.paletteCount)) {
        fuzz::check(read == given, "pixel changed");
        return;
    }
    fuzz::check(std::memcmp(&back.palette[3 * read], &host_palette[3 * given], 3) == 0,
                "4-bit colour changed");
}

void check_round_trip(fuzz::Host &host, const Request &q, const std::vector<uint8_t> &palette) {
    const fuzz::Imported back = fuzz::import_back(FilterEntry, host.output());
    fuzz::check(back.ok, "written file does not import");
    fuzz::check(back.width == q.width && back.height == q.height, "written size differs");
    fuzz::check(back.bitsPerPixel == q.bits, "written depth differs");
    fuzz::check(back.xResolution == round_trip_resolution(q.xResolution) &&
                    back.yResolution == round_trip_resolution(q.yResolution),
                "written resolution differs");
    const Rule rule = rule_for(q, palette);
    fuzz::check(rule != Rule::kColour || back.palette.size() == 48,
                "4-bit file without sixteen colours");
    const size_t row_bytes = (static_cast<size_t>(q.width) * q.bits + 7) / 8;
    std::vector<uint8_t> given(row_bytes + 4);
    for (int32_t line = 0; line < q.height; ++line) {
        host.on_get_rows(given.data(), 0, q.height - 1 - line, q.width, 1, &host.record());
        const std::vector<uint8_t> &read = back.rows[static_cast<size_t>(line)];
        fuzz::check(read.size() >= row_bytes, "re-imported row too short");
        for (int32_t x = 0; x < q.width; ++x)
            check_pixel(rule, q, palette, back, fuzz::pixel_at(given.data(), x, q.bits),
                        fuzz::pixel_at(read.data(), x, q.bits));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Tail tail(data, size, kTail);
    const Request q = read_request(tail);
    // Large images are valid but slow, and every path through the writer
    // is reached with a few thousand pixels. Sizes the writer must refuse
    // still run: the refusal comes before any row is fetched.
    const bool writable = q.width > 0 && q.height > 0 && q.width <= 0xFFFF && q.height <= 0xFFFF;
    if (writable && int64_t{q.width} * q.height > (1 << 16)) return 0;
    const uint8_t *front = tail.data();
    size_t front_size = tail.remaining();
    std::vector<uint8_t> palette = make_palette(q, front, front_size);
    const std::vector<uint8_t> pixels = fuzz::exact_copy(front, front_size);

    static fuzz::Host host(FilterEntry);
    FilterRecord &r = host.begin_export(pixels.data(), pixels.size(), q);
    r.paletteCount = q.paletteCount;
    r.palette = q.paletteCount ? palette.data() : nullptr;
    r.xResolution = q.xResolution;
    r.yResolution = q.yResolution;
    const int32_t ok = host.call(FE_EXPORT);
    fuzz::check_export_end(host, ok, expected_refusal(q, palette),
                           q.storeCancel ? FERR_CANCELLED : FERR_TRANSFER);
    r.palette = nullptr;
    host.finish_export();
    if (ok) check_round_trip(host, q, palette);
    return 0;
}
