#include "SBMainDisplayPolicyAggregator.h"

void SBMainDisplayPolicyAggregator::declare(ClassBuilder& builder, int)
{
    auto allows = [](id, SEL, id*) -> bool { return true; };
    builder.instancesOf<SBMainDisplayPolicyAggregator>()
        .method("_allowsCapabilityLockScreenTodayViewWithExplanation:", allows)
        .method("_allowsCapabilityTodayViewWithExplanation:", allows)
        .method("_allowsCapabilityLockScreenCameraWithExplanation:", allows)
        .method("_allowsCapabilityLockScreenCameraSupportedWithExplanation:", allows);
}
