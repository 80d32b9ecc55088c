// The page server's cost of a picture that changed everywhere (a switch of appearance, an
// unlock): every tile compared, kept and converted to the page's pixels. At an iPad's
// 1024x1366 points, drawn at 1x (a page on an ordinary display) and at its own 2x.

#include "PhotoLikeImage.h"
#include "ScreenTiles.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ScreenTilesWholeChange(benchmark::State& state)
{
    uint32_t width = uint32_t(state.range(0)), height = uint32_t(state.range(1));
    Bitmap pictures[2] = { makePhotoLikeBitmap(width, height, 1), makePhotoLikeBitmap(width, height, 2) };
    ScreenTiles tiles;
    uint64_t version = 0;
    tiles.update(pictures[1], ++version);
    for (auto _ : state) {
        size_t changed = tiles.update(pictures[version % 2], version + 1);
        ++version;
        benchmark::DoNotOptimize(changed);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(pictures[0].pixels.size()));
}

BENCHMARK(BM_ScreenTilesWholeChange)->Args({ 1024, 1366 })->Args({ 2048, 2732 })->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
