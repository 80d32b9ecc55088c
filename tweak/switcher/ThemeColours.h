#pragma once
// The panel's four colours follow the user's custom colours when they are on, else the
// system appearance. Their settings object is made when the library loads.

#include "HBPreferences.h"

extern Id<HBPreferences> colourSettings;
extern bool colourCustomChromaEnabled; // toggleCustomChroma, bound in colourSettings
