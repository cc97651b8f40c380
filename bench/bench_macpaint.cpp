// paintxchg through FilterEntry: export and import of a full 576 x 720
// picture, next to netpbm's pbmtomacp and macptopbm converting the same
// picture (run as processes, wall time). A MacPaint picture is small, so the
// peers' times are mostly process start; bench/gem_mac_vs_netpbm.sh compares
// whole processes on both sides.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include "bench_host.h"

namespace {

using bench_host::Host;
using bench_host::Image;

struct Fixture {
    Image image;
    std::vector<uint8_t> mac;
    std::string macPath, pbmPath;
};

const Fixture &fixture() {
    static Fixture *f = nullptr;
    if (f) return *f;
    f = new Fixture;
    f->image = bench_host::make_image(576, 720, 1);
    f->image.palette = {0, 0, 0, 255, 255, 255};
    Host h;
    bench_host::export_image(h, f->image, "/tmp/BENCH.MAC");
    f->mac = h.file;
    const std::string base = "/tmp/bench_mac_" + std::to_string(getpid());
    f->macPath = base + ".mac";
    f->pbmPath = base + ".pbm";
    bench_host::save(f->macPath, f->mac);
    Image inverted = f->image;  // to_pnm takes bit 0 as white
    for (auto &b : inverted.pixels) b = static_cast<uint8_t>(~b);
    bench_host::save(f->pbmPath, bench_host::to_pnm(inverted));
    return *f;
}

void BM_PaintExport(benchmark::State &state) {
    const Fixture &f = fixture();
    Host h;
    for (auto _ : state)
        if (!bench_host::export_image(h, f.image, "/tmp/BENCH.MAC")) state.SkipWithError("export");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.image.pixels.size()));
}

void BM_PaintImport(benchmark::State &state) {
    const Fixture &f = fixture();
    Host h;
    for (auto _ : state)
        if (!bench_host::import_file(h, f.mac)) state.SkipWithError("import");
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(f.image.pixels.size()));
}

void BM_Netpbm(benchmark::State &state, const char *tool, bool from_mac) {
    const Fixture &f = fixture();
    if (!bench_host::shell("command -v " + std::string(tool) + " >/dev/null")) {
        state.SkipWithError("netpbm not installed");
        return;
    }
    const std::string command =
        std::string(tool) + " " + (from_mac ? f.macPath : f.pbmPath) + " > /dev/null 2>&1";
    for (auto _ : state)
        if (!bench_host::shell(command)) state.SkipWithError(tool);
}

}  // namespace

BENCHMARK(BM_PaintExport)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PaintImport)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Netpbm, pbmtomacp, "pbmtomacp", false)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_Netpbm, macptopbm, "macptopbm", true)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
