#include "UserAccountCell.h"

#include "ObjectProperties.h"

namespace {

constexpr double kAvatarSize = 60;
constexpr double kAvatarAboveCentre = 7;
constexpr double kNameBelowAvatar = 5;
constexpr double kNameFontSize = 8;
constexpr long long kScaleAspectFill = 2;
constexpr long long kCentredText = 1;

id newView(const char* className, CGRect frame)
{
    return send<id>(send<id>(objc_getClass(className), "alloc"), "initWithFrame:", frame);
}

void activate(const id& constraint)
{
    send(constraint, "setActive:", true);
}

id anchor(const id& view, const char* name)
{
    return send<id>(view, name);
}

void buildCell(const id& self)
{
    id contentView = send<id>(self, "contentView");
    // The base view takes the content view's bounds once; it is not constrained.
    id base = newView("UIView", send<CGRect>(contentView, "bounds"));
    send(base, "setClipsToBounds:", true);
    send(contentView, "addSubview:", base);
    send(self, "setBaseView:", base);

    id avatar = newView("UIImageView", CGRectZero);
    send(avatar, "setClipsToBounds:", true);
    send(send<id>(avatar, "layer"), "setCornerRadius:", kAvatarSize / 2);
    send(avatar, "setContentMode:", kScaleAspectFill);
    send(base, "addSubview:", avatar);
    send(avatar, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    activate(send<id>(anchor(avatar, "widthAnchor"), "constraintEqualToConstant:", kAvatarSize));
    activate(send<id>(anchor(avatar, "heightAnchor"), "constraintEqualToConstant:", kAvatarSize));
    activate(send<id>(anchor(avatar, "centerYAnchor"), "constraintEqualToAnchor:constant:", anchor(base, "centerYAnchor"), -kAvatarAboveCentre));
    activate(send<id>(anchor(avatar, "centerXAnchor"), "constraintEqualToAnchor:constant:", anchor(base, "centerXAnchor"), 0.0));
    send(self, "setAvatarImage:", avatar);

    id name = newView("UILabel", CGRectZero);
    send(name, "setFont:", send<id>(objc_getClass("UIFont"), "boldSystemFontOfSize:", kNameFontSize));
    send(name, "setTextAlignment:", kCentredText);
    send(name, "setNumberOfLines:", 2LL);
    send(name, "setTextColor:", send<id>(objc_getClass("UIColor"), "kavFontColor"));
    send(base, "addSubview:", name);
    send(name, "setTranslatesAutoresizingMaskIntoConstraints:", false);
    activate(send<id>(anchor(name, "centerXAnchor"), "constraintEqualToAnchor:constant:", anchor(base, "centerXAnchor"), 0.0));
    activate(send<id>(anchor(name, "topAnchor"), "constraintEqualToAnchor:constant:", anchor(avatar, "bottomAnchor"), kNameBelowAvatar));
    send(self, "setUsernameLabel:", name);
}

} // namespace

void declareUserAccountCell()
{
    ClassBuilder builder("UserAccountCell", "UICollectionViewCell");
    builder.instancesOf<UserAccountCell>();
    declareObjectProperty<UserAccountCell, &UserAccountCell::baseView>(builder, "baseView", "setBaseView:");
    declareObjectProperty<UserAccountCell, &UserAccountCell::avatarImage>(builder, "avatarImage", "setAvatarImage:");
    declareObjectProperty<UserAccountCell, &UserAccountCell::usernameLabel>(builder, "usernameLabel", "setUsernameLabel:");
    builder.method("initWithFrame:", [](id self, SEL, CGRect frame) -> id {
        self = sendSuper<id>(objc_getClass("UserAccountCell"), self, "initWithFrame:", frame);
        if (self)
            buildCell(self);
        return self;
    });
}
