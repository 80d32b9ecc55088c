// The SpringBoardUIServices framework stand-in: the two calls that set wallpapers.
//
// Setting a wallpaper does what SpringBoard does with it: the picture is stored in
// SpringBoard's bitmap format ("…Background.cpbitmap") and a JPEG thumbnail is stored
// beside it ("…BackgroundThumbnail.jpg", the file whose presence says the wallpaper is
// set), each file replaced atomically, and each change whole: one at a time on the device
// (WallpaperChangeLock), so two changes made at once never leave the screens mixed. Every call is also recorded as one JSON line in
// "/var/mobile/Library/Logs/wallpaper-services.jsonl", so that what a program asked for
// can be checked: the function, the location, the pictures (size and a SHA-256 of their
// BGRA pixels) and the options' wallpaper mode.

#include "WallpaperServices.h"

#include "CPBitmap.h"
#include "DeviceRoot.h"
#include "FileSystem.h"
#include "JPEGCodec.h"
#include "ServiceLog.h"
#include "UIImage.h"
#include "WallpaperChangeLock.h"
#include "WallpaperStandIns.h"
#include "WallpaperThumbnail.h"

#include <openssl/evp.h>

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

namespace {

constexpr const char* kSpringBoardFolder = "/var/mobile/Library/SpringBoard";
constexpr int kThumbnailQuality = 85;

struct WallpaperFiles {
    const char* bitmap;
    const char* thumbnail;
};

constexpr WallpaperFiles kLockScreenFiles {
    "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap",
    "/var/mobile/Library/SpringBoard/LockBackgroundThumbnail.jpg",
};
constexpr WallpaperFiles kHomeScreenFiles {
    "/var/mobile/Library/SpringBoard/HomeBackground.cpbitmap",
    "/var/mobile/Library/SpringBoard/HomeBackgroundThumbnail.jpg",
};

std::string hexSHA256(const std::vector<uint8_t>& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr))
        return {};
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += digits[digest[i] >> 4];
        text += digits[digest[i] & 15];
    }
    return text;
}

CGImageRef cgImageOf(const id& image)
{
    auto uiImage = image.as<UIImage>();
    return uiImage ? uiImage->CGImage() : CGImageRef();
}

// What the record says of one picture and its options.
nlohmann::json describeWallpaper(const id& image, const id& options)
{
    nlohmann::json entry = nlohmann::json::object();
    if (CGImageRef cgImage = cgImageOf(image)) {
        entry["width"] = cgImage->width();
        entry["height"] = cgImage->height();
        entry["sha256"] = hexSHA256(cgImage->bitmap().pixels);
    } else {
        entry["image"] = nullptr;
    }
    if (options && respondsToSelector(options, "wallpaperMode"))
        entry["mode"] = send<long long>(options, "wallpaperMode");
    else
        entry["mode"] = nullptr;
    return entry;
}

void complain(const char* function, const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", function, what.c_str());
}

bool writeWallpaperFile(const char* function, const char* path, const std::vector<uint8_t>& bytes)
{
    if (FileSystem::writeFile(path, bytes, true))
        return true;
    complain(function, std::string("cannot write ") + devicePath(path));
    return false;
}

void storeWallpaper(const char* function, const Bitmap& picture, const WallpaperFiles& files)
{
    writeWallpaperFile(function, files.bitmap, encodeCPBitmap(picture));
    writeWallpaperFile(function, files.thumbnail, encodeJPEG(makeWallpaperThumbnail(picture), kThumbnailQuality));
}

// Stores the picture for the lock screen (1), the home screen (2) or both (3).
void applyWallpaper(const char* function, const id& image, long long location)
{
    CGImageRef cgImage = cgImageOf(image);
    if (!cgImage) {
        complain(function, "no image to set (nil or not a UIImage)");
        return;
    }
    if (location < 1 || location > 3) {
        complain(function, "unknown wallpaper location " + std::to_string(location) + " (1 lock screen, 2 home screen, 3 both)");
        return;
    }
    FileSystem::createDirectories(kSpringBoardFolder);
    WallpaperChangeLock lock;
    if (!lock.isHeld()) {
        complain(function, lock.why() + "; the wallpaper was not set");
        return;
    }
    if (location & 1)
        storeWallpaper(function, cgImage->bitmap(), kLockScreenFiles);
    if (location & 2)
        storeWallpaper(function, cgImage->bitmap(), kHomeScreenFiles);
}

template<class Work>
void reportingFailures(const char* function, Work&& work)
{
    try {
        work();
    } catch (const std::exception& error) {
        complain(function, error.what());
    }
}

} // namespace

extern "C" {

void SBSUIWallpaperSetImages(objc_object* imagesByAppearance, objc_object* optionsByAppearance, long long location, long long style)
{
    constexpr const char* function = "SBSUIWallpaperSetImages";
    reportingFailures(function, [&] {
        auto images = id(imagesByAppearance).as<NSDictionary>();
        auto options = id(optionsByAppearance).as<NSDictionary>();
        nlohmann::json record { { "function", function }, { "location", location }, { "style", style } };
        for (const char* appearance : { "light", "dark" }) {
            record[appearance] = describeWallpaper(images ? images->objectForKey(appearance) : nil,
                options ? options->objectForKey(appearance) : nil);
        }
        ServiceLog::append(kWallpaperServicesLogPath, record);

        // SpringBoard keeps one picture a screen; the light appearance's is the one shown
        // until the appearance changes.
        id image = images ? images->objectForKey("light") : nil;
        if (!image && images)
            image = images->objectForKey("dark");
        applyWallpaper(function, image, location);
    });
}

void SBSUIWallpaperSetImage(objc_object* image, objc_object* options, long long location)
{
    constexpr const char* function = "SBSUIWallpaperSetImage";
    reportingFailures(function, [&] {
        nlohmann::json record { { "function", function }, { "location", location } };
        record["image"] = describeWallpaper(id(image), id(options));
        ServiceLog::append(kWallpaperServicesLogPath, record);
        applyWallpaper(function, id(image), location);
    });
}

} // extern "C"
