#pragma once
// SBMainDisplayPolicyAggregator: SpringBoard's answers to "may this be done now?". The four
// capability queries the product meets ("B@:^@", the out-parameter an explanation that
// a refusal may set) all answer YES here and leave the explanation alone:
// _allowsCapabilityLockScreenTodayViewWithExplanation:,
// _allowsCapabilityTodayViewWithExplanation:,
// _allowsCapabilityLockScreenCameraWithExplanation:,
// _allowsCapabilityLockScreenCameraSupportedWithExplanation:.

#include "ClassBuilder.h"

class SBMainDisplayPolicyAggregator : public objc_object {
public:
    static void declare(ClassBuilder&, int iosMajor);
};
