// rsrcxchg import speed: a bitmap resource of 1024 x 768 pixels delivered
// whole through FilterEntry (uncompressed, RLE8, RLE4, 16-bit bit fields),
// measured against zlib inflating the same 8-bit pixels in the same run.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <vector>

#include "common/filter.h"
#include "fixtures.h"

extern "C" int32_t FE_STDCALL FilterEntry(uint32_t operation, FilterRecord *record);

namespace {

constexpr int32_t kWidth = 1024, kHeight = 768;

// A screen-like picture: flat panels with a few noisy ones, so that the
// run-length forms have runs and literals to decode.
fx::Bitmap screen(int32_t bits) {
    fx::Bitmap im = fx::pattern(kWidth, kHeight, bits, 1);
    const uint32_t colors = bits <= 8 ? 1u << bits : 0x1000000u;
    for (int32_t top = 0; top < kHeight; ++top)
        for (int32_t x = 0; x < kWidth; ++x) {
            const int32_t panel = (top / 96) * 8 + x / 128;
            if (panel % 5 != 0)
                im.pixels[size_t(top) * kWidth + x] = uint32_t(panel * 2654435761u) % colors;
        }
    return im;
}

int32_t FE_CDECL sink(const void *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                      uint32_t) {
    return 1;
}

void import(benchmark::State &state, const std::vector<uint8_t> &file, int32_t bits) {
    for (auto _ : state) {
        FilterRecord record{};
        record.fileData = file.data();
        record.fileSize = uint32_t(file.size());
        record.dataProc = sink;
        if (!FilterEntry(FE_IMPORT, &record)) state.SkipWithError("import failed");
        FilterEntry(FE_END_IMPORT, &record);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight * bits / 8);
}

std::vector<uint8_t> resource_file(int32_t bits, uint32_t compression, int32_t field_bits = 16) {
    fx::DibOptions o;
    o.compression = compression;
    o.fieldBits = field_bits;
    return fx::make_ne({{0x8002, fx::make_dib(screen(bits), o)}});
}

void BM_ImportPlain8(benchmark::State &state) {
    static const auto file = resource_file(8, 0);
    import(state, file, 8);
}
void BM_ImportRle8(benchmark::State &state) {
    static const auto file = resource_file(8, 1);
    import(state, file, 8);
}
void BM_ImportRle4(benchmark::State &state) {
    static const auto file = resource_file(4, 2);
    import(state, file, 4);
}
void BM_ImportFields16(benchmark::State &state) {
    static const auto file = resource_file(24, 3);
    import(state, file, 24);
}

// The peer: zlib inflating the same 8-bit pixels, row by row into one buffer.
void BM_ZlibInflate8(benchmark::State &state) {
    static const fx::Bitmap im = screen(8);
    static std::vector<uint8_t> packed = [] {
        std::vector<uint8_t> raw(im.pixels.begin(), im.pixels.end());
        uLongf size = compressBound(uLong(raw.size()));
        std::vector<uint8_t> out(size);
        compress2(out.data(), &size, raw.data(), uLong(raw.size()), 6);
        out.resize(size);
        return out;
    }();
    std::vector<uint8_t> row(kWidth);
    for (auto _ : state) {
        z_stream z{};
        inflateInit(&z);
        z.next_in = packed.data();
        z.avail_in = uInt(packed.size());
        for (int32_t y = 0; y < kHeight; ++y) {
            z.next_out = row.data();
            z.avail_out = kWidth;
            inflate(&z, Z_NO_FLUSH);
            benchmark::DoNotOptimize(row.data());
        }
        inflateEnd(&z);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * kWidth * kHeight);
}

BENCHMARK(BM_ImportPlain8);
BENCHMARK(BM_ImportRle8);
BENCHMARK(BM_ImportRle4);
BENCHMARK(BM_ImportFields16);
BENCHMARK(BM_ZlibInflate8);

}  // namespace

BENCHMARK_MAIN();
