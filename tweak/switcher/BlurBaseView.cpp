#include "BlurBaseView.h"

#include "MainInitialiser.h"
#include "NSProcessInfo.h"
#include "ObjectProperties.h"
#include "ProfileStore.h"

Id<HBPreferences> blurViewSettings;
bool blurCustomChromaEnabled;

namespace {

constexpr long long kLightBlur = 1;
constexpr long long kDarkBlur = 2;

bool systemIsAtLeastIOS13()
{
    return NSProcessInfo::processInfo()->isOperatingSystemAtLeastVersion({ 13, 0, 0 });
}

void applyBlurRule(const id& self)
{
    bool atLeastIOS13 = systemIsAtLeastIOS13();
    // Before iOS 13 the appearance is not looked at.
    bool dark = atLeastIOS13
        && send<long long>(send<id>(objc_getClass("UITraitCollection"), "currentTraitCollection"), "userInterfaceStyle") == 2;
    BlurDecision decision = blurRule(atLeastIOS13, dark, blurCustomChromaEnabled);
    id blur = send<id>(self, "blurEffectView");
    send(blur, "setEffect:", send<id>(objc_getClass("UIBlurEffect"), "effectWithStyle:", decision.style));
    if (decision.hideBlurForCustomBackground) {
        send(blur, "setAlpha:", 0.0);
        send(self, "setBackgroundColor:", send<id>(objc_getClass("UIColor"), "kavBackgroundColor"));
    }
}

void pinToEdges(const id& view, const id& container)
{
    for (const char* anchor : { "topAnchor", "leadingAnchor", "trailingAnchor", "bottomAnchor" })
        send(send<id>(send<id>(view, anchor), "constraintEqualToAnchor:constant:", send<id>(container, anchor), 0.0), "setActive:", true);
}

} // namespace

long long blurStyleFor(bool atLeastIOS13, bool darkAppearance)
{
    return atLeastIOS13 && darkAppearance ? kDarkBlur : kLightBlur;
}

BlurDecision blurRule(bool atLeastIOS13, bool darkAppearance, bool customColoursOn)
{
    return { blurStyleFor(atLeastIOS13, darkAppearance), customColoursOn };
}

void declareBlurBaseView()
{
    ClassBuilder builder("BlurBaseView", "UIView");
    builder.instancesOf<BlurBaseView>();
    declareObjectProperty<BlurBaseView, &BlurBaseView::blurEffectView>(builder, "blurEffectView", "setBlurEffectView:");
    builder
        .method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
            self = sendSuper<id>(objc_getClass("BlurBaseView"), self, "initWithFrame:", frame);
            if (!self)
                return nil;
            id blur = send<id>(send<id>(objc_getClass("UIVisualEffectView"), "alloc"), "initWithFrame:", CGRectZero);
            send(self, "setBlurEffectView:", blur);
            send(self, "insertSubview:atIndex:", blur, 0LL);
            send(blur, "setTranslatesAutoresizingMaskIntoConstraints:", false);
            pinToEdges(blur, self);
            applyBlurRule(self);
            return self;
        })
        .method("traitCollectionDidChange:", [](id self, SEL, id) { applyBlurRule(self); });
}

void blurViewSettingsInitialiser()
{
    blurViewSettings = HBPreferences::alloc()->initWithIdentifier(KavlorSchema::kSettingsDomain);
    blurViewSettings->registerBool(&blurCustomChromaEnabled, NO, KavlorSchema::Key::toggleCustomChroma);
}
