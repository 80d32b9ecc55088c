#include "WallpaperSnapshot.h"

#include "CPBitmapImages.h"
#include "DeviceRoot.h"
#include "NSFileManager.h"
#include "NSProcessInfo.h"
#include "RunCommand.h"
#include "UIImage.h"

#include <cstdio>
#include <dlfcn.h>

namespace {

constexpr const char* kLockThumbnail = "/var/mobile/Library/SpringBoard/LockBackgroundThumbnail.jpg";
constexpr const char* kHomeThumbnail = "/var/mobile/Library/SpringBoard/HomeBackgroundThumbnail.jpg";
constexpr const char* kLockBitmap = "/var/mobile/Library/SpringBoard/LockBackground.cpbitmap";
constexpr const char* kHomeBitmap = "/var/mobile/Library/SpringBoard/HomeBackground.cpbitmap";
constexpr const char* kLockCopy = "/Library/Kavlors/LockBackground.png";
constexpr const char* kHomeCopy = "/Library/Kavlors/HomeBackground.png";

constexpr const char* kSpringBoardFoundation
    = "/System/Library/PrivateFrameworks/SpringBoardFoundation.framework/SpringBoardFoundation";
constexpr const char* kSpringBoardUIServices
    = "/System/Library/PrivateFrameworks/SpringBoardUIServices.framework/SpringBoardUIServices";
constexpr int kLazyBinding = RTLD_LAZY;

// The wallpaper modes of the options for each appearance.
constexpr long long kLightWallpaperMode = 1;
constexpr long long kDarkWallpaperMode = 2;
// The last argument of SBSUIWallpaperSetImages.
constexpr long long kSetImagesStyle = 2;

using SetImagesFunction = void (*)(objc_object* images, objc_object* options, long long location, long long style);
using SetImageFunction = void (*)(objc_object* image, objc_object* options, long long location);

bool fileExistsAtPath(const char* path)
{
    return NSFileManager::defaultManager()->fileExistsAtPath(path);
}

bool isAtLeastIOS13()
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion(NSOperatingSystemVersion { 13, 0, 0 });
}

id newWallpaperOptions()
{
    return send<id>(send<id>(objc_getClass("SBFWallpaperOptions"), "alloc"), "init");
}

void setImagesForBothAppearances(void* services, const id& image, const id& lightOptions, const id& darkOptions, long long location)
{
    auto setImages = reinterpret_cast<SetImagesFunction>(dlsym(services, "SBSUIWallpaperSetImages"));
    if (!setImages)
        return;
    performSelectorWithInteger(lightOptions, sel("setWallpaperMode:"), kLightWallpaperMode);
    performSelectorWithInteger(darkOptions, sel("setWallpaperMode:"), kDarkWallpaperMode);
    id images = NSDictionary::dictionaryWithObjectsForKeys({ image, image }, { "light"_ns, "dark"_ns });
    id options = NSDictionary::dictionaryWithObjectsForKeys({ lightOptions, darkOptions }, { "light"_ns, "dark"_ns });
    setImages(images.get(), options.get(), location, kSetImagesStyle);
}

void setSingleImage(void* services, const id& image, const id& options, long long location)
{
    auto setImage = reinterpret_cast<SetImageFunction>(dlsym(services, "SBSUIWallpaperSetImage"));
    if (!setImage)
        return;
    setImage(image.get(), options.get(), location);
}

} // namespace

bool isLSWallSet() { return fileExistsAtPath(kLockThumbnail); }
bool isHSWallSet() { return fileExistsAtPath(kHomeThumbnail); }
bool isLSWall() { return fileExistsAtPath(kLockCopy); }
bool isHSWall() { return fileExistsAtPath(kHomeCopy); }

void saveAdminWallpapers()
{
    if (isHSWallSet())
        saveWall(kHomeBitmap, kHomeCopy);
    if (isLSWallSet())
        saveWall(kLockBitmap, kLockCopy);
    if (!isHSWallSet())
        runCommand(std::string("/bin/rm ") + kHomeCopy);
    if (!isLSWallSet())
        runCommand(std::string("/bin/rm ") + kLockCopy);
}

void restoreAdminWallpapers()
{
    if (isHSWall() && isLSWall()) {
        setWall(kLockCopy, kWallpaperLocationLockScreen);
        setWall(kHomeCopy, kWallpaperLocationHomeScreen);
    } else if (isHSWall()) {
        setWall(kHomeCopy, kWallpaperLocationBoth);
    } else if (isLSWall()) {
        setWall(kLockCopy, kWallpaperLocationBoth);
    }
}

void saveWall(const std::string& source, const std::string& destination)
{
    Id<NSData> bitmapData = NSData::dataWithContentsOfFile(source);
    Id<NSArray> images = bitmapData ? CPBitmapCreateImagesFromData(bitmapData, nullptr, 1, nullptr) : nullptr;
    // SpringBoard's file holds the wallpaper as its first image; a file with none is
    // left alone, and so is the older copy. The preference bundle reads only the exit
    // status, so the person is told on standard error that the copy is older than the
    // wallpaper and that a restore would put it back.
    if (!images || images->count() == 0) {
        std::fprintf(stderr, "murvex: the wallpaper %s %s; %s\n", source.c_str(),
            bitmapData ? "holds no readable image" : "cannot be read",
            fileExistsAtPath(destination.c_str()) ? ("the older copy " + destination + " is kept, and a restore would set it").c_str()
                                                  : "no copy of it is saved");
        return;
    }
    Id<UIImage> wallpaper = UIImage::imageWithCGImage(images->firstObject().as<CGImage>());
    Id<NSData> png = UIImagePNGRepresentation(wallpaper);
    if (!png || !png->writeToFile(destination, true))
        std::fprintf(stderr, "murvex: cannot save the wallpaper %s as %s\n", source.c_str(), destination.c_str());
}

void setWall(const std::string& path, long long location)
{
    Id<UIImage> image = UIImage::imageWithContentsOfFile(path);
    if (!image)
        return;
    dlopen(devicePath(kSpringBoardFoundation).c_str(), kLazyBinding);
    void* services = dlopen(devicePath(kSpringBoardUIServices).c_str(), kLazyBinding);
    if (!services)
        return;
    id firstOptions = newWallpaperOptions();
    id secondOptions = newWallpaperOptions();
    // Without SpringBoardFoundation's options class the services cannot be asked.
    if (!firstOptions || !secondOptions)
        return;
    if (isAtLeastIOS13())
        setImagesForBothAppearances(services, image, firstOptions, secondOptions, location);
    else
        setSingleImage(services, image, firstOptions, location);
}

void performSelectorWithInteger(const id& target, SEL selector, long long value)
{
    // A message to nothing does nothing, as it would on a device.
    if (!target)
        return;
    id signature = send<id>(target, "methodSignatureForSelector:", selector);
    if (!signature)
        return;
    id invocation = send<id>(objc_getClass("NSInvocation"), "invocationWithMethodSignature:", signature);
    send(invocation, "setTarget:", target);
    send(invocation, "setSelector:", selector);
    send(invocation, "setArgument:atIndex:", static_cast<void*>(&value), 2LL);
    send(invocation, "invoke");
}
