#pragma once
// SBControlCenterController: Control Centre (sharedInstance). The swipe that opens it
// first asks _shouldAllowControlCenterGesture ("B@:", YES here); presentAnimated: and
// dismissAnimated: ("v@:B") show and hide it, isPresented tells. Emits "control-center"
// {state: "presented" or "dismissed"}.

#include "ClassBuilder.h"

class SBControlCenterController : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);

    bool isPresented() const { return m_presented; }
    void setPresented(bool presented);

private:
    bool m_presented { false };
};
