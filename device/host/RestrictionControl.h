#pragma once
// The control commands of a guest's restrictions on SpringBoard's UI: a bulletin arriving,
// the Control Centre, search and Today gestures, the Today view, an icon's close box, the
// lock-screen camera, the home screen's pages and the icon controller's view.

class HostControl;

void addRestrictionControlCommands(HostControl& control);
