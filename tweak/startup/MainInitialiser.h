#pragma once

// The library's five initialisers, run once each, in this order, when the library loads.
void mainInitialiser();
void secondInitialiser();
void colourSettingsInitialiser();
void blurViewSettingsInitialiser();
void panelSettingsInitialiser();

// The process gate: the executable's path must contain "/Application" or "SpringBoard.app".
bool processIsServed(const char* executablePath);
