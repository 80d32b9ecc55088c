#pragma once
// UIVisualEffectView and its effects: UIVisualEffect, and UIBlurEffect made with
// effectWithStyle: (UIBlurEffectStyle: 0 extra light, 1 light, 2 dark, 3 extra dark,
// 4 regular, 5 prominent, and the system materials from 6 on). No pixels are blurred;
// a blur effect is its style, which `style` answers so that the simulator can show it.
//
// The effect view has a contentView (made by initWithFrame:, filling it and following
// its size) and an effect (initWithEffect:, effect, setEffect:).

#include "UIView.h"

enum UIBlurEffectStyle : long long {
    UIBlurEffectStyleExtraLight = 0,
    UIBlurEffectStyleLight = 1,
    UIBlurEffectStyleDark = 2,
};

class UIBlurEffect : public objc_object {
public:
    static void declare();
    UIBlurEffectStyle style() const { return m_style; }

private:
    UIBlurEffectStyle m_style { UIBlurEffectStyleLight };
};

class UIVisualEffectView : public UIView {
public:
    static void declare();
    const id& effect() const { return m_effect; }
    const id& contentView() const { return m_contentView; }

private:
    id m_effect;
    id m_contentView;
};

// "light", "dark", … for a style the stand-in names; the number otherwise.
std::string blurEffectStyleName(long long style);
