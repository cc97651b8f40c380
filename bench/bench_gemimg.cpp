// gemxchg through FilterEntry: export and import (whole image and scaled) of
// a large image at 1, 4, 8 and 24 bits, next to netpbm doing the same
// conversions (pbmtogem, gemtopbm, gemtopnm, run as processes on the same
// files; netpbm reads only 1 and 4 planes, so for 8 and 24 bits its raw
// PGM/PPM copy, pamtopnm, stands in as the floor of any converter). The
// scaled path is measured at three heights: its time must grow linearly.
//
// Size: BENCH_GEM_SIZE (default 4096) pixels square.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <map>

#include "bench_host.h"

namespace {

using bench_host::Host;
using bench_host::Image;

int32_t image_size() {
    const char *v = std::getenv("BENCH_GEM_SIZE");
    const long n = v ? std::strtol(v, nullptr, 10) : 4096;
    return n > 0 && n < 65536 ? static_cast<int32_t>(n) : 4096;
}

struct Fixture {
    Image image;
    std::vector<uint8_t> gem;
    std::string gemPath, pnmPath;
};

// One fixture per depth and height, written once.
const Fixture &fixture(int32_t bpp, int32_t height) {
    static std::map<std::pair<int32_t, int32_t>, Fixture> cache;
    auto it = cache.find({bpp, height});
    if (it != cache.end()) return it->second;
    Fixture &f = cache[{bpp, height}];
    f.image = bench_host::make_image(image_size(), height, bpp);
    Host h;
    bench_host::export_image(h, f.image);
    f.gem = h.file;
    const std::string base = "/tmp/bench_gem_" + std::to_string(getpid()) + "_" +
                             std::to_string(bpp) + "_" + std::to_string(height);
    f.gemPath = base + ".img";
    f.pnmPath = base + (bpp == 1 ? ".pbm" : bpp == 8 ? ".pgm" : ".ppm");
    bench_host::save(f.gemPath, f.gem);
    if (bpp != 4) bench_host::save(f.pnmPath, bench_host::to_pnm(f.image));
    return f;
}

void BM_GemExport(benchmark::State &state) {
    const Fixture &f = fixture(static_cast<int32_t>(state.range(0)), image_size());
    Host h;
    for (auto _ : state) {
        if (!bench_host::export_image(h, f.image)) state.SkipWithError("export failed");
        benchmark::DoNotOptimize(h.file.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.image.pixels.size()));
    state.counters["file_bytes"] = static_cast<double>(f.gem.size());
}

void BM_GemImport(benchmark::State &state) {
    const Fixture &f = fixture(static_cast<int32_t>(state.range(0)), image_size());
    Host h;
    for (auto _ : state)
        if (!bench_host::import_file(h, f.gem)) state.SkipWithError("import failed");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.image.pixels.size()));
}

// The whole image fitted into a quarter of its width and half its height.
void BM_GemImportScaled(benchmark::State &state) {
    const int32_t bpp = static_cast<int32_t>(state.range(0)),
                  height = static_cast<int32_t>(state.range(1));
    const Fixture &f = fixture(bpp, height);
    Host h;
    for (auto _ : state)
        if (!bench_host::import_file(h, f.gem, image_size() / 4, height / 2))
            state.SkipWithError("scaled import failed");
    state.counters["ns_per_source_line"] = benchmark::Counter(
        static_cast<double>(height) * 1e-9,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

// netpbm converters as processes (wall time; they run in a child).
void BM_Netpbm(benchmark::State &state, const char *tool, int32_t bpp, bool from_gem) {
    const Fixture &f = fixture(bpp, image_size());
    const std::string in = from_gem ? f.gemPath : f.pnmPath;
    const std::string command = std::string(tool) + " " + in + " > /dev/null 2>&1";
    if (!bench_host::shell("command -v " + std::string(tool) + " >/dev/null")) {
        state.SkipWithError("netpbm not installed");
        return;
    }
    for (auto _ : state)
        if (!bench_host::shell(command)) state.SkipWithError(tool);
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.image.pixels.size()));
}

}  // namespace

BENCHMARK(BM_GemExport)->Arg(1)->Arg(4)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GemImport)->Arg(1)->Arg(4)->Arg(8)->Arg(24)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GemImportScaled)
    ->ArgsProduct({{1, 8}, {1024, 2048, 4096}})
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Netpbm, pbmtogem_1bit, "pbmtogem", 1, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Netpbm, gemtopbm_1bit, "gemtopbm", 1, true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Netpbm, gemtopnm_4bit, "gemtopnm", 4, true)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Netpbm, pamtopnm_8bit_copy, "pamtopnm", 8, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Netpbm, pamtopnm_24bit_copy, "pamtopnm", 24, false)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
