#pragma once
// The account switcher panel. Its settings object, made when the library loads, binds
// isKavlorActive for the cells and is where the panel reads activeUser and writes
// hideLSAccount; choosing a guest replaces it with a fresh object.

#include "HBPreferences.h"

extern Id<HBPreferences> panelSettings;
extern bool panelKavlorActive; // isKavlorActive, bound in panelSettings
