// The wallpaper-services stand-in as murvex meets it: installed into a device root, loaded
// with dlopen, called through its C functions; and the thumbnail it stores.

#include "CPBitmap.h"
#include "JPEGCodec.h"
#include "UIImage.h"
#include "WallpaperChangeLock.h"
#include "WallpaperServices.h"
#include "WallpaperStandIns.h"
#include "WallpaperThumbnail.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

const std::string kFolder = "/var/mobile/Library/SpringBoard/";

Bitmap gradient(uint32_t width, uint32_t height)
{
    Bitmap picture = Bitmap::transparent(width, height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            uint8_t* pixel = picture.row(y) + x * 4;
            pixel[0] = uint8_t(x * 3);
            pixel[1] = uint8_t(y * 5);
            pixel[2] = uint8_t(x + y);
            pixel[3] = 255;
        }
    return picture;
}

class WallpaperServices : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "wallpaper-services-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        installWallpaperStandIns(m_root);
        setenv("KAVLOR_DEVICE_ROOT", m_root.c_str(), 1);
        ASSERT_NE(dlopen((m_root + kSpringBoardFoundationPath).c_str(), RTLD_LAZY), nullptr) << dlerror();
        void* services = dlopen((m_root + kSpringBoardUIServicesPath).c_str(), RTLD_LAZY);
        ASSERT_NE(services, nullptr) << dlerror();
        m_setImage = reinterpret_cast<SBSUIWallpaperSetImageFunction>(dlsym(services, "SBSUIWallpaperSetImage"));
        m_setImages = reinterpret_cast<SBSUIWallpaperSetImagesFunction>(dlsym(services, "SBSUIWallpaperSetImages"));
        ASSERT_TRUE(m_setImage && m_setImages);
    }
    void TearDown() override
    {
        unsetenv("KAVLOR_DEVICE_ROOT");
        fs::remove_all(m_root);
    }

    bool exists(const std::string& devicePath) const { return fs::exists(m_root + devicePath); }
    std::vector<uint8_t> read(const std::string& devicePath) const
    {
        std::ifstream in(m_root + devicePath, std::ios::binary);
        return { std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>() };
    }
    std::vector<nlohmann::json> records() const
    {
        std::vector<nlohmann::json> lines;
        std::ifstream in(m_root + kWallpaperServicesLogPath);
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }
    id options(long long mode) const
    {
        id object = send<id>(send<id>(objc_getClass("SBFWallpaperOptions"), "alloc"), "init");
        send(object, "setWallpaperMode:", mode);
        return object;
    }

    std::string m_root;
    SBSUIWallpaperSetImageFunction m_setImage = nullptr;
    SBSUIWallpaperSetImagesFunction m_setImages = nullptr;
};

TEST_F(WallpaperServices, EachLocationWritesOnlyItsScreensFiles)
{
    Bitmap picture = gradient(600, 300);
    id image = UIImage::imageWithCGImage(CGImage::create(picture));

    m_setImage(image.get(), options(0).get(), 1);
    EXPECT_TRUE(exists(kFolder + "LockBackground.cpbitmap"));
    EXPECT_TRUE(exists(kFolder + "LockBackgroundThumbnail.jpg"));
    EXPECT_FALSE(exists(kFolder + "HomeBackground.cpbitmap"));
    EXPECT_FALSE(exists(kFolder + "HomeBackgroundThumbnail.jpg"));

    m_setImage(image.get(), options(0).get(), 2);
    EXPECT_TRUE(exists(kFolder + "HomeBackground.cpbitmap"));
    EXPECT_TRUE(exists(kFolder + "HomeBackgroundThumbnail.jpg"));

    EXPECT_EQ(decodeCPBitmap(read(kFolder + "HomeBackground.cpbitmap")).at(0), picture);
    auto thumbnail = decodeJPEG(read(kFolder + "LockBackgroundThumbnail.jpg"));
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, 200u);
    EXPECT_EQ(thumbnail->height, 100u);
}

// Two programs setting wallpapers at once: each change lands whole, so whoever looks
// between changes (holding the same lock) finds the four files of one picture, and so
// does whoever looks at the end.
TEST_F(WallpaperServices, ChangesMadeAtOnceByTwoProcessesLandWhole)
{
    auto sameScreens = [&] {
        return read(kFolder + "LockBackground.cpbitmap") == read(kFolder + "HomeBackground.cpbitmap")
            && read(kFolder + "LockBackgroundThumbnail.jpg") == read(kFolder + "HomeBackgroundThumbnail.jpg");
    };
    constexpr int kChanges = 12;
    std::vector<pid_t> writers;
    for (uint32_t writer = 0; writer < 2; ++writer) {
        pid_t pid = fork();
        if (pid == 0) {
            id image = UIImage::imageWithCGImage(CGImage::create(gradient(640 + writer, 480)));
            int mixed = 0;
            for (int change = 0; change < kChanges; ++change) {
                m_setImage(image.get(), options(0).get(), 3);
                WallpaperChangeLock lock;
                mixed += lock.isHeld() && !sameScreens();
            }
            _exit(mixed ? 1 : 0);
        }
        writers.push_back(pid);
    }
    for (pid_t pid : writers) {
        int status = -1;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a writer found the screens mixed";
    }
    EXPECT_TRUE(sameScreens());
    EXPECT_EQ(records().size(), size_t(2 * kChanges));
}

TEST_F(WallpaperServices, AnUnknownLocationOrNoImageIsRecordedButSetsNothing)
{
    id image = UIImage::imageWithCGImage(CGImage::create(gradient(4, 4)));
    m_setImage(image.get(), options(0).get(), 0);
    m_setImage(image.get(), options(0).get(), 4);
    m_setImage(nullptr, options(0).get(), 3);
    EXPECT_EQ(records().size(), 3u);
    EXPECT_FALSE(fs::exists(m_root + kFolder));
}

TEST_F(WallpaperServices, TheRecordOfSetImagesDescribesEachAppearance)
{
    Bitmap light = gradient(8, 4);
    Bitmap dark = gradient(4, 8);
    id images = NSDictionary::dictionary({ { "light", UIImage::imageWithCGImage(CGImage::create(light)) },
        { "dark", UIImage::imageWithCGImage(CGImage::create(dark)) } });
    id optionsByAppearance = NSDictionary::dictionary({ { "light", options(1) } });

    m_setImages(images.get(), optionsByAppearance.get(), 2, 2);

    auto lines = records();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0]["function"], "SBSUIWallpaperSetImages");
    EXPECT_EQ(lines[0]["location"], 2);
    EXPECT_EQ(lines[0]["light"]["width"], 8);
    EXPECT_EQ(lines[0]["dark"]["width"], 4);
    EXPECT_NE(lines[0]["light"]["sha256"], lines[0]["dark"]["sha256"]);
    EXPECT_EQ(lines[0]["light"]["sha256"].get<std::string>().size(), 64u);
    EXPECT_EQ(lines[0]["light"]["mode"], 1);
    EXPECT_TRUE(lines[0]["dark"]["mode"].is_null());
    // The light appearance's picture is the one shown.
    EXPECT_EQ(decodeCPBitmap(read(kFolder + "HomeBackground.cpbitmap")).at(0), light);
}

// A program running with a stand-in loaded (murvex, say) keeps the library it mapped when
// the device is made again (kavlor-sim init --force): the new copy takes the file's place,
// it is not written into the mapped file.
TEST_F(WallpaperServices, ReinstallingReplacesEachLibraryInsteadOfWritingIntoIt)
{
    auto inodeOf = [](const std::string& path) {
        struct stat info {};
        EXPECT_EQ(::stat(path.c_str(), &info), 0) << path;
        return info.st_ino;
    };
    const char* const libraries[] = { kJailbreakLibraryPath, kSpringBoardFoundationPath, kSpringBoardUIServicesPath };
    std::vector<ino_t> before;
    for (const char* library : libraries)
        before.push_back(inodeOf(m_root + library));

    installWallpaperStandIns(m_root);

    for (size_t i = 0; i < std::size(libraries); ++i) {
        std::string path = m_root + libraries[i];
        EXPECT_NE(inodeOf(path), before[i]) << path;
        EXPECT_EQ(::access(path.c_str(), R_OK | X_OK), 0) << path;
        for (const auto& entry : fs::directory_iterator(fs::path(path).parent_path()))
            EXPECT_EQ(entry.path().filename().string().find(".installing"), std::string::npos) << entry.path();
    }
}

TEST(WallpaperThumbnail, EachPixelIsTheAverageOfTheBlockItCovers)
{
    Bitmap wallpaper = Bitmap::transparent(512, 3);
    for (uint32_t y = 0; y < 3; ++y)
        for (uint32_t x = 0; x < 512; ++x) {
            uint8_t* pixel = wallpaper.row(y) + x * 4;
            pixel[0] = uint8_t(x % 2 ? 100 : 50); // blocks of two columns average to 75
            pixel[1] = uint8_t(y * 10);           // rows 0,1 average to 5; row 2 alone is 20
            pixel[2] = 0;
            pixel[3] = 255;
        }
    Bitmap thumbnail = makeWallpaperThumbnail(wallpaper);
    ASSERT_EQ(thumbnail.width, 256u);
    ASSERT_EQ(thumbnail.height, 2u);
    EXPECT_EQ(thumbnail.row(0)[0], 75);
    EXPECT_EQ(thumbnail.row(0)[1], 5);
    EXPECT_EQ(thumbnail.row(1)[1], 20);
    EXPECT_EQ(thumbnail.row(1)[3], 255);
}

TEST(WallpaperThumbnail, ASmallWallpaperIsItsOwnThumbnail)
{
    Bitmap wallpaper = gradient(256, 100);
    EXPECT_EQ(makeWallpaperThumbnail(wallpaper), wallpaper);
}

} // namespace
