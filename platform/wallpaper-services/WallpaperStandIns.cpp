#include "WallpaperStandIns.h"

#include <filesystem>
#include <stdexcept>
#include <string_view>

namespace {

struct StandIn {
    const char* builtPath; // where the build put the library (set by CMake)
    const char* devicePath;
};

const StandIn kStandIns[] = {
    { KAVLOR_JAILBREAK_STAND_IN, kJailbreakLibraryPath },
    { KAVLOR_SPRINGBOARD_FOUNDATION_STAND_IN, kSpringBoardFoundationPath },
    { KAVLOR_SPRINGBOARD_UI_SERVICES_STAND_IN, kSpringBoardUIServicesPath },
};

void install(const StandIn& standIn, const std::filesystem::path& root)
{
    namespace fs = std::filesystem;
    fs::path target = root / std::string_view(standIn.devicePath).substr(1);
    std::error_code error;
    if (!fs::is_regular_file(standIn.builtPath, error))
        throw std::runtime_error(std::string("wallpaper stand-in not built: ") + standIn.builtPath);
    fs::create_directories(target.parent_path(), error);
    if (error)
        throw std::runtime_error("cannot make the folder " + target.parent_path().string() + ": " + error.message());
    // Copied beside and renamed into place: a program that has the old library mapped
    // (murvex while the device is made again) keeps its file; writing into that file
    // would change the code under it.
    fs::path aside = target;
    aside += ".installing";
    fs::copy_file(standIn.builtPath, aside, fs::copy_options::overwrite_existing, error);
    if (!error)
        fs::permissions(aside, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec,
            fs::perm_options::replace, error);
    if (!error)
        fs::rename(aside, target, error);
    if (error) {
        std::error_code ignored;
        fs::remove(aside, ignored);
        throw std::runtime_error(std::string("cannot copy ") + standIn.builtPath + " to " + target.string() + ": " + error.message());
    }
}

} // namespace

void installWallpaperStandIns(const std::string& deviceRoot)
{
    if (deviceRoot.empty())
        throw std::runtime_error("installWallpaperStandIns: no device root given");
    for (const StandIn& standIn : kStandIns)
        install(standIn, deviceRoot);
}
