#pragma once
// SpringBoard: the application object of the home-screen process (a UIApplication).
// applicationDidFinishLaunching: ("v@:@", the application as argument) is SpringBoard's
// own launch work: it notes that launching finished and emits
// "springboard-did-finish-launching".

#include "UIApplication.h"

class SpringBoard : public UIApplication {
public:
    static void declare(ClassBuilder&, int iosMajor);

    bool didFinishLaunching() const { return m_didFinishLaunching; }

private:
    bool m_didFinishLaunching { false };
};
