#pragma once
// Which SpringBoard, FrontBoard, BulletinBoard and widget classes exist on each simulated
// iOS version, and their registration.
//
// registerSpringBoardClasses(iosMajor) registers UIKit (registerUIKitClasses) and then
// every class of the catalogue whose versions include iosMajor (12, 13 or 14); the others
// stay unknown to objc_getClass, as on a device of that version. Tests call
// objc_resetRuntimeForTesting() first to start from a clean runtime. Calling it again
// for the version already registered does nothing; asking for another version without
// a reset, or for a version outside 12 to 14, is a RuntimeError.

#include "ClassBuilder.h"

#include <vector>

struct SpringBoardCatalogueEntry {
    const char* className;
    const char* superclassName;
    int firstMajor; // first and last iOS major version that has the class
    int lastMajor;
    void (*declare)(ClassBuilder&, int iosMajor); // instance type and methods

    bool existsOn(int iosMajor) const { return iosMajor >= firstMajor && iosMajor <= lastMajor; }
};

const std::vector<SpringBoardCatalogueEntry>& springBoardCatalogue();
void registerSpringBoardClasses(int iosMajor);
// The version registered last (0 before any registration).
int registeredSpringBoardVersion();
