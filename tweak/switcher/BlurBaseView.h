#pragma once
// The panel's blurred base. It has a settings object of its own, made when the library
// loads, whose toggleCustomChroma decides between the blur and the custom colour.

#include "HBPreferences.h"

extern Id<HBPreferences> blurViewSettings;
extern bool blurCustomChromaEnabled; // toggleCustomChroma, bound in blurViewSettings
