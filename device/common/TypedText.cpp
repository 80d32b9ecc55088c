#include "TypedText.h"

#include "UTF8.h"

#include <fmt/format.h>

namespace TypedText {

namespace {

bool isControl(char32_t point)
{
    return point < 0x20 || (point >= 0x7F && point <= 0x9F);
}

// The marks and embeddings that change the direction of the text around them.
bool isBidiControl(char32_t point)
{
    return point == 0x061C || point == 0x200E || point == 0x200F || (point >= 0x202A && point <= 0x202E)
        || (point >= 0x2066 && point <= 0x2069);
}

bool isBlank(char32_t point)
{
    return point == ' ' || point == 0xA0 || point == 0x1680 || (point >= 0x2000 && point <= 0x200B) || point == 0x202F
        || point == 0x205F || point == 0x3000 || point == 0xFEFF;
}

} // namespace

bool isUTF8(std::string_view text)
{
    return UTF8::isValid(text);
}

std::string problem(std::string_view text)
{
    auto points = UTF8::decode(text);
    if (!points)
        return "is not UTF-8 text";
    for (char32_t point : *points) {
        if (isControl(point))
            return "holds a control character";
    }
    return {};
}

std::string nameProblem(std::string_view text)
{
    if (text.empty())
        return "must not be empty";
    if (auto plain = problem(text); !plain.empty())
        return plain;
    auto points = *UTF8::decode(text);
    if (points.size() > kMaxNameLength)
        return fmt::format("is {} characters long, longer than the {} a name may have", points.size(), kMaxNameLength);
    bool allBlank = true;
    for (char32_t point : points) {
        if (isBidiControl(point))
            return fmt::format("holds a character that reverses the direction of the text (U+{:04X})", static_cast<unsigned>(point));
        allBlank = allBlank && isBlank(point);
    }
    if (allBlank)
        return "holds only blanks";
    return {};
}

} // namespace TypedText
