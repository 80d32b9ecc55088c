#pragma once
// ImageMagick's `convert`, the reference the image benchmarks measure against: the same
// raw-BGRA-to-PNG job, run as its own process and timed from start to exit.

#include "Bitmap.h"

#include <cstddef>
#include <optional>
#include <string>

struct ConvertRun {
    double seconds = 0; // wall time, the median of the runs
    double cpuSeconds = 0; // user + system time of the process, the median of the runs
    size_t pngBytes = 0;
};

// The `convert` program found on PATH, or nothing when ImageMagick is not installed.
std::optional<std::string> findConvert();

// Writes the bitmap's raw BGRA to a temporary file (not timed), then runs
// `convert -size WxH -depth 8 bgra:<raw> <out>.png` `runs` times. Throws
// std::runtime_error naming the command when it cannot be run or fails.
ConvertRun runConvertBGRAToPNG(const std::string& convert, const Bitmap& bitmap, int runs);
