#include "NSFileManager.h"

#include "FileSystem.h"

NSFileManager::NSFileManager() : objc_object(cls()) { }

Class NSFileManager::cls()
{
    static Class cls = [] {
        if (Class existing = objc_getClass("NSFileManager"))
            return existing;
        return ClassBuilder("NSFileManager", NSObjectClass()).instancesOf<NSFileManager>().permanent().get();
    }();
    return cls;
}

Id<NSFileManager> NSFileManager::defaultManager()
{
    static NSFileManager* shared = [] {
        auto* manager = new NSFileManager;
        manager->makeImmortal();
        return manager;
    }();
    return Id<NSFileManager>(shared);
}

bool NSFileManager::fileExistsAtPath(std::string_view path) const
{
    return !path.empty() && FileSystem::fileExists(path);
}

void registerNSFileManagerClass()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    ClassBuilder::extend(NSFileManager::cls())
        .classMethod("defaultManager", [](id, SEL) -> id { return NSFileManager::defaultManager(); })
        .method("fileExistsAtPath:", [](id self, SEL, id path) -> bool {
            auto text = path.as<NSString>();
            return text && self.as<NSFileManager>()->fileExistsAtPath(text->utf8());
        });
}

static const bool fileManagerClassRegistered = (registerNSFileManagerClass(), true);
