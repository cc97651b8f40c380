// plughost through FilterEntry with an in-process plug-in (linked under a
// made-up path) that hands over a 2048 x 2048 RGB image in 64-row bands, in
// the buffer styles plug-ins use: whole interleaved rows, one plane at a
// time, column tiles (rows assembled in an image buffer), 16-bit samples;
// and exports whose plug-in asks for interleaved rows or for one plane at a
// time. The peer is the least any host does with the same bytes: a copy of
// each row with red and blue swapped.
#include <benchmark/benchmark.h>

#include "bench_host.h"
#include "common/library_link.h"
#include "format_record.h"

namespace {

constexpr char kPath[] = "linked:bench-plugin";
constexpr int16_t kSide = 2048, kBand = 64, kTile = 512;

enum Style { kRows, kPlanes, kTiles, kSixteen };

Style g_style = kRows;
std::vector<uint8_t> g_buffer;  // one band, as the plug-in lays it out

void describe(FormatRecord *r, int16_t top, int16_t left, int16_t right, int16_t lo, int16_t hi,
              int sampleBytes) {
    const int planes = hi - lo + 1;
    r->data = g_buffer.data();
    r->theRect = {top, left, static_cast<int16_t>(top + kBand), right};
    r->loPlane = lo, r->hiPlane = hi;
    r->colBytes = static_cast<int16_t>(planes * sampleBytes);
    r->planeBytes = sampleBytes;
    r->rowBytes = (right - left) * planes * sampleBytes;
}

// Every band of the image through advanceState, in the current style.
int16_t move_bands(FormatRecord *r) {
    const int sb = g_style == kSixteen ? 2 : 1;
    for (int16_t top = 0; top < kSide; top += kBand) {
        int16_t e = 0;
        if (g_style == kPlanes) {
            for (int16_t p = 0; p < 3 && !e; ++p) {
                describe(r, top, 0, kSide, p, p, sb);
                e = r->advanceState();
            }
        } else if (g_style == kTiles) {
            for (int16_t left = 0; left < kSide && !e; left += kTile) {
                describe(r, top, left, static_cast<int16_t>(left + kTile), 0, 2, sb);
                e = r->advanceState();
            }
        } else {
            describe(r, top, 0, kSide, 0, 2, sb);
            e = r->advanceState();
        }
        if (e) return e;
    }
    r->data = nullptr;
    return 0;
}

void PI_CDECL BenchPlugin(int16_t selector, FormatRecord *r, intptr_t *, int16_t *result) {
    *result = 0;
    if (selector == formatSelectorReadStart) {
        r->imageMode = plugInModeRGBColor;
        r->imageSize = {kSide, kSide};
        r->depth = g_style == kSixteen ? 16 : 8;
        r->planes = 3;
        r->data = nullptr;
    }
    if (selector == formatSelectorReadContinue || selector == formatSelectorWriteStart)
        *result = move_bands(r);
}

void prepare(Style style) {
    flt::library_link(kPath, "ENTRYPOINT", reinterpret_cast<void *>(BenchPlugin));
    g_style = style;
    g_buffer.resize(static_cast<size_t>(kSide) * kBand * 3 * 2);
    for (size_t i = 0; i < g_buffer.size(); ++i) g_buffer[i] = static_cast<uint8_t>(i * 7);
}

void BM_Import(benchmark::State &state, Style style) {
    prepare(style);
    bench_host::Host h;
    for (auto _ : state) {
        h.record = FilterRecord();
        h.rowsDelivered = 0;
        bench_host::current() = &h;
        h.record.dataProc = bench_host::on_data;
        h.record.pluginPath = const_cast<char *>(kPath);
        if (!FilterEntry(FE_IMPORT, &h.record) || h.rowsDelivered != kSide)
            state.SkipWithError("import");
        FilterEntry(FE_END_IMPORT, &h.record);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kSide} * kSide * 3);
}

void BM_Export(benchmark::State &state, Style style) {
    prepare(style);
    bench_host::Image image = bench_host::make_image(kSide, kSide, 24);
    bench_host::Host h;
    for (auto _ : state) {
        h = bench_host::Host();
        bench_host::current() = &h;
        h.source = &image;
        FilterRecord &r = h.record;
        r.width = r.height = kSide;
        r.bitsPerPixel = 24;
        r.getRowsProc = bench_host::on_get_rows;
        r.requestFlags = FRI_NO_DIALOG;
        r.pluginPath = const_cast<char *>(kPath);
        if (!FilterEntry(FE_EXPORT, &r)) state.SkipWithError("export");
        FilterEntry(FE_END_EXPORT, &r);
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kSide} * kSide * 3);
}

void BM_SwapCopy(benchmark::State &state) {
    std::vector<uint8_t> src(static_cast<size_t>(kSide) * 3), dst(src.size());
    for (auto _ : state)
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            benchmark::DoNotOptimize(dst.data());
        }
    state.SetBytesProcessed(state.iterations() * int64_t{kSide} * kSide * 3);
}

BENCHMARK_CAPTURE(BM_Import, rows, kRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Import, planes, kPlanes)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Import, tiles, kTiles)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Import, sixteen, kSixteen)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, rows, kRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_Export, planes, kPlanes)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwapCopy)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
