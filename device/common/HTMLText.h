#pragma once
// Text placed in an HTML page the device writes (the demo's story, the browser page): the
// characters that would open markup or close an attribute, escaped.

#include <string>

inline std::string escapedForHTML(const std::string& text)
{
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}
