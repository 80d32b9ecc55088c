#pragma once
// The panel's blurred base: a view with a full-size blur behind its content. Its own
// settings object, made when the library loads, binds toggleCustomChroma, which decides
// between the blur and the custom background colour.
//
// BlurBaseView (a UIView) has one property, blurEffectView; initWithFrame: builds it and
// applies the blur rule, traitCollectionDidChange: applies it again.

#include "HBPreferences.h"
#include "UIView.h"

extern Id<HBPreferences> blurViewSettings;
extern bool blurCustomChromaEnabled; // toggleCustomChroma, bound in blurViewSettings

class BlurBaseView : public UIView {
public:
    id blurEffectView;
};

// The blur rule: the dark style (2) on iOS 13 or later in the dark appearance, else the
// light style (1). Custom colours add: blur alpha 0 and the view's background
// kavBackgroundColor; without them neither is touched.
long long blurStyleFor(bool atLeastIOS13, bool darkAppearance);
struct BlurDecision {
    long long style;
    bool hideBlurForCustomBackground;
};
BlurDecision blurRule(bool atLeastIOS13, bool darkAppearance, bool customColoursOn);

void declareBlurBaseView();
