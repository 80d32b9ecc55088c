#pragma once
// The UIKit stand-in: every class the product and SpringBoard use, registered in the
// runtime under its UIKit name. Include this header for all of them (and for blocks,
// which alert handlers and completions are).
//
// registerUIKitClasses() registers the classes (they are also registered when the
// library loads). After objc_resetRuntimeForTesting() a test registers them again, and
// the shared objects (application, device, screen) start afresh. Calling it while the
// classes are registered does nothing.

#include "Block.h"
#include "CALayer.h"
#include "CoreGraphics.h"
#include "DeviceConfiguration.h"
#include "LayoutEngine.h"
#include "NSIndexPath.h"
#include "NSLayoutAnchor.h"
#include "NSLayoutConstraint.h"
#include "UIAlertAction.h"
#include "UIAlertController.h"
#include "UIApplication.h"
#include "UIButton.h"
#include "UICollectionView.h"
#include "UICollectionViewCell.h"
#include "UICollectionViewFlowLayout.h"
#include "UIColor.h"
#include "UIControl.h"
#include "UIDevice.h"
#include "UIFont.h"
#include "UIGestureRecognizer.h"
#include "UIGeometry.h"
#include "UIImage.h"
#include "UIImageView.h"
#include "UILabel.h"
#include "UIResponder.h"
#include "UIScreen.h"
#include "UIScrollView.h"
#include "UIStackView.h"
#include "UIStatusBarWindow.h"
#include "UITapGestureRecognizer.h"
#include "UITraitCollection.h"
#include "UIView.h"
#include "UIViewController.h"
#include "UIVisualEffectView.h"
#include "UIWindow.h"

void registerUIKitClasses();
