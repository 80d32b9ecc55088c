#include "ConvertReference.h"

#include <fmt/core.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

namespace fs = std::filesystem;

// A scratch folder removed when the run is over.
class ScratchFolder {
public:
    ScratchFolder()
        : m_path(fs::temp_directory_path() / fmt::format("kavlor-bench-{}", ::getpid()))
    {
        fs::create_directories(m_path);
    }
    ~ScratchFolder()
    {
        std::error_code ignored;
        fs::remove_all(m_path, ignored);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

double seconds(const timeval& time)
{
    return double(time.tv_sec) + double(time.tv_usec) * 1e-6;
}

// Runs the command and answers the processor time it used.
double runToCompletion(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t child = 0;
    if (int error = posix_spawn(&child, argv[0], nullptr, nullptr, argv.data(), environ))
        throw std::runtime_error(fmt::format("cannot start {}: {}", arguments[0], std::strerror(error)));
    int status = 0;
    rusage usage {};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            throw std::runtime_error(fmt::format("waiting for {}: {}", arguments[0], std::strerror(errno)));
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw std::runtime_error(fmt::format("{} failed (status {:#x})", fmt::join(arguments, " "), status));
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

std::optional<std::string> findConvert()
{
    const char* path = std::getenv("PATH");
    std::string folders = path ? path : "/usr/local/bin:/usr/bin:/bin";
    size_t start = 0;
    while (start <= folders.size()) {
        size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        fs::path candidate = fs::path(folders.substr(start, end - start)) / "convert";
        if (::access(candidate.c_str(), X_OK) == 0)
            return candidate.string();
        start = end + 1;
    }
    return std::nullopt;
}

ConvertRun runConvertBGRAToPNG(const std::string& convert, const Bitmap& bitmap, int runs)
{
    ScratchFolder scratch;
    fs::path raw = scratch.path() / "image.bgra";
    fs::path png = scratch.path() / "image.png";
    std::ofstream(raw, std::ios::binary)
        .write(reinterpret_cast<const char*>(bitmap.pixels.data()), std::streamsize(bitmap.pixels.size()));

    std::vector<std::string> command { convert, "-size", fmt::format("{}x{}", bitmap.width, bitmap.height), "-depth", "8",
        "bgra:" + raw.string(), png.string() };
    std::vector<double> wallTimes, cpuTimes;
    for (int run = 0; run < std::max(runs, 1); ++run) {
        auto start = std::chrono::steady_clock::now();
        cpuTimes.push_back(runToCompletion(command));
        wallTimes.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return { median(wallTimes), median(cpuTimes), size_t(fs::file_size(png)) };
}
