// PNG import through FilterEntry with a no-op dataProc, side by side with
// libpng decoding the same file to rows and with bare zlib inflate of the
// same IDAT stream. The closing table gives the ratios of one run, from CPU
// time (the build machines are shared; wall time swings with their load;
// with --benchmark_repetitions the medians are used and the spread of the
// module's runs is shown), and the heap peak of one import of each file next
// to libpng's and bare inflate's.
//
// Size: BENCH_PNG_SIZE (default 4096) pixels square. BENCH_PNG_KINDS (a
// comma-separated list of image names, e.g. "rgb,grey_i") encodes and runs
// only those, which keeps a run under valgrind short.
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
#include "heap_peak.h"

namespace {

struct Kind {
    const char *name;
    int colorType;
    bool interlace;
    int depth;  // 16: high bytes smooth, low bytes noise (a high-entropy image)
};
const Kind kKinds[] = {
    {"rgb", PNG_COLOR_TYPE_RGB, false, 8},         {"rgba", PNG_COLOR_TYPE_RGBA, false, 8},
    {"palette", PNG_COLOR_TYPE_PALETTE, false, 8}, {"grey", PNG_COLOR_TYPE_GRAY, false, 8},
    {"rgb16", PNG_COLOR_TYPE_RGB, false, 16},      {"rgb_i", PNG_COLOR_TYPE_RGB, true, 8},
    {"rgba_i", PNG_COLOR_TYPE_RGBA, true, 8},      {"palette_i", PNG_COLOR_TYPE_PALETTE, true, 8},
    {"grey_i", PNG_COLOR_TYPE_GRAY, true, 8},      {"rgb16_i", PNG_COLOR_TYPE_RGB, true, 16}};

bool kind_selected(const Kind &k) {
    const char *v = std::getenv("BENCH_PNG_KINDS");
    if (!v) return true;
    const std::string list = std::string(",") + v + ",";
    return list.find(std::string(",") + k.name + ",") != std::string::npos;
}

uint32_t image_size() {
    const char *v = std::getenv("BENCH_PNG_SIZE");
    long n = v ? std::strtol(v, nullptr, 10) : 4096;
    return n > 0 ? static_cast<uint32_t>(n) : 4096;
}

int channels(int type) {
    return type == PNG_COLOR_TYPE_RGB ? 3 : type == PNG_COLOR_TYPE_RGBA ? 4 : 1;
}

void write_fn(png_structp p, png_bytep d, png_size_t n) {
    auto *out = static_cast<std::vector<uint8_t> *>(png_get_io_ptr(p));
    out->insert(out->end(), d, d + n);
}
void flush_fn(png_structp) {}

// A photograph-like picture: smooth shading with a little noise, so that
// the filters and the compressor see realistic data. At 16 bits the low
// byte of every sample is noise.
std::vector<uint8_t> make_row(uint32_t y, uint32_t w, int ch, int depth, uint32_t *seed) {
    const size_t sample = depth / 8;
    std::vector<uint8_t> row(static_cast<size_t>(w) * ch * sample);
    for (uint32_t x = 0; x < w; ++x) {
        for (int c = 0; c < ch; ++c) {
            *seed = *seed * 1103515245u + 12345u;
            int noise = static_cast<int>((*seed >> 16) & 7) - 4;
            int v = static_cast<int>((x * (c + 1) + y * (3 - c % 3)) / 24 % 256) + noise;
            if (c == 3) v = static_cast<int>((x ^ y) >> 4 & 0xFF);
            uint8_t *at = &row[(static_cast<size_t>(x) * ch + c) * sample];
            at[0] = static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
            if (sample == 2) at[1] = static_cast<uint8_t>(*seed >> 8);
        }
    }
    return row;
}

std::vector<uint8_t> encode(const Kind &k, uint32_t size) {
    std::vector<uint8_t> out;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_write_struct(&p, &info);
        return {};
    }
    png_set_write_fn(p, &out, write_fn, flush_fn);
    png_set_IHDR(p, info, size, size, k.depth, k.colorType,
                 k.interlace ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    std::vector<png_color> plte(256);
    for (int i = 0; i < 256; ++i)
        plte[i] = {static_cast<png_byte>(i), static_cast<png_byte>(255 - i),
                   static_cast<png_byte>(i / 2)};
    if (k.colorType == PNG_COLOR_TYPE_PALETTE) png_set_PLTE(p, info, plte.data(), 256);
    png_write_info(p, info);
    const int passes = png_set_interlace_handling(p);
    std::vector<std::vector<uint8_t>> rows;
    uint32_t seed = 1;
    for (uint32_t y = 0; y < size; ++y)
        rows.push_back(make_row(y, size, channels(k.colorType), k.depth, &seed));
    for (int pass = 0; pass < passes; ++pass)
        for (auto &r : rows) png_write_row(p, r.data());
    png_write_end(p, nullptr);
    png_destroy_write_struct(&p, &info);
    return out;
}

// The concatenated IDAT data of a file.
std::vector<uint8_t> idat_stream(const std::vector<uint8_t> &file) {
    std::vector<uint8_t> out;
    for (size_t pos = 8; pos + 12 <= file.size();) {
        uint32_t len = static_cast<uint32_t>(file[pos]) << 24 | file[pos + 1] << 16 |
                       file[pos + 2] << 8 | file[pos + 3];
        if (std::memcmp(&file[pos + 4], "IDAT", 4) == 0)
            out.insert(out.end(), file.begin() + pos + 8, file.begin() + pos + 8 + len);
        pos += 12 + len;
    }
    return out;
}

struct Fixture {
    std::vector<uint8_t> file, idat;
    size_t rawBytes = 0;   // scanlines with their filter bytes
    size_t lineBytes = 0;  // one scanline with its filter byte
};

const Fixture &fixture(const Kind &k) {
    static std::map<std::string, Fixture> all;
    Fixture &f = all[k.name];
    if (f.file.empty()) {
        const uint32_t size = image_size();
        f.file = encode(k, size);
        f.idat = idat_stream(f.file);
        f.lineBytes = static_cast<size_t>(size) * channels(k.colorType) * (k.depth / 8) + 1;
        f.rawBytes = static_cast<size_t>(size) * f.lineBytes;
    }
    return f;
}

int32_t FE_CDECL no_op_rows(const void *, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                            uint32_t) {
    return 1;
}

// A record that imports the fixture's file and drops its rows.
FilterRecord import_record(const Fixture &f) {
    FilterRecord record{};
    record.fileData = f.file.data();
    record.fileSize = static_cast<uint32_t>(f.file.size());
    record.dataProc = no_op_rows;
    record.imageIndex = 1;
    return record;
}

// One import through FilterEntry, identification included.
bool pngxchg_decode(const Fixture &f) {
    FilterRecord record = import_record(f);
    const bool ok = FilterEntry(FE_IMPORT, &record) != 0;
    FilterEntry(FE_END_IMPORT, &record);
    return ok;
}

void BM_pngxchg(benchmark::State &state, const Kind &k) {
    const Fixture &f = fixture(k);
    for (auto _ : state) {
        if (!pngxchg_decode(f)) state.SkipWithError("import failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.rawBytes));
}

void read_fn(png_structp p, png_bytep d, png_size_t n) {
    auto *pos = static_cast<std::pair<const std::vector<uint8_t> *, size_t> *>(png_get_io_ptr(p));
    if (pos->second + n > pos->first->size()) png_error(p, "short file");
    std::memcpy(d, pos->first->data() + pos->second, n);
    pos->second += n;
}

// libpng to rows: one row buffer reused, or (interlaced) the whole image,
// which libpng needs to combine the passes.
bool libpng_decode(const std::vector<uint8_t> &file, std::vector<uint8_t> *buffer) {
    std::pair<const std::vector<uint8_t> *, size_t> pos{&file, 0};
    png_structp p = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(p);
    if (setjmp(png_jmpbuf(p))) {
        png_destroy_read_struct(&p, &info, nullptr);
        return false;
    }
    png_set_read_fn(p, &pos, read_fn);
    png_read_info(p, info);
    const int passes = png_set_interlace_handling(p);
    png_read_update_info(p, info);
    const size_t rb = png_get_rowbytes(p, info);
    const uint32_t h = png_get_image_height(p, info);
    buffer->resize(passes > 1 ? rb * h : rb);
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < h; ++y)
            png_read_row(p, buffer->data() + (passes > 1 ? rb * y : 0), nullptr);
    png_read_end(p, nullptr);
    png_destroy_read_struct(&p, &info, nullptr);
    return true;
}

void BM_libpng(benchmark::State &state, const Kind &k) {
    const Fixture &f = fixture(k);
    std::vector<uint8_t> buffer;
    for (auto _ : state) {
        if (!libpng_decode(f.file, &buffer)) state.SkipWithError("libpng failed");
        benchmark::DoNotOptimize(buffer.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.rawBytes));
}

// Bare inflate of the IDAT stream into a buffer of one scanline.
bool inflate_decode(const Fixture &f, std::vector<uint8_t> *out) {
    out->resize(f.lineBytes);
    z_stream z{};
    inflateInit(&z);
    z.next_in = const_cast<Bytef *>(f.idat.data());
    z.avail_in = static_cast<uInt>(f.idat.size());
    int ret = Z_OK;
    while (ret == Z_OK) {
        z.next_out = out->data();
        z.avail_out = static_cast<uInt>(out->size());
        ret = inflate(&z, Z_NO_FLUSH);
    }
    inflateEnd(&z);
    return ret == Z_STREAM_END;
}

void BM_inflate(benchmark::State &state, const Kind &k) {
    const Fixture &f = fixture(k);
    std::vector<uint8_t> out;
    for (auto _ : state) {
        if (!inflate_decode(f, &out)) state.SkipWithError("inflate failed");
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * f.rawBytes));
}

// Heap peaks of one decode of each file, in bytes (the row buffers of
// libpng and inflate are released before measuring, so they count).
struct Peaks {
    int64_t pngxchg = 0, pixelPath = 0, libpng = 0, inflate = 0;
};

// The peak of FE_IMPORT alone, on a state that FE_IDENTIFY built before:
// what the pixel path adds to the parse.
int64_t pixel_path_peak(const Fixture &f) {
    FilterRecord record = import_record(f);
    FilterEntry(FE_IDENTIFY, &record);
    const int64_t peak = heap_peak::measure([&] { FilterEntry(FE_IMPORT, &record); });
    FilterEntry(FE_END_IMPORT, &record);
    return peak;
}

Peaks measure_peaks(const Kind &k) {
    const Fixture &f = fixture(k);
    Peaks p;
    p.pngxchg = heap_peak::measure([&] { pngxchg_decode(f); });
    p.pixelPath = pixel_path_peak(f);
    p.libpng = heap_peak::measure([&] {
        std::vector<uint8_t> buffer;
        libpng_decode(f.file, &buffer);
    });
    p.inflate = heap_peak::measure([&] {
        std::vector<uint8_t> out;
        inflate_decode(f, &out);
    });
    return p;
}

// Collects each run's CPU time (the median and its coefficient of variation
// when runs are repeated) and prints pngxchg / libpng and pngxchg / inflate
// with the heap peaks.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run> &runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &r : runs) {
            if (r.error_occurred) continue;
            const std::string name = r.run_name.function_name;
            if (r.run_type != Run::RT_Aggregate) {
                if (!medians_.count(name)) times_[name] = r.GetAdjustedCPUTime();
            } else if (r.aggregate_name == "median") {
                medians_[name] = true;
                times_[name] = r.GetAdjustedCPUTime();
            } else if (r.aggregate_name == "cv") {
                cv_[name] = r.cpu_accumulated_time;  // the statistic itself, a fraction
            }
        }
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-10s %10s %10s %10s %8s %8s %6s   %s\n", "image", "pngxchg ms", "libpng ms",
                    "inflate ms", "/libpng", "/inflate", "cv %",
                    "heap peak KiB: pngxchg (its pixel path), libpng, inflate; 2 scanlines");
        for (const Kind &k : kKinds) {
            const std::string ours = std::string("pngxchg/") + k.name;
            double us = find(ours), lib = find(std::string("libpng/") + k.name),
                   inf = find(std::string("inflate/") + k.name);
            if (us <= 0) continue;
            const Peaks p = measure_peaks(k);
            auto cv = cv_.find(ours);
            std::printf(
                "%-10s %10.2f %10.2f %10.2f %8.3f %8.3f %6.1f   %lld (%lld), %lld, %lld; %zu\n",
                k.name, us, lib, inf, lib > 0 ? us / lib : 0.0, inf > 0 ? us / inf : 0.0,
                cv == cv_.end() ? 0.0 : 100 * cv->second, static_cast<long long>(p.pngxchg / 1024),
                static_cast<long long>(p.pixelPath / 1024), static_cast<long long>(p.libpng / 1024),
                static_cast<long long>(p.inflate / 1024), 2 * fixture(k).lineBytes / 1024);
        }
    }

  private:
    double find(const std::string &name) const {
        auto it = times_.find(name);
        return it == times_.end() ? 0 : it->second;
    }
    std::map<std::string, double> times_, cv_;
    std::map<std::string, bool> medians_;
};

}  // namespace

int main(int argc, char **argv) {
    benchmark::Initialize(&argc, argv);
    // Encode every file before timing starts, so that no run follows the
    // encoder's use of the caches.
    for (const Kind &k : kKinds)
        if (kind_selected(k)) fixture(k);
    for (const Kind &k : kKinds) {
        if (!kind_selected(k)) continue;
        benchmark::RegisterBenchmark((std::string("pngxchg/") + k.name).c_str(), BM_pngxchg, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("libpng/") + k.name).c_str(), BM_libpng, k)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark((std::string("inflate/") + k.name).c_str(), BM_inflate, k)
            ->Unit(benchmark::kMillisecond);
    }
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
