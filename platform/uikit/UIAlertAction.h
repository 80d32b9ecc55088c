#pragma once
// UIAlertAction: a button of an alert, made with actionWithTitle:style:handler:
// (style 0 default, 1 cancel, 2 destructive). The handler is a block taking the action
// (makeBlock<void(id)>); a block taking nothing is accepted too.

#include "ClassBuilder.h"

#include <string>

enum UIAlertActionStyle : long long {
    UIAlertActionStyleDefault = 0,
    UIAlertActionStyleCancel = 1,
    UIAlertActionStyleDestructive = 2,
};

class UIAlertAction : public objc_object {
public:
    static void declare();

    const id& title() const { return m_title; }
    std::string titleString() const;
    UIAlertActionStyle style() const { return m_style; }
    const id& handler() const { return m_handler; }
    bool isEnabled() const { return m_enabled; }

private:
    id m_title;
    UIAlertActionStyle m_style { UIAlertActionStyleDefault };
    id m_handler;
    bool m_enabled { true };
};
