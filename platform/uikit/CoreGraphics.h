#pragma once
// CoreGraphics' geometry: CGFloat (a double, as on every 64-bit device), CGPoint, CGSize
// and CGRect, with their runtime type encodings so that methods such as initWithFrame:
// ("@@:{CGRect={CGPoint=dd}{CGSize=dd}}") take and answer them by value; and the affine
// transform a view carries (CGAffineTransformMakeScale).

#include "TypeEncoding.h"

using CGFloat = double;

struct CGPoint {
    CGFloat x { 0 };
    CGFloat y { 0 };
    bool operator==(const CGPoint&) const = default;
};

struct CGSize {
    CGFloat width { 0 };
    CGFloat height { 0 };
    bool operator==(const CGSize&) const = default;
};

struct CGRect {
    CGPoint origin;
    CGSize size;
    bool operator==(const CGRect&) const = default;
};

// x' = a*x + c*y + tx, y' = b*x + d*y + ty
struct CGAffineTransform {
    CGFloat a { 1 };
    CGFloat b { 0 };
    CGFloat c { 0 };
    CGFloat d { 1 };
    CGFloat tx { 0 };
    CGFloat ty { 0 };
    bool operator==(const CGAffineTransform&) const = default;
};

template<> struct ObjCType<CGPoint> { static constexpr const char* encoding = "{CGPoint=dd}"; };
template<> struct ObjCType<CGSize> { static constexpr const char* encoding = "{CGSize=dd}"; };
template<> struct ObjCType<CGRect> { static constexpr const char* encoding = "{CGRect={CGPoint=dd}{CGSize=dd}}"; };
template<> struct ObjCType<CGAffineTransform> { static constexpr const char* encoding = "{CGAffineTransform=dddddd}"; };

inline constexpr CGPoint CGPointZero {};
inline constexpr CGSize CGSizeZero {};
inline constexpr CGRect CGRectZero {};

inline constexpr CGPoint CGPointMake(CGFloat x, CGFloat y) { return { x, y }; }
inline constexpr CGSize CGSizeMake(CGFloat width, CGFloat height) { return { width, height }; }
inline constexpr CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) { return { { x, y }, { width, height } }; }

inline constexpr CGFloat CGRectGetMinX(const CGRect& r) { return r.origin.x; }
inline constexpr CGFloat CGRectGetMinY(const CGRect& r) { return r.origin.y; }
inline constexpr CGFloat CGRectGetMaxX(const CGRect& r) { return r.origin.x + r.size.width; }
inline constexpr CGFloat CGRectGetMaxY(const CGRect& r) { return r.origin.y + r.size.height; }
inline constexpr CGFloat CGRectGetMidX(const CGRect& r) { return r.origin.x + r.size.width / 2; }
inline constexpr CGFloat CGRectGetMidY(const CGRect& r) { return r.origin.y + r.size.height / 2; }
inline constexpr CGFloat CGRectGetWidth(const CGRect& r) { return r.size.width; }
inline constexpr CGFloat CGRectGetHeight(const CGRect& r) { return r.size.height; }
inline constexpr bool CGRectEqualToRect(const CGRect& a, const CGRect& b) { return a == b; }

inline constexpr CGAffineTransform CGAffineTransformIdentity {};
inline constexpr CGAffineTransform CGAffineTransformMakeScale(CGFloat sx, CGFloat sy) { return { sx, 0, 0, sy, 0, 0 }; }
inline constexpr bool CGAffineTransformIsIdentity(const CGAffineTransform& t) { return t == CGAffineTransformIdentity; }
