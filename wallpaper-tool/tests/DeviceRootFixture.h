#pragma once
// A throw-away device root for running the real murvex program: the folders it works in,
// a SystemVersion.plist, the wallpaper-services and jailbreak stand-ins at their device
// paths and an sbreload stand-in that records its runs. Removed after the test.

#include "Bitmap.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

// The exit status of a run as `nobody` that could not become nobody, or whose program or
// libraries nobody may not read (the dynamic loader's and exec's failure status).
inline constexpr int kCannotRunAsNobody = 127;

struct MurvexRun {
    std::string standardOutput;
    std::string standardError;
    int exitStatus = -1;
};

class DeviceRootFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Host path of a device path inside this root.
    std::string hostPath(const std::string& devicePath) const;

    void setSystemVersion(const std::string& productVersion);
    void writeFile(const std::string& devicePath, const std::vector<uint8_t>& bytes);
    void writeText(const std::string& devicePath, const std::string& text);
    std::optional<std::vector<uint8_t>> readFile(const std::string& devicePath) const;
    bool exists(const std::string& devicePath) const;

    // SpringBoard's state for one screen: its bitmap file and, when `markerPresent`, the
    // thumbnail that says the wallpaper is set.
    void setSpringBoardWallpaper(const std::string& screen, const Bitmap& picture, bool markerPresent = true);
    // A PNG of the picture at the device path.
    void writePNG(const std::string& devicePath, const Bitmap& picture);
    // The picture of the PNG at the device path (fails the test when absent or bad).
    Bitmap readPNG(const std::string& devicePath) const;

    // Runs build/bin/murvex with the arguments in this device root; as the user `nobody`
    // when `asNobody`.
    MurvexRun runMurvex(const std::vector<std::string>& arguments, bool asNobody = false) const;

    // The JSON lines of a log under the device root (empty when the log is absent).
    std::vector<nlohmann::json> logLines(const std::string& devicePath) const;
    std::vector<nlohmann::json> wallpaperServiceCalls() const;
    std::vector<nlohmann::json> jailbreakRecords() const;
    // How many times the sbreload stand-in ran.
    int sbreloadRuns() const;

    std::string m_root;
};

// A small opaque picture whose every pixel differs from its neighbours, so that swapped,
// shifted or mirrored pixels are caught; `seed` makes pictures that differ from each other.
Bitmap makeTestPicture(uint32_t width, uint32_t height, uint8_t seed);
// Hex SHA-256 of the picture's BGRA pixels, as the wallpaper-services record gives it.
std::string pixelDigest(const Bitmap& picture);
