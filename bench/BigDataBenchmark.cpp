// The lookups, starts and tools at a real owner's data size, on the devices made by
// bench/make-big-device.sh (run by `make bench`; KAVLOR_BENCH_DEVICES names their folder):
// ten accounts, each with a photo-like avatar of about 1 MB and wallpaper of about 3 MB.
// Each benchmark times today's way beside the new one in the same run.

#include "ChildProcessRun.h"
#include "SideBySide.h"

#include "DictionaryFileEntry.h"
#include "DictionaryFileFields.h"
#include "HBPreferences.h"
#include "ImageDecoder.h"
#include "ImageHeader.h"
#include "ProfileStore.h"
#include "PropertyList.h"
#include "SettingsFile.h"
#include "SystemLog.h"
#include "TraceFollower.h"

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <optional>
#include <syslog.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/resource.h>

using namespace KavlorSchema;
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

const std::string kSpringBoard = "/System/Library/CoreServices/SpringBoard.app/SpringBoard";

// The device of that name (big, empty, handxml), or nothing after skipping the benchmark.
std::optional<std::string> benchDevice(benchmark::State& state, const std::string& name)
{
    std::string folder = benchDevicesFolder();
    if (folder.empty()) {
        state.SkipWithError("KAVLOR_BENCH_DEVICES is not set: run `make bench` (it makes the devices first)");
        return std::nullopt;
    }
    std::string device = folder + "/" + name;
    if (!fs::exists(device + "/.bench-device-complete")) {
        state.SkipWithError(("no benchmark device at " + device + ": run bench/make-big-device.sh " + folder).c_str());
        return std::nullopt;
    }
    return device;
}

// The three devices the start and the respring are timed on: no accounts, ten accounts
// (the user-data file as the tweak writes it), and the same file in XML laid out by hand.
struct StartDevices {
    std::string empty, big, handxml;
};

std::optional<StartDevices> startDevices(benchmark::State& state)
{
    auto empty = benchDevice(state, "empty");
    auto big = empty ? benchDevice(state, "big") : std::nullopt;
    auto handxml = big ? benchDevice(state, "handxml") : std::nullopt;
    if (!handxml)
        return std::nullopt;
    return StartDevices { *empty, *big, *handxml };
}

std::string keptEntryOf(const std::string& device)
{
    return device + DictionaryFileEntry(kUserDataPath).keptEntryPath();
}

// fetchCrntUserData as it was before lookups were kept: the settings and the whole
// user-data file read and parsed at every call, the file copied into a mutable
// dictionary, the one record taken and logged. (It runs on today's reader, which copies
// picture data one time less than the old one did.)
id fetchCrntUserDataBefore()
{
    auto settings = PropertyList::readDictionaryFile(SettingsFile(kSettingsDomain).path());
    id user = settings ? id(settings->objectForKey("activeUser").as<NSString>()) : nil;
    auto contents = PropertyList::readDictionaryFile(kUserDataPath);
    auto users = contents ? contents->mutableCopy() : NSDictionary::mutableDictionary();
    id entry = users->objectForKey(user);
    NSLog("xxxxxxxx activeUser data:-%@", entry);
    return entry;
}

// Counters (per call): before_ms, the lookup as it was; new_us, fetchCrntUserData when
// the files have not changed; stat_us, one stat() of the user-data file; new_per_stat,
// new_us / stat_us (goal: at most 10). Of new_us: lookup_us, the two reads alone (the
// activeUser setting and the record), and log_us, the NSLog line fetchCrntUserData
// writes at every call (its text, syslog(3) and the trace).
void BM_FetchCrntUserData(benchmark::State& state)
{
    auto device = benchDevice(state, "big");
    if (!device)
        return;
    setenv("KAVLOR_DEVICE_ROOT", device->c_str(), 1);
    mainSettings = HBPreferences::preferencesForIdentifier(kSettingsDomain);
    ::openlog("kavlor-bench", 0, LOG_USER);
    if (!fetchCrntUserData()) {
        state.SkipWithError("the big device has no active account");
        return;
    }
    std::string userData = *device + kUserDataPath;
    constexpr int kNewCalls = 2000;
    SideBySide ways;
    ways.add("before", [] { benchmark::DoNotOptimize(fetchCrntUserDataBefore()); });
    unsigned long newParses = 0;
    ways.add("new", [&] {
        unsigned long before = PropertyList::parseCount();
        for (int i = 0; i < kNewCalls; ++i)
            benchmark::DoNotOptimize(fetchCrntUserData());
        newParses += PropertyList::parseCount() - before;
    }, kNewCalls);
    static DictionaryFileEntry userDataEntry(kUserDataPath);
    Id<NSDictionary> record = fetchCrntUserData();
    ways.add("lookup", [] {
        for (int i = 0; i < kNewCalls; ++i)
            benchmark::DoNotOptimize(userDataEntry.value(mainSettings->objectForKey("activeUser")));
    }, kNewCalls);
    ways.add("log", [&] {
        for (int i = 0; i < kNewCalls; ++i)
            NSLog("xxxxxxxx activeUser data:-%@", record);
    }, kNewCalls);
    ways.add("stat", [&] {
        struct stat info {};
        for (int i = 0; i < kNewCalls; ++i)
            benchmark::DoNotOptimize(::stat(userData.c_str(), &info));
    }, kNewCalls);
    ways.measure(state, 1e3, "_ms");
    for (const char* name : { "new", "stat", "lookup", "log" }) {
        state.counters.erase(std::string(name) + "_ms");
        state.counters[std::string(name) + "_us"] = ways.seconds(name) * 1e6;
    }
    state.counters["new_per_stat"] = ways.seconds("new") / ways.seconds("stat");
    state.counters["new_parses"] = double(newParses); // files parsed by all the new calls together
    mainSettings = nullptr;
    unsetenv("KAVLOR_DEVICE_ROOT");
}

// SpringBoard's start-up, whole, in a new process (the host run with --exit-when-ready),
// as at each boot and each respring (a respring is SpringBoard's exit and such a start).
// Counters:
//   empty_ms                  a device without accounts
//   before_ms                 ten accounts in the XML file kavlorctl wrote before, with no
//                             kept entry: parsed whole, as every start did
//   changed_ms                ten accounts in kavlorctl's binary file, changed since the
//                             last start: parsed whole once, the entry kept
//   unchanged_ms              ten accounts, nothing changed since the last start
//   handxml_unchanged_ms      the same for the user-data file in XML laid out by hand
//   unchanged_per_empty       the goal: at most 1.5; the ratio of the two ways' medians over
//                             the rounds (a start takes about 10 ms: one round that another
//                             process held up would weigh on a mean)
//   unchanged_per_empty_mean  the same ratio of the means (the *_ms counters)
//   handxml_per_empty         the ratio of the medians for the XML laid out by hand
//   *_peak_mb                 the most memory the process held
void BM_SpringBoardStart(benchmark::State& state)
{
    auto devices = startDevices(state);
    if (!devices)
        return;
    const auto& [empty, big, handxml] = *devices;
    std::map<std::string, double> peaks;
    auto start = [&](const std::string& device, const std::string& name) {
        auto run = ChildProcessRun::run({ device + kSpringBoard, "--exit-when-ready" }, { "KAVLOR_DEVICE_ROOT=" + device });
        if (run.exitStatus != 0)
            throw std::runtime_error(fmt::format("SpringBoard on {} exited with {}", device, run.exitStatus));
        peaks[name] = std::max(peaks[name], run.peakMegabytes);
    };
    SideBySide ways;
    ways.add("empty", [&] { start(empty, "empty"); });
    ways.add("before", [&] {
        fs::remove(keptEntryOf(handxml));
        start(handxml, "before");
    });
    ways.add("changed", [&] {
        fs::remove(keptEntryOf(big));
        start(big, "changed");
    });
    ways.add("unchanged", [&] { start(big, "unchanged"); });
    ways.add("handxml_unchanged", [&] { start(handxml, "handxml_unchanged"); });
    ways.measure(state, 1e3, "_ms");
    state.counters["unchanged_per_empty"] = ways.medianSeconds("unchanged") / ways.medianSeconds("empty");
    state.counters["unchanged_per_empty_mean"] = ways.seconds("unchanged") / ways.seconds("empty");
    state.counters["handxml_per_empty"] = ways.medianSeconds("handxml_unchanged") / ways.medianSeconds("empty");
    state.counters["before_per_empty"] = ways.seconds("before") / ways.seconds("empty");
    for (const auto& [name, peak] : peaks)
        state.counters[name + "_peak_mb"] = peak;
}

// Resprings of a running device, as `kavlor-sim run` plays them: sbreload ends SpringBoard,
// the supervisor starts a new one and the script goes on when it is ready. A respring is
// the time of a script that boots and then resprings, less that of one that only boots,
// divided by the resprings. Counters (milliseconds a respring):
//   empty_ms                  a device without accounts (ten resprings a run)
//   unchanged_ms              ten accounts, a guest active, nothing changed in between (ten)
//   before_ms                 the same accounts in the XML file laid out by hand, every start
//                             parsing it whole as every start did before entries were kept
//                             (a copy of the device where the kept entry and fields cannot be
//                             written: directories stand at their paths; three a run)
//   unchanged_per_empty       the goal: at most 1.5 (the ratio of the medians over the rounds)
//   before_per_empty          the same ratio for before_ms
constexpr int kRespringsPerRun = 10;
constexpr int kBeforeRespringsPerRun = 3;

// A copy of `device` in `folder` whose user-data file has no kept entry or fields, and can
// get none.
std::string deviceThatKeepsNothing(const std::string& device, const std::string& folder)
{
    std::string copy = folder + "/device";
    fs::copy(device, copy, fs::copy_options::recursive);
    for (const std::string& kept : { DictionaryFileEntry(kUserDataPath).keptEntryPath(), DictionaryFileFields(kUserDataPath, {}).keptFieldsPath() }) {
        fs::remove_all(copy + kept);
        fs::create_directory(copy + kept);
    }
    return copy;
}

void BM_Respring(benchmark::State& state)
{
    auto devices = startDevices(state);
    if (!devices)
        return;
    const auto& [empty, big, handxml] = *devices;
    std::string folder = fs::temp_directory_path() / fmt::format("kavlor-bench-respring-{}", ::getpid());
    fs::create_directories(folder);
    auto script = [&](const std::string& name, int resprings) {
        std::string path = folder + "/" + name;
        std::ofstream out(path);
        out << "boot\n";
        for (int i = 0; i < resprings; ++i)
            out << "respring\n";
        return path;
    };
    std::string bootOnly = script("boot", 0);
    std::string bootAndResprings = script("resprings", kRespringsPerRun);
    std::string bootAndBeforeResprings = script("before-resprings", kBeforeRespringsPerRun);
    std::string before = deviceThatKeepsNothing(handxml, folder);
    std::string sim = benchProgramFolder() + "/kavlor-sim";
    auto play = [&](const std::string& device, const std::string& path) {
        auto run = ChildProcessRun::run({ sim, "run", "--no-trace", device, path });
        if (run.exitStatus != 0)
            throw std::runtime_error(fmt::format("kavlor-sim run {} {} exited with {}", device, path, run.exitStatus));
    };
    SideBySide ways;
    ways.add("empty_boot", [&] { play(empty, bootOnly); });
    ways.add("empty_resprings", [&] { play(empty, bootAndResprings); }, kRespringsPerRun);
    ways.add("unchanged_boot", [&] { play(big, bootOnly); });
    ways.add("unchanged_resprings", [&] { play(big, bootAndResprings); }, kRespringsPerRun);
    ways.add("before_boot", [&] { play(before, bootOnly); });
    ways.add("before_resprings", [&] { play(before, bootAndBeforeResprings); }, kBeforeRespringsPerRun);
    ways.measure(state, 1e3, "_ms");
    auto respring = [&](const std::string& name, int resprings, double (SideBySide::*statistic)(const std::string&) const) {
        return (ways.*statistic)(name + "_resprings") - (ways.*statistic)(name + "_boot") / resprings;
    };
    for (auto name : { "empty", "unchanged", "before" }) {
        state.counters.erase(std::string(name) + "_boot_ms");
        state.counters.erase(std::string(name) + "_resprings_ms");
    }
    double emptyMedian = respring("empty", kRespringsPerRun, &SideBySide::medianSeconds);
    state.counters["empty_ms"] = respring("empty", kRespringsPerRun, &SideBySide::seconds) * 1e3;
    state.counters["unchanged_ms"] = respring("unchanged", kRespringsPerRun, &SideBySide::seconds) * 1e3;
    state.counters["before_ms"] = respring("before", kBeforeRespringsPerRun, &SideBySide::seconds) * 1e3;
    state.counters["unchanged_per_empty"] = respring("unchanged", kRespringsPerRun, &SideBySide::medianSeconds) / emptyMedian;
    state.counters["before_per_empty"] = respring("before", kBeforeRespringsPerRun, &SideBySide::medianSeconds) / emptyMedian;
    fs::remove_all(folder);
}

// kavlorctl on the ten-account devices. Counters (per run of the program):
//   list_ms            user list
//   disable_ms         apps disable (and enable, alternately, so that each run writes)
//   add_ms             user add of an eleventh account with both pictures (about 4 MB) to the
//                      ten accounts' binary file, as kavlorctl last wrote it: appended
//   add_whole_ms       the same add with the records' summary removed first, so that the
//                      file is parsed and written whole (as every add was before)
//   remove_ms          user remove of that account again (the file written whole), between
//                      the adds, so that each add finds the ten accounts
//   replace_ms         user add --replace of the tenth account with both pictures: appended,
//                      or written whole when a quarter of the file would be left unused
//   *_before_ms        the same as kavlorctl ran before: on the XML file it wrote then
//                      (a copy of the handxml device), without the records' summary,
//                      so that every command parses the whole file
//   *_peak_mb          the most memory the program held
// The adds, removes and replaces run on a copy of the big device, which they leave changed.
void BM_KavlorctlOnBigData(benchmark::State& state)
{
    auto big = benchDevice(state, "big");
    auto handxml = benchDevice(state, "handxml");
    if (!big || !handxml)
        return;
    std::string xml = benchDevicesFolder() + "/xmlcopy";
    fs::remove_all(xml);
    fs::copy(*handxml, xml, fs::copy_options::recursive);
    std::string xmlSummary = xml + kUserDataPath + ".summary";
    std::string copy = benchDevicesFolder() + "/addcopy";
    fs::remove_all(copy);
    fs::copy(*big, copy, fs::copy_options::recursive);
    std::string copySummary = copy + kUserDataPath + ".summary";
    std::string kavlorctl = benchProgramFolder() + "/kavlorctl";
    std::string pictures = benchDevicesFolder() + "/pictures";
    std::map<std::string, double> peaks;
    auto run = [&](const std::string& name, const std::string& device, std::vector<std::string> arguments) {
        arguments.insert(arguments.begin(), { kavlorctl, "--device", device });
        auto result = ChildProcessRun::run(arguments);
        if (result.exitStatus != 0)
            throw std::runtime_error(fmt::format("kavlorctl {} exited with {}", name, result.exitStatus));
        peaks[name] = std::max(peaks[name], result.peakMegabytes);
    };
    const std::vector<std::string> replace { "user", "add", "Guest9", "--replace", "--passcode", "9999", "--avatar",
        pictures + "/avatar-9.png", "--wallpaper", pictures + "/wallpaper-9.png", "--block", "control-center,search" };
    const std::vector<std::string> add { "user", "add", "Guest10", "--passcode", "1010", "--avatar",
        pictures + "/avatar-8.png", "--wallpaper", pictures + "/wallpaper-8.png", "--block", "control-center,search" };
    run("prime", copy, { "user", "list" }); // the copy is another file: its summary is taken once
    peaks.erase("prime");
    std::map<std::string, bool> disabled;
    auto toggleApp = [&](const std::string& name, const std::string& device) {
        run(name, device, { "apps", disabled[device] ? "enable" : "disable", "Guest3", "com.apple.news" });
        disabled[device] = !disabled[device];
    };
    SideBySide ways;
    ways.add("list_before", [&] {
        fs::remove(xmlSummary);
        run("list_before", xml, { "user", "list" });
    });
    ways.add("list", [&] { run("list", *big, { "user", "list" }); });
    ways.add("disable_before", [&] {
        fs::remove(xmlSummary);
        toggleApp("disable_before", xml);
    });
    ways.add("disable", [&] { toggleApp("disable", *big); });
    ways.add("add_before", [&] { run("add_before", xml, replace); });
    ways.add("add_whole", [&] {
        fs::remove(copySummary);
        run("add_whole", copy, add);
    });
    ways.add("remove", [&] { run("remove", copy, { "user", "remove", "Guest10" }); });
    ways.add("add", [&] { run("add", copy, add); });
    ways.add("remove_again", [&] { run("remove", copy, { "user", "remove", "Guest10" }); });
    ways.add("replace", [&] { run("replace", copy, replace); });
    ways.measure(state, 1e3, "_ms");
    state.counters.erase("remove_again_ms");
    state.counters["add_per_whole"] = ways.seconds("add") / ways.seconds("add_whole");
    if (disabled[*big])
        toggleApp("disable", *big);
    fs::remove_all(xml);
    fs::remove_all(copy);
    for (const auto& [name, peak] : peaks)
        state.counters[name + "_peak_mb"] = peak;
}

// What `user add` checks of its pictures, per picture pair (1 MB avatar, 3 MB wallpaper):
// decode_ms, a whole decode as before; header_ms, the header and the decoders' size limit.
void BM_PictureValidation(benchmark::State& state)
{
    if (!benchDevice(state, "big"))
        return;
    auto readAll = [](const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    std::string pictures = benchDevicesFolder() + "/pictures";
    auto avatar = readAll(pictures + "/avatar-0.png");
    auto wallpaper = readAll(pictures + "/wallpaper-0.png");
    SideBySide ways;
    ways.add("decode", [&] {
        benchmark::DoNotOptimize(decodeImage(avatar));
        benchmark::DoNotOptimize(decodeImage(wallpaper));
    });
    ways.add("header", [&] {
        benchmark::DoNotOptimize(readImageHeader(avatar));
        benchmark::DoNotOptimize(readImageHeader(wallpaper));
    });
    ways.measure(state, 1e3, "_ms");
}

// A device folder holding only a trace of `lines` events (what `kavlor-sim trace` reads).
std::string traceDevice(size_t lines)
{
    std::string folder = (fs::temp_directory_path() / fmt::format("kavlor-bench-trace-{}-{}", getpid(), lines)).string();
    fs::create_directories(folder + "/System/Library/CoreServices/SpringBoard.app");
    std::ofstream(folder + kSpringBoard) << "";
    fs::create_directories(folder + "/var/log");
    std::ofstream trace(folder + "/var/log/kavlor-trace.jsonl");
    for (size_t i = 0; i < lines; ++i) {
        trace << fmt::format(R"({{"time":{:.3f},"pid":{},"process":"SpringBoard","event":"log","text":"xxxxxxxx activeUser data:-{{ UserName = Guest{}; PassCode = 1111; }}"}})",
            double(i) / 100, 4000 + i % 7, i % 10)
              << "\n";
    }
    return folder;
}

// This process's resident size now and its peak so far, in kB (/proc/self/status).
std::pair<long, long> residentAndPeakKilobytes()
{
    std::ifstream status("/proc/self/status");
    long resident = 0, peak = 0;
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            resident = std::atol(line.c_str() + 6);
        else if (line.rfind("VmHWM:", 0) == 0)
            peak = std::atol(line.c_str() + 6);
    }
    return { resident, peak };
}

// kavlor-sim trace on a long trace and one twice as long. Counters:
//   before_ms, before_growth_mb  the whole trace read into memory first, then printed
//                                (TraceFollower::readNew, as `trace` did), in a forked
//                                child: the memory it took beyond what it started with
//   stream_ms, stream_growth_mb  the same, streamed (forEachNew, as `trace` does now)
//   sim_ms, sim_peak_mb          kavlor-sim trace DIR --pretty, the program itself
//   sim_double_ms, sim_double_peak_mb   the same on the trace twice as long
void BM_TraceStreaming(benchmark::State& state)
{
    constexpr size_t kLines = 240000;
    std::string device = traceDevice(kLines);
    std::string longer = traceDevice(2 * kLines);
    std::string tracePath = device + "/var/log/kavlor-trace.jsonl";
    std::map<std::string, double> memory;
    auto inChild = [&](const std::string& name, bool stream) {
        int report[2];
        if (pipe(report) != 0)
            throw std::runtime_error("cannot make a pipe");
        pid_t pid = fork();
        if (pid == 0) {
            long startKilobytes = residentAndPeakKilobytes().first;
            FILE* out = std::fopen("/dev/null", "w");
            TraceFollower trace(tracePath, false);
            if (stream) {
                trace.forEachNew([&](nlohmann::ordered_json&& event) { std::fputs(prettyTraceEvent(event).c_str(), out); });
            } else {
                for (const auto& event : trace.readNew())
                    std::fputs(prettyTraceEvent(event).c_str(), out);
            }
            long growth = residentAndPeakKilobytes().second - startKilobytes;
            (void)!write(report[1], &growth, sizeof growth);
            _exit(0);
        }
        close(report[1]);
        long growth = 0;
        (void)!read(report[0], &growth, sizeof growth);
        close(report[0]);
        waitpid(pid, nullptr, 0);
        memory[name + "_growth_mb"] = std::max(memory[name + "_growth_mb"], double(growth) / 1024.0);
    };
    std::string sim = benchProgramFolder() + "/kavlor-sim";
    auto runSim = [&](const std::string& name, const std::string& folder) {
        auto run = ChildProcessRun::run({ sim, "trace", folder, "--pretty" });
        memory[name + "_peak_mb"] = std::max(memory[name + "_peak_mb"], run.peakMegabytes);
    };
    SideBySide ways;
    ways.add("before", [&] { inChild("before", false); });
    ways.add("stream", [&] { inChild("stream", true); });
    ways.add("sim", [&] { runSim("sim", device); });
    ways.add("sim_double", [&] { runSim("sim_double", longer); });
    ways.measure(state, 1e3, "_ms");
    for (const auto& [name, value] : memory)
        state.counters[name] = value;
    fs::remove_all(device);
    fs::remove_all(longer);
}

} // namespace

BENCHMARK(BM_SpringBoardStart)->Unit(benchmark::kMillisecond)->Iterations(15);
BENCHMARK(BM_Respring)->Unit(benchmark::kMillisecond)->Iterations(9);
BENCHMARK(BM_KavlorctlOnBigData)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_PictureValidation)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_TraceStreaming)->Unit(benchmark::kMillisecond)->Iterations(3);
// Last: it holds the parsed user data in this process.
BENCHMARK(BM_FetchCrntUserData)->Unit(benchmark::kMillisecond)->Iterations(5);
