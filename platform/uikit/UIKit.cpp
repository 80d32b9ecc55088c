#include "UIKit.h"

#include "UIKitState.h"
#include "UIViewAnimation.h"

void registerUIKitClasses()
{
    if (objc_getClass("UIView"))
        return;
    UIKitState::reset();
    // Superclasses first.
    UIResponder::declare();
    CALayer::declare();
    UIView::declare();
    UIViewAnimation::declare();
    UIWindow::declare();
    UIStatusBarWindow::declare();
    UIScrollView::declare();
    UIControl::declare();
    UIButton::declare();
    UIVisualEffectView::declare();
    UIBlurEffect::declare();
    UICollectionViewCell::declare();
    UICollectionViewFlowLayout::declare();
    UICollectionView::declare();
    NSIndexPath::declare();
    NSLayoutAnchor::declare();
    NSLayoutConstraint::declare();
    UITraitCollection::declare();
    UIStackView::declare();
    UILabel::declare();
    UIImageView::declare();
    UIViewController::declare();
    UIAlertController::declare();
    UIAlertAction::declare();
    UIApplication::declare();
    UIGestureRecognizer::declare();
    UITapGestureRecognizer::declare();
    UIColor::declare();
    UIFont::declare();
    UIDevice::declare();
    UIScreen::declare();
}

// The classes exist from the moment the library is loaded, as UIKit's do on the device.
static const bool uikitClassesRegistered = (registerUIKitClasses(), true);
