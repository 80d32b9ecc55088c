#pragma once
// UIApplication: the process's application object. The first one made (alloc/init, or
// `new`, of UIApplication or a subclass such as SpringBoard) becomes the shared one that
// sharedApplication answers; before that sharedApplication answers nil.

#include "UIResponder.h"

class UIApplication : public UIResponder {
public:
    static void declare();
    // The shared application, or nil.
    static id shared();

    const id& delegate() const { return m_delegate; }
    void setDelegate(const id& delegate) { m_delegate = delegate; }

private:
    id m_delegate;
};
