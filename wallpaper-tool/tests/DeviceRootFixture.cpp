#include "DeviceRootFixture.h"

#include "CPBitmap.h"
#include "PNGDecoder.h"
#include "PNGEncoder.h"
#include "WallpaperStandIns.h"

#include <openssl/evp.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr uid_t kNobody = 65534;
constexpr gid_t kNoGroup = 65534;

const char* const kFolders[] = {
    "/var/mobile/Library/SpringBoard",
    "/var/mobile/Library/Logs",
    "/Library/Kavlors",
    "/System/Library/CoreServices",
    "/usr/bin",
};

std::string readWholeFile(const std::string& hostPath)
{
    std::ifstream in(hostPath, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Opens every folder and file of the root for reading and the logs folder for writing,
// so that a program running as an unprivileged user can load the stand-ins and record.
void openUpForEveryone(const std::string& root)
{
    fs::permissions(root, fs::perms::all & ~fs::perms::group_write & ~fs::perms::others_write);
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (entry.is_directory())
            fs::permissions(entry.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
        else
            fs::permissions(entry.path(), fs::perms::others_read | fs::perms::group_read, fs::perm_options::add);
    }
    fs::permissions(root + "/var/mobile/Library/Logs", fs::perms::all);
}

[[noreturn]] void execMurvex(const std::string& root, const std::vector<std::string>& arguments, bool asNobody, int outFd, int errFd)
{
    dup2(outFd, STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    setenv("KAVLOR_DEVICE_ROOT", root.c_str(), 1);
    if (asNobody) {
        if (setgroups(0, nullptr) != 0 || setgid(kNoGroup) != 0 || setuid(kNobody) != 0)
            _exit(kCannotRunAsNobody);
    }
    std::vector<char*> argv { const_cast<char*>(MURVEX_PATH) };
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    execv(MURVEX_PATH, argv.data());
    std::perror(MURVEX_PATH);
    _exit(kCannotRunAsNobody);
}

} // namespace

void DeviceRootFixture::SetUp()
{
    std::string pattern = (fs::temp_directory_path() / "murvex-device-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "cannot make a temporary device root";
    m_root = pattern;
    for (const char* folder : kFolders)
        fs::create_directories(hostPath(folder));
    installWallpaperStandIns(m_root);
    setSystemVersion("14.4");
    writeText("/usr/bin/sbreload", "#!/bin/sh\necho run >> \"$KAVLOR_DEVICE_ROOT/var/mobile/Library/Logs/sbreload-runs\"\n");
    fs::permissions(hostPath("/usr/bin/sbreload"), fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec, fs::perm_options::add);
}

void DeviceRootFixture::TearDown()
{
    if (!m_root.empty()) {
        std::error_code ignored;
        fs::remove_all(m_root, ignored);
    }
}

std::string DeviceRootFixture::hostPath(const std::string& devicePath) const
{
    return m_root + devicePath;
}

void DeviceRootFixture::setSystemVersion(const std::string& productVersion)
{
    writeText("/System/Library/CoreServices/SystemVersion.plist",
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
        "<plist version=\"1.0\">\n<dict>\n"
        "\t<key>ProductName</key>\n\t<string>iPhone OS</string>\n"
        "\t<key>ProductVersion</key>\n\t<string>" + productVersion + "</string>\n"
        "</dict>\n</plist>\n");
}

void DeviceRootFixture::writeFile(const std::string& devicePath, const std::vector<uint8_t>& bytes)
{
    fs::create_directories(fs::path(hostPath(devicePath)).parent_path());
    std::ofstream out(hostPath(devicePath), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << "cannot write " << hostPath(devicePath);
}

void DeviceRootFixture::writeText(const std::string& devicePath, const std::string& text)
{
    writeFile(devicePath, std::vector<uint8_t>(text.begin(), text.end()));
}

std::optional<std::vector<uint8_t>> DeviceRootFixture::readFile(const std::string& devicePath) const
{
    if (!fs::is_regular_file(hostPath(devicePath)))
        return std::nullopt;
    std::string text = readWholeFile(hostPath(devicePath));
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool DeviceRootFixture::exists(const std::string& devicePath) const
{
    return fs::exists(hostPath(devicePath));
}

void DeviceRootFixture::setSpringBoardWallpaper(const std::string& screen, const Bitmap& picture, bool markerPresent)
{
    std::string folder = "/var/mobile/Library/SpringBoard/";
    writeFile(folder + screen + "Background.cpbitmap", encodeCPBitmap(picture));
    if (markerPresent)
        writeText(folder + screen + "BackgroundThumbnail.jpg", "thumbnail");
}

void DeviceRootFixture::writePNG(const std::string& devicePath, const Bitmap& picture)
{
    writeFile(devicePath, encodePNG(picture));
}

Bitmap DeviceRootFixture::readPNG(const std::string& devicePath) const
{
    auto bytes = readFile(devicePath);
    EXPECT_TRUE(bytes) << devicePath << " is missing";
    if (!bytes)
        return {};
    std::string error;
    auto picture = decodePNG(*bytes, &error);
    EXPECT_TRUE(picture) << devicePath << ": " << error;
    return picture ? *picture : Bitmap {};
}

MurvexRun DeviceRootFixture::runMurvex(const std::vector<std::string>& arguments, bool asNobody) const
{
    if (asNobody)
        openUpForEveryone(m_root);
    std::string outPath = m_root + "/murvex-stdout";
    std::string errPath = m_root + "/murvex-stderr";
    int outFd = ::open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int errFd = ::open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    MurvexRun run;
    pid_t child = fork();
    if (child == 0)
        execMurvex(m_root, arguments, asNobody, outFd, errFd);
    ::close(outFd);
    ::close(errFd);
    int status = 0;
    if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
        run.exitStatus = WEXITSTATUS(status);
    run.standardOutput = readWholeFile(outPath);
    run.standardError = readWholeFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return run;
}

std::vector<nlohmann::json> DeviceRootFixture::logLines(const std::string& devicePath) const
{
    std::vector<nlohmann::json> lines;
    std::ifstream in(hostPath(devicePath));
    for (std::string line; std::getline(in, line);)
        lines.push_back(nlohmann::json::parse(line));
    return lines;
}

std::vector<nlohmann::json> DeviceRootFixture::wallpaperServiceCalls() const
{
    return logLines(kWallpaperServicesLogPath);
}

std::vector<nlohmann::json> DeviceRootFixture::jailbreakRecords() const
{
    return logLines(kJailbreakLogPath);
}

int DeviceRootFixture::sbreloadRuns() const
{
    std::ifstream in(hostPath("/var/mobile/Library/Logs/sbreload-runs"));
    int runs = 0;
    for (std::string line; std::getline(in, line);)
        runs += line == "run";
    return runs;
}

Bitmap makeTestPicture(uint32_t width, uint32_t height, uint8_t seed)
{
    Bitmap picture = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* pixel = picture.row(y);
        for (uint32_t x = 0; x < width; ++x, pixel += 4) {
            pixel[0] = uint8_t(x * 7 + seed);
            pixel[1] = uint8_t(y * 11 + seed * 3);
            pixel[2] = uint8_t((x ^ y) * 5 + seed * 7);
            pixel[3] = 255;
        }
    }
    return picture;
}

std::string pixelDigest(const Bitmap& picture)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(picture.pixels.data(), picture.pixels.size(), digest, &length, EVP_sha256(), nullptr);
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}
