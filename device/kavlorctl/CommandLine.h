#pragma once
// The kavlorctl command line: the options and subcommands, and running the one chosen.
//
//   kavlorctl [--device DIR] set KEY VALUE [--int | --string | --type TYPE]
//   kavlorctl [--device DIR] get [KEY]
//   kavlorctl [--device DIR] unset KEY
//   kavlorctl [--device DIR] user add NAME --passcode P [--avatar FILE] [--wallpaper FILE]
//                                  [--block NAMES] [--time-limit 0-6] [--replace]
//   kavlorctl [--device DIR] user remove NAME
//   kavlorctl [--device DIR] user list
//   kavlorctl [--device DIR] apps disable|enable NAME BUNDLE_ID...
//   kavlorctl [--device DIR] murvex COMMAND [IMAGE]
//
// Without --device the device root is KAVLOR_DEVICE_ROOT; with neither, nothing runs.

#include "UserRecordBuilder.h"

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
class Option;
}

class CommandLine {
public:
    CommandLine(std::ostream& out, std::ostream& err);

    // Parses and runs; answers the exit status (0 success, 1 a refused command or an
    // absent key for `get`, CLI11's codes for a malformed command line).
    int run(int argc, const char* const* argv);

private:
    void declare(CLI::App& app);
    void declareSettings(CLI::App& app);
    void declareUser(CLI::App& app);
    void declareApps(CLI::App& app);
    void declareMurvex(CLI::App& app);

    // Points the platform at the device root named by --device or KAVLOR_DEVICE_ROOT.
    void selectDeviceRoot() const;

    int runSet() const;
    int runGet() const;
    int runUnset() const;
    int runUserAdd() const;
    int runUserRemove() const;
    int runUserList() const;
    int runApps(bool disable) const;
    int runMurvex() const;

    std::ostream& m_out;
    std::ostream& m_err;
    std::function<int()> m_command;

    std::string m_device;
    std::string m_key;
    std::string m_value;
    bool m_forceInteger = false;
    bool m_forceString = false;
    std::string m_typeName;
    UserOptions m_user;
    std::string m_avatar;
    std::string m_wallpaper;
    std::string m_timeLimit;
    CLI::Option* m_avatarOption = nullptr;
    CLI::Option* m_wallpaperOption = nullptr;
    CLI::Option* m_timeLimitOption = nullptr;
    bool m_replace = false;
    std::string m_name;
    std::vector<std::string> m_bundleIds;
    std::vector<std::string> m_murvexArguments;
};
