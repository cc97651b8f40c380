// PNG export through FilterEntry (rows from getRowsProc, bytes counted by
// dataProc), side by side with libpng writing the same pixels at zlib level 6
// with filter None (the same work) and with its default adaptive filters,
// and with bare zlib deflate of the very scanlines the module compresses.
// The closing table gives time ratios (CPU time: the machines are shared)
// and output sizes.
//
// Size: BENCH_PNG_SIZE (default 2048) pixels square.
#include <benchmark/benchmark.h>
#include <png.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/filter.h"
#include "common/module.h"

namespace {

enum class Kind { kRgb, kRgba, kPalette };
const char *kind_name(Kind k) {
    return k == Kind::kRgb ? "rgb" : k == Kind::kRgba ? "rgba" : "palette";
}

uint32_t image_size() {
    const char *v = std::getenv("BENCH_PNG_SIZE");
    long n = v ? std::strtol(v, nullptr, 10) : 2048;
    return n > 0 ? static_cast<uint32_t>(n) : 2048;
}

// The host's planes (rows top to bottom, BGR) and the PNG rows they make.
struct Picture {
    uint32_t size = 0;
    int colourBytes = 0;             // 3 or 1
    std::vector<uint8_t> colour;     // size rows of size * colourBytes
    std::vector<uint8_t> alpha;      // rgba only
    std::vector<uint8_t> palette;    // BGR, 256 entries (palette only)
    std::vector<uint8_t> pngRows;    // rows in PNG order without filter bytes
    std::vector<uint8_t> scanlines;  // the same with a 0 filter byte per row
    size_t pngRowBytes = 0;
};

// A photograph-like picture: smooth shading with a little noise.
uint8_t sample(uint32_t x, uint32_t y, int c, uint32_t *seed) {
    *seed = *seed * 1103515245u + 12345u;
    int noise = static_cast<int>((*seed >> 16) & 7) - 4;
    int v = static_cast<int>((x * (c + 1) + y * (3 - c % 3)) / 24 % 256) + noise;
    return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

Picture make_picture(Kind kind) {
    Picture p;
    p.size = image_size();
    p.colourBytes = kind == Kind::kPalette ? 1 : 3;
    uint32_t n = p.size, seed = 1;
    int png_channels = kind == Kind::kRgba ? 4 : p.colourBytes;
    p.pngRowBytes = static_cast<size_t>(n) * png_channels;
    p.colour.resize(static_cast<size_t>(n) * n * p.colourBytes);
    if (kind == Kind::kRgba) p.alpha.resize(static_cast<size_t>(n) * n);
    for (int i = 0; i < 256; ++i)
        p.palette.insert(p.palette.end(), {static_cast<uint8_t>(i / 2),
                                           static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i)});
    for (uint32_t y = 0; y < n; ++y) {
        for (uint32_t x = 0; x < n; ++x) {
            size_t at = static_cast<size_t>(y) * n + x;
            for (int c = 0; c < p.colourBytes; ++c)
                p.colour[at * p.colourBytes + c] = sample(x, y, c, &seed);
            if (kind == Kind::kRgba) p.alpha[at] = static_cast<uint8_t>((x ^ y) >> 4);
            uint8_t *c = &p.colour[at * p.colourBytes];
            if (p.colourBytes == 3)
                p.pngRows.insert(p.pngRows.end(), {c[2], c[1], c[0]});
            else
                p.pngRows.push_back(c[0]);
            if (kind == Kind::kRgba) p.pngRows.push_back(p.alpha[at]);
        }
    }
    for (uint32_t y = 0; y < n; ++y) {
        p.scanlines.push_back(0);
        const uint8_t *row = &p.pngRows[y * p.pngRowBytes];
        p.scanlines.insert(p.scanlines.end(), row, row + p.pngRowBytes);
    }
    return p;
}

const Picture &picture(Kind kind) {
    static std::map<Kind, Picture> cache;
    auto it = cache.find(kind);
    if (it == cache.end()) it = cache.emplace(kind, make_picture(kind)).first;
    return it->second;
}

// The host: rows come from the current plane, written bytes are counted.
struct BenchHost {
    const Picture *picture;
    bool alphaPlane;
    size_t written;
};
BenchHost g_host;

int32_t FE_CDECL count_bytes(const void *, FilterRecord *, int32_t count, int32_t, uint32_t) {
    g_host.written += static_cast<size_t>(count);
    return 1;
}

int32_t FE_STDCALL get_row(void *destination, int32_t, int32_t y, int32_t width, int32_t,
                           FilterRecord *) {
    const Picture &p = *g_host.picture;
    size_t top = p.size - 1 - static_cast<size_t>(y);
    if (g_host.alphaPlane)
        std::memcpy(destination, &p.alpha[top * p.size], static_cast<size_t>(width));
    else
        std::memcpy(destination, &p.colour[top * p.size * p.colourBytes],
                    static_cast<size_t>(width) * p.colourBytes);
    return 1;
}

size_t export_with_filter_entry(const Picture &p, bool two_planes) {
    FilterRecord r{};
    r.width = r.height = static_cast<int32_t>(p.size);
    r.bitsPerPixel = p.colourBytes * 8;
    r.xResolution = r.yResolution = 2834645;
    r.palette = p.colourBytes == 1 ? const_cast<uint8_t *>(p.palette.data()) : nullptr;
    r.paletteCount = p.colourBytes == 1 ? 256 : 0;
    r.imageCount = two_planes ? 2 : 1;
    r.imageIndex = 1;
    r.dataProc = filter_proc_cast<FilterDataProc>(count_bytes);
    r.getRowsProc = get_row;
    g_host = {&p, false, 0};
    bool ok = FilterEntry(FE_EXPORT, &r) != 0;
    if (ok && two_planes) {
        g_host.alphaPlane = true;
        r.imageIndex = 2;
        r.bitsPerPixel = 8;
        ok = FilterEntry(FE_EXPORT, &r) != 0;
    }
    FilterEntry(FE_END_EXPORT, &r);
    return ok ? g_host.written : 0;
}

void png_count(png_structp png, png_bytep, png_size_t n) {
    *static_cast<size_t *>(png_get_io_ptr(png)) += n;
}
void png_flush(png_structp) {}

size_t export_with_libpng(const Picture &p, Kind kind, bool adaptive) {
    size_t written = 0;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return 0;
    }
    png_set_write_fn(png, &written, png_count, png_flush);
    int type = kind == Kind::kRgb    ? PNG_COLOR_TYPE_RGB
               : kind == Kind::kRgba ? PNG_COLOR_TYPE_RGBA
                                     : PNG_COLOR_TYPE_PALETTE;
    png_set_IHDR(png, info, p.size, p.size, 8, type, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte(256);
    for (int i = 0; i < 256; ++i)
        plte[i] = {p.palette[3 * i + 2], p.palette[3 * i + 1], p.palette[3 * i]};
    if (kind == Kind::kPalette) png_set_PLTE(png, info, plte.data(), 256);
    png_set_compression_level(png, 6);
    if (!adaptive) png_set_filter(png, 0, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (uint32_t y = 0; y < p.size; ++y)
        png_write_row(png, const_cast<png_bytep>(&p.pngRows[y * p.pngRowBytes]));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return written;
}

size_t bare_deflate(const Picture &p) {
    static std::vector<uint8_t> out;
    z_stream z{};
    deflateInit(&z, Z_DEFAULT_COMPRESSION);
    out.resize(deflateBound(&z, p.scanlines.size()));
    z.next_in = const_cast<Bytef *>(p.scanlines.data());
    z.avail_in = static_cast<uInt>(p.scanlines.size());
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    size_t n = z.total_out;
    deflateEnd(&z);
    return n;
}

std::map<std::string, double> g_cpu;     // name -> CPU milliseconds per iteration
std::map<std::string, size_t> g_output;  // name -> bytes written

template <typename F>
void measure(benchmark::State &state, const std::string &name, const Picture &p, F f) {
    size_t bytes = 0;
    for (auto _ : state) {
        bytes = f();
        benchmark::DoNotOptimize(bytes);
    }
    if (bytes == 0) state.SkipWithError("export failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                            static_cast<int64_t>(p.scanlines.size()));
    state.counters["out_bytes"] = static_cast<double>(bytes);
    g_output[name] = bytes;
}

void BM_FilterEntry(benchmark::State &state, Kind kind) {
    const Picture &p = picture(kind);
    measure(state, std::string("filterentry/") + kind_name(kind), p,
            [&] { return export_with_filter_entry(p, kind == Kind::kRgba); });
}
void BM_LibpngNone(benchmark::State &state, Kind kind) {
    const Picture &p = picture(kind);
    measure(state, std::string("libpng_none/") + kind_name(kind), p,
            [&] { return export_with_libpng(p, kind, false); });
}
void BM_LibpngAdaptive(benchmark::State &state, Kind kind) {
    const Picture &p = picture(kind);
    measure(state, std::string("libpng_adaptive/") + kind_name(kind), p,
            [&] { return export_with_libpng(p, kind, true); });
}
void BM_Deflate(benchmark::State &state, Kind kind) {
    const Picture &p = picture(kind);
    measure(state, std::string("deflate/") + kind_name(kind), p, [&] { return bare_deflate(p); });
}

// Collects CPU time per iteration for the closing table.
class Collector : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        // With --benchmark_repetitions the median wins over single runs.
        for (const Run &r : runs) {
            std::string name = r.benchmark_name();
            name = name.substr(name.find('/') + 1);
            bool median = r.run_type == Run::RT_Aggregate && r.aggregate_name == "median";
            if (median)
                name = name.substr(0, name.rfind('_'));
            else if (r.run_type == Run::RT_Aggregate || r.iterations == 0 || medians_.count(name))
                continue;
            if (median) medians_[name] = true;
            g_cpu[name] = r.GetAdjustedCPUTime();  // milliseconds, the benchmarks' unit
        }
        ConsoleReporter::ReportRuns(runs);
    }

  private:
    std::map<std::string, bool> medians_;
};

void print_ratios() {
    std::printf("\n%-8s %12s %12s %12s %12s   %s\n", "image", "module/zlib", "module/none",
                "module/adapt", "module cpu ms",
                "output bytes: module, libpng none, adaptive, zlib");
    for (Kind k : {Kind::kRgb, Kind::kRgba, Kind::kPalette}) {
        std::string n = kind_name(k);
        double m = g_cpu["filterentry/" + n], z = g_cpu["deflate/" + n];
        double none = g_cpu["libpng_none/" + n], ad = g_cpu["libpng_adaptive/" + n];
        if (m <= 0 || z <= 0 || none <= 0 || ad <= 0) continue;
        std::printf("%-8s %12.3f %12.3f %12.3f %12.1f   %zu, %zu, %zu, %zu\n", n.c_str(), m / z,
                    m / none, m / ad, m, g_output["filterentry/" + n], g_output["libpng_none/" + n],
                    g_output["libpng_adaptive/" + n], g_output["deflate/" + n]);
    }
}

}  // namespace

int main(int argc, char **argv) {
    for (Kind k : {Kind::kRgb, Kind::kRgba, Kind::kPalette}) {
        std::string n = kind_name(k);
        benchmark::RegisterBenchmark(("BM_Export/filterentry/" + n).c_str(), BM_FilterEntry, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Export/deflate/" + n).c_str(), BM_Deflate, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Export/libpng_none/" + n).c_str(), BM_LibpngNone, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("BM_Export/libpng_adaptive/" + n).c_str(), BM_LibpngAdaptive,
                                     k)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    Collector reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    print_ratios();
    return 0;
}
