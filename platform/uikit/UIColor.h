#pragma once
// UIColor: red, green, blue and alpha components from 0 to 1, made with
// colorWithRed:green:blue:alpha: or colorWithWhite:alpha:, or one of the named colours
// (class methods: clearColor, blackColor, whiteColor, grayColor, redColor, greenColor,
// blueColor, labelColor, secondaryLabelColor, systemBackgroundColor, systemGreenColor,
// systemRedColor, systemBlueColor, systemGrayColor). A named colour remembers its name
// (the class method's selector), which its description shows.
//
// The system colours have their light-appearance values; the appearance-dependent
// resolution belongs to the trait collection, not to the colour.
//
// CGColor answers the colour as a layer takes it: an object of class "CGColor" with the
// same components and name (CGColorRef's stand-in), which describes itself the same way.

#include "ClassBuilder.h"

#include <string>

class UIColor : public objc_object {
public:
    // The CGColor stand-in: a colour that a layer holds.
    class CGColorValue;
    static void declare();
    static id colorWithRGBA(double red, double green, double blue, double alpha, std::string name = {});

    double red() const { return m_red; }
    double green() const { return m_green; }
    double blue() const { return m_blue; }
    double alpha() const { return m_alpha; }
    const std::string& name() const { return m_name; }
    bool isEqualToColor(const UIColor& other) const;
    std::string description() const;

private:
    double m_red { 0 };
    double m_green { 0 };
    double m_blue { 0 };
    double m_alpha { 1 };
    std::string m_name;
};
