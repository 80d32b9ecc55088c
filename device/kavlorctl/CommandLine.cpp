#include "CommandLine.h"

#include "AccountChangeNotice.h"
#include "AccountStore.h"
#include "KavlorSchema.h"
#include "DeviceTrace.h"
#include "FeatureToggles.h"
#include "KavlorctlError.h"
#include "MurvexLauncher.h"
#include "SettingsEditor.h"
#include "TimeLimits.h"
#include "UserTable.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <filesystem>
#include <fmt/format.h>

CommandLine::CommandLine(std::ostream& out, std::ostream& err)
    : m_out(out)
    , m_err(err)
{
}

void CommandLine::declare(CLI::App& app)
{
    app.description("kavlorctl: edits the Kavlor guest accounts, their disabled apps and the settings of a "
                    "simulated device, as the preference bundle does on a device.");
    app.add_option("--device", m_device, "the device root (default: $KAVLOR_DEVICE_ROOT)")->type_name("DIR");
    app.require_subcommand(1);
    app.fallthrough();
    declareSettings(app);
    declareUser(app);
    declareApps(app);
    declareMurvex(app);
}

void CommandLine::declareSettings(CLI::App& app)
{
    auto* set = app.add_subcommand("set", "store a setting of com.Quennic.KavlorPrefs");
    set->add_option("KEY", m_key, "the settings key")->required();
    set->add_option("VALUE", m_value, "true/false store a boolean, anything else a string")->required();
    auto* asInteger = set->add_flag("--int", m_forceInteger, "store VALUE as an integer");
    auto* asString = set->add_flag("--string", m_forceString, "store VALUE as a string (even true/false)");
    auto* asType = set->add_option("--type", m_typeName, "store VALUE as TYPE: bool, int or string")->type_name("TYPE");
    asInteger->excludes(asString)->excludes(asType);
    asString->excludes(asType);
    set->footer("The library reads toggleKavlor, isKavlorActive, hideLSAccount, showImportantAlert and "
                "toggleCustomChroma as booleans, activeUser, adminPasscode and the four colour keys as "
                "strings; any value is stored as given. A VALUE that starts with '-' goes after '--'.");
    set->callback([this] { m_command = [this] { return runSet(); }; });

    auto* get = app.add_subcommand("get", "print a setting (all settings without KEY); exit 1 when it is not set");
    get->add_option("KEY", m_key, "the settings key");
    get->callback([this] { m_command = [this] { return runGet(); }; });

    auto* unset = app.add_subcommand("unset", "remove a setting");
    unset->add_option("KEY", m_key, "the settings key")->required();
    unset->callback([this] { m_command = [this] { return runUnset(); }; });
}

void CommandLine::declareUser(CLI::App& app)
{
    auto* user = app.add_subcommand("user", "add, remove and list guest accounts");
    user->require_subcommand(1);

    auto* add = user->add_subcommand("add", "add an account to the user-data file");
    add->add_option("NAME", m_user.name, "the account name (UserName)")->required();
    add->add_option("--passcode", m_user.passcode, "the account's own passcode")->required()->type_name("P");
    m_avatarOption = add->add_option("--avatar", m_avatar, "a PNG or JPEG file (default: the default avatar)")->type_name("FILE");
    m_wallpaperOption = add->add_option("--wallpaper", m_wallpaper, "a PNG or JPEG file for the home screen")->type_name("FILE");
    // One value per --block (which may repeat), so that NAME can follow it.
    add->add_option("--block", m_user.blocks, "features to block, comma-separated: " + FeatureToggles::allNames())
        ->type_name("NAMES")
        ->expected(1)
        ->allow_extra_args(false)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    m_timeLimitOption = add->add_option("--time-limit", m_timeLimit, "time limit 0-6, minutes " + TimeLimits::describeTable() + " (switches the countdown on)")->type_name("N");
    add->add_flag("--replace", m_replace, "overwrite an account of the same name (its disabled apps are kept)");
    add->callback([this] { m_command = [this] { return runUserAdd(); }; });

    auto* remove = user->add_subcommand("remove", "remove an account and its disabled-app list");
    remove->add_option("NAME", m_name, "the account name")->required();
    remove->callback([this] { m_command = [this] { return runUserRemove(); }; });

    auto* list = user->add_subcommand("list", "show every account: passcode set, blocked features, time limit, disabled apps");
    list->callback([this] { m_command = [this] { return runUserList(); }; });
}

void CommandLine::declareApps(CLI::App& app)
{
    auto* apps = app.add_subcommand("apps", "disable or enable apps for an account");
    apps->require_subcommand(1);
    for (bool disable : { true, false }) {
        auto* command = apps->add_subcommand(disable ? "disable" : "enable",
            disable ? "add apps to the account's disabled list (kept in order, no duplicates)"
                    : "remove apps from the account's disabled list");
        command->add_option("NAME", m_name, "the account name")->required();
        command->add_option("BUNDLE_ID", m_bundleIds, "application bundle identifiers")->required();
        command->callback([this, disable] { m_command = [this, disable] { return runApps(disable); }; });
    }
}

void CommandLine::declareMurvex(CLI::App& app)
{
    auto* murvex = app.add_subcommand("murvex", "start the device's wallpaper helper /usr/bin/murvex and wait for it");
    murvex->add_option("ARGS", m_murvexArguments, "its command word and argument, passed as they are: saveAdminWall, "
                                                  "restoreAdminWall, setWallGuest IMAGE (a device path), respring");
    murvex->footer("murvex prints its own messages and exits with status 1 whatever happens, so kavlorctl exits 0 "
                   "once murvex has run to its end, and non-zero only when it could not be run.");
    murvex->callback([this] { m_command = [this] { return runMurvex(); }; });
}

void CommandLine::selectDeviceRoot() const
{
    std::string root = m_device;
    if (root.empty()) {
        const char* fromEnvironment = std::getenv("KAVLOR_DEVICE_ROOT");
        root = fromEnvironment ? fromEnvironment : "";
    }
    if (root.empty())
        throw KavlorctlError("no device root: give --device DIR or set KAVLOR_DEVICE_ROOT");
    std::error_code error;
    if (!std::filesystem::is_directory(root, error))
        throw KavlorctlError(fmt::format("the device root {} is not a directory", root));
    // Every platform piece (HBPreferences, the Darwin centre, the files) resolves device
    // paths through this variable.
    std::string absolute = std::filesystem::absolute(root, error).lexically_normal().string();
    ::setenv("KAVLOR_DEVICE_ROOT", absolute.c_str(), 1);
}

int CommandLine::runSet() const
{
    std::optional<SettingType> requested;
    if (m_forceInteger)
        requested = SettingType::Integer;
    else if (m_forceString)
        requested = SettingType::String;
    else if (!m_typeName.empty())
        requested = SettingValue::parseTypeName(m_typeName);
    SettingsEditor().set(m_key, m_value, requested);
    return 0;
}

int CommandLine::runGet() const
{
    SettingsEditor settings;
    if (m_key.empty()) {
        settings.printAll(m_out);
        return 0;
    }
    auto value = settings.get(m_key);
    if (!value) {
        m_err << "kavlorctl: no setting '" << m_key << "' in " << KavlorSchema::kSettingsDomain << "\n";
        return 1;
    }
    m_out << *value << "\n";
    return 0;
}

int CommandLine::runUnset() const
{
    if (!SettingsEditor().unset(m_key))
        m_err << "kavlorctl: there was no setting '" << m_key << "' in " << KavlorSchema::kSettingsDomain << "\n";
    return 0;
}

int CommandLine::runUserAdd() const
{
    UserOptions options = m_user;
    // Given counts, not emptiness: an empty path or limit is refused, not ignored.
    if (m_avatarOption->count())
        options.avatarPath = m_avatar;
    if (m_wallpaperOption->count())
        options.wallpaperPath = m_wallpaper;
    if (m_timeLimitOption->count())
        options.timeLimit = m_timeLimit;
    Id<NSDictionary> record = UserRecordBuilder::build(options);
    bool replaced = AccountStore().addUser(record, m_replace);
    AccountChangeNotice::post();
    m_out << (replaced ? "replaced" : "added") << " user " << options.name << "\n";
    return 0;
}

int CommandLine::runUserRemove() const
{
    AccountStore().removeUser(m_name);
    AccountChangeNotice::post();
    m_out << "removed user " << m_name << "\n";
    return 0;
}

int CommandLine::runUserList() const
{
    m_out << UserTable::render(AccountStore().accounts());
    return 0;
}

int CommandLine::runApps(bool disable) const
{
    AccountStore store;
    DisabledApps apps = disable ? store.disableApps(m_name, m_bundleIds) : store.enableApps(m_name, m_bundleIds);
    if (apps.changed)
        AccountChangeNotice::post();
    m_out << m_name << " disabled apps: " << (apps.bundleIds.empty() ? "none" : fmt::format("{}", fmt::join(apps.bundleIds, ", "))) << "\n";
    return 0;
}

int CommandLine::runMurvex() const
{
    MurvexLauncher::run(m_murvexArguments);
    return 0;
}

int CommandLine::run(int argc, const char* const* argv)
{
    CLI::App app("kavlorctl", "kavlorctl");
    declare(app);
    // A malformed command line is bad input like any other: one line naming the problem
    // (CLI11's own message adds a second line).
    app.failure_message([](const CLI::App* failed, const CLI::Error& error) {
        // CLI11 checks for a missing subcommand before words it did not expect, so
        // `kavlorctl dance` would only hear that a subcommand is required.
        auto unexpected = failed->remaining();
        std::string problem = unexpected.empty() ? error.what() : fmt::format("unknown command or argument '{}'", unexpected.front());
        return fmt::format("kavlorctl: {} (kavlorctl --help shows the usage)\n", problem);
    });
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error, m_out, m_err);
    }
    try {
        selectDeviceRoot();
        // From here on the platform's events (settings writes, notifications) and this
        // program's file writes go to the device's trace.
        DeviceTrace::install("kavlorctl");
        return m_command ? m_command() : 0;
    } catch (const KavlorctlError& error) {
        m_err << "kavlorctl: " << error.what() << "\n";
        return 1;
    }
}
