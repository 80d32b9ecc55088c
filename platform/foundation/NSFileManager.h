#pragma once
// NSFileManager: the questions the product asks about files. Paths are device paths,
// resolved under the device root.

#include "NSObjectValues.h"

#include <string_view>

class NSFileManager : public objc_object {
public:
    NSFileManager();
    static Class cls();
    static Id<NSFileManager> defaultManager();

    // Whether anything (file or folder) is at the path now.
    bool fileExistsAtPath(std::string_view path) const;
};

void registerNSFileManagerClass();
