// The PNG encoder on photo-sized pictures, next to ImageMagick's convert doing the same
// raw-BGRA-to-PNG job in the same run. The framework's time column is our encode; the
// counters carry both times and both sizes:
//   encode_ms, png_bytes        this encoder
//   encode_cpu_ms               this encoder's processor time
//   convert_ms, convert_bytes   convert (median of kConvertRuns runs, process start to exit)
//   convert_cpu_ms              convert's processor time (user + system)
//   speedup                     convert_ms / encode_ms
//   cpu_speedup                 convert_cpu_ms / encode_cpu_ms, steadier on a busy machine
//   size_ratio                  png_bytes / convert_bytes

#include "ConvertReference.h"
#include "JPEGCodec.h"
#include "PNGEncoder.h"
#include "PhotoLikeImage.h"
#include "SideBySide.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <map>

namespace {

constexpr int kConvertRuns = 3;

const Bitmap& photo(uint32_t width, uint32_t height)
{
    static std::map<std::pair<uint32_t, uint32_t>, Bitmap> cache;
    auto [entry, added] = cache.try_emplace({ width, height });
    if (added)
        entry->second = makePhotoLikeBitmap(width, height);
    return entry->second;
}

struct EncodeMeasure {
    double seconds = 0;
    double cpuSeconds = 0;
    size_t pngBytes = 0;
};

double processCPUSeconds()
{
    timespec now {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

void compareWithConvert(benchmark::State& state, const Bitmap& bitmap, const EncodeMeasure& ours)
{
    static const std::optional<std::string> convert = findConvert();
    if (!convert) {
        static bool told = false;
        if (!std::exchange(told, true))
            std::fprintf(stderr, "kavlor-bench: ImageMagick's convert is not on PATH: the comparison with it is skipped\n");
        state.SetLabel("convert not found: no comparison");
        return;
    }
    try {
        ConvertRun reference = runConvertBGRAToPNG(*convert, bitmap, kConvertRuns);
        state.counters["convert_ms"] = reference.seconds * 1e3;
        state.counters["convert_cpu_ms"] = reference.cpuSeconds * 1e3;
        state.counters["convert_bytes"] = double(reference.pngBytes);
        state.counters["speedup"] = reference.seconds / ours.seconds;
        state.counters["cpu_speedup"] = reference.cpuSeconds / ours.cpuSeconds;
        state.counters["size_ratio"] = double(ours.pngBytes) / double(reference.pngBytes);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kavlor-bench: %s: the comparison with convert is skipped\n", error.what());
        state.SetLabel("convert failed: no comparison");
    }
}

void BM_PNGEncodeVersusConvert(benchmark::State& state)
{
    const Bitmap& bitmap = photo(uint32_t(state.range(0)), uint32_t(state.range(1)));
    EncodeMeasure ours;
    auto start = std::chrono::steady_clock::now();
    double cpuStart = processCPUSeconds();
    for (auto _ : state) {
        std::vector<uint8_t> png = encodePNG(bitmap);
        ours.pngBytes = png.size();
        benchmark::DoNotOptimize(png.data());
    }
    double iterations = double(state.iterations());
    ours.cpuSeconds = (processCPUSeconds() - cpuStart) / iterations;
    ours.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() / iterations;
    state.counters["encode_ms"] = ours.seconds * 1e3;
    state.counters["encode_cpu_ms"] = ours.cpuSeconds * 1e3;
    state.counters["png_bytes"] = double(ours.pngBytes);
    compareWithConvert(state, bitmap, ours);
}

// Fixed iterations: the function then runs once, so convert is not run again for the
// framework's estimate of how many iterations to make.
BENCHMARK(BM_PNGEncodeVersusConvert)
    ->Args({ 1284, 2778 })
    ->Args({ 2048, 2732 })
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The encoder as it was and as it is, on the same pictures in one run, interleaved.
// Counters:
//   today_ms, today_bytes    one libdeflate stream on the calling thread, rows filtered
//                            with the cheapest of sub, up and paeth
//   new_ms, new_bytes        as encodePNG is now: two bands at once deflated by igzip (the
//                            sample finds photo-like rows), average weighed too
//   new_per_today            new_ms / today_ms
//   bytes_vs_today           new_bytes - today_bytes (negative: smaller files)
//   deflater_only_bytes_vs_today  the new deflate (igzip, two bands) with today's filter
//                            choice: what the deflater alone changes in bytes
void BM_PNGEncodeTodayVersusNew(benchmark::State& state)
{
    const Bitmap& bitmap = photo(uint32_t(state.range(0)), uint32_t(state.range(1)));
    PNGEncodeOptions today;
    today.filter = PNGRowFilter::adaptiveWithoutAverage;
    today.parts = 1;
    today.deflater = PNGDeflater::libdeflate;
    PNGEncodeOptions deflaterOnly;
    deflaterOnly.filter = today.filter;
    size_t todayBytes = 0, newBytes = 0;
    SideBySide ways;
    ways.add("today", [&] { todayBytes = encodePNG(bitmap, today).size(); });
    ways.add("new", [&] { newBytes = encodePNG(bitmap).size(); });
    ways.measure(state, 1e3, "_ms");
    state.counters["today_bytes"] = double(todayBytes);
    state.counters["new_bytes"] = double(newBytes);
    state.counters["new_per_today"] = ways.seconds("new") / ways.seconds("today");
    state.counters["bytes_vs_today"] = double(newBytes) - double(todayBytes);
    state.counters["deflater_only_bytes_vs_today"] = double(encodePNG(bitmap, deflaterOnly).size()) - double(todayBytes);
}

BENCHMARK(BM_PNGEncodeTodayVersusNew)
    ->Args({ 1284, 2778 })
    ->Args({ 2048, 2732 })
    ->Args({ 1943, 2591 })
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

void BM_JPEGThumbnailEncode(benchmark::State& state)
{
    const Bitmap& bitmap = photo(uint32_t(state.range(0)), uint32_t(state.range(1)));
    size_t jpegBytes = 0;
    for (auto _ : state) {
        std::vector<uint8_t> jpeg = encodeJPEG(bitmap, 80);
        jpegBytes = jpeg.size();
        benchmark::DoNotOptimize(jpeg.data());
    }
    state.counters["jpeg_bytes"] = double(jpegBytes);
}

BENCHMARK(BM_JPEGThumbnailEncode)->Args({ 1284, 2778 })->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
