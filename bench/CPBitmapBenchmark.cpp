// Decoding SpringBoard's wallpaper bitmap files, as a wallpaper save does first.

#include "CPBitmap.h"
#include "PhotoLikeImage.h"

#include <benchmark/benchmark.h>

namespace {

void BM_CPBitmapDecode(benchmark::State& state)
{
    std::vector<uint8_t> file = encodeCPBitmap(makePhotoLikeBitmap(uint32_t(state.range(0)), uint32_t(state.range(1))));
    for (auto _ : state) {
        std::vector<Bitmap> images = decodeCPBitmap(file);
        benchmark::DoNotOptimize(images.data());
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(file.size()));
}

BENCHMARK(BM_CPBitmapDecode)->Args({ 1284, 2778 })->Args({ 2048, 2732 })->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
