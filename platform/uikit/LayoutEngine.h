#pragma once
// The layout pass of constraints: every active constraint among the views of one
// hierarchy becomes an equation over the views' frames, and the system is solved exactly
// (LayoutSolver). Each view in the system has four unknowns, x, y, width and height, in
// the coordinates of the hierarchy's topmost view, whose own frame is kept.
//
// - A view with translatesAutoresizingMaskIntoConstraints YES keeps its frame relative to
//   its superview, adjusted by its autoresizing mask when the superview's size changes,
//   written as equations too (the adjustment is linear in the superview's size).
// - A view that a UIStackView arranges has its position and its breadth across the
//   stack's axis from the stack view; its length along the axis is its own.
// - A view with an intrinsic content size (labels, buttons, image views) takes it for a
//   width or height that the constraints leave open, as hugging does on the device.
// - A conflict is logged (system log, line starting "[LayoutConstraints] Unable to
//   simultaneously satisfy constraints") naming every constraint of the conflict; the
//   constraint activated last among them is broken for the pass and the rest solved.
// - A frame that the constraints leave open is logged ("[LayoutConstraints] Ambiguous
//   layout") naming the views and what is open; those views keep their frames.
// Both also emit the Trace event "layout-error" {kind "conflict" or "ambiguous", detail}.
// Neither ever ends the process.
//
// Solved frames are set (setFrame:) on every view of the system, superviews first.

#include "CoreGraphics.h"

#include <set>
#include <string>
#include <vector>

class UIView;

// UIViewAutoresizing, with UIKit's values.
enum UIViewAutoresizing : unsigned long long {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1,
    UIViewAutoresizingFlexibleWidth = 2,
    UIViewAutoresizingFlexibleRightMargin = 4,
    UIViewAutoresizingFlexibleTopMargin = 8,
    UIViewAutoresizingFlexibleHeight = 16,
    UIViewAutoresizingFlexibleBottomMargin = 32,
};

// UIViewNoIntrinsicMetric: a dimension a view has no size of its own for.
inline constexpr double UIViewNoIntrinsicMetric = -1;

namespace LayoutEngine {

// How one axis of a view follows its superview's length: the share of a change in that
// length that goes to the view's start (origin) and to its length. The flexible parts of
// the mask (margin before, length, margin after) take the change in proportion to their
// present sizes, or equally when those are all zero; nothing flexible, nothing moves.
struct AxisShares {
    double origin { 0 };
    double length { 0 };
};
AxisShares autoresizingShares(double origin, double length, double superviewLength, bool flexibleBefore, bool flexibleLength,
    bool flexibleAfter);
// The frame a translating view takes when its superview goes from `oldSize` to `newSize`.
CGRect autoresizedFrame(CGRect frame, unsigned long long mask, CGSize oldSize, CGSize newSize);

// Solves the active constraints of the hierarchy whose topmost view is `root` and sets
// the frames. Answers the problems found (empty when the layout was exact); each is also
// logged, unless it is in `alreadyReported` (one layout pass solves several times and
// tells each problem once), to which it is added.
std::vector<std::string> layoutHierarchy(UIView* root, std::set<std::string>* alreadyReported = nullptr);

} // namespace LayoutEngine
