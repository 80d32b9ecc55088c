#pragma once
// UIKit's geometry beside CoreGraphics': UIEdgeInsets (top, left, bottom, right), taken
// and answered by value ("{UIEdgeInsets=dddd}").

#include "CoreGraphics.h"

struct UIEdgeInsets {
    CGFloat top { 0 };
    CGFloat left { 0 };
    CGFloat bottom { 0 };
    CGFloat right { 0 };
    bool operator==(const UIEdgeInsets&) const = default;
};

template<> struct ObjCType<UIEdgeInsets> { static constexpr const char* encoding = "{UIEdgeInsets=dddd}"; };

inline constexpr UIEdgeInsets UIEdgeInsetsZero {};
inline constexpr UIEdgeInsets UIEdgeInsetsMake(CGFloat top, CGFloat left, CGFloat bottom, CGFloat right) { return { top, left, bottom, right }; }
