#pragma once
// Runs the real kavlorctl program against a throw-away device root and reads back the
// files it writes.

#include "KavlorSchema.h"
#include "NSObjectValues.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct KavlorctlRun {
    int exitStatus = -1;
    std::string standardOutput;
    std::string standardError;
};

class KavlorctlTest : public ::testing::Test {
protected:
    static constexpr const char* kUserData = KavlorSchema::kUserDataPath;
    static constexpr const char* kAppList = KavlorSchema::kAppListPath;
    static constexpr const char* kSettings = "/var/mobile/Library/Preferences/com.Quennic.KavlorPrefs.plist";

    void SetUp() override;
    void TearDown() override;

    // kavlorctl --device ROOT ARGS...; KAVLOR_DEVICE_ROOT is removed from its environment
    // unless `environmentRoot` gives one.
    KavlorctlRun run(std::vector<std::string> arguments) const;
    KavlorctlRun runWithoutDeviceOption(std::vector<std::string> arguments, std::optional<std::string> environmentRoot) const;

    std::string hostPath(const std::string& devicePath) const { return m_root + devicePath; }
    std::optional<std::vector<uint8_t>> fileBytes(const std::string& devicePath) const;
    void writeFileBytes(const std::string& devicePath, const std::vector<uint8_t>& bytes) const;
    Id<NSDictionary> plist(const std::string& devicePath) const;

    static std::string sample(const std::string& name) { return std::string(KAVLOR_SAMPLES_DIR) + "/" + name; }
    static std::vector<uint8_t> hostFileBytes(const std::string& hostPath);
    static void writeHostFile(const std::string& hostPath, const std::vector<uint8_t>& bytes);

    std::string m_root;
    std::string m_scratch;  // outside the device root: captured output, test inputs
};
