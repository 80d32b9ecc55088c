#include "TypedText.h"

#include <fmt/format.h>

#include <optional>
#include <vector>

namespace TypedText {

namespace {

// The code points of the text, or nothing when it is not valid UTF-8.
std::optional<std::vector<char32_t>> decode(std::string_view text)
{
    std::vector<char32_t> points;
    points.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        auto lead = static_cast<unsigned char>(text[i]);
        std::size_t width = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
        if (width == 0 || i + width > text.size())
            return std::nullopt;
        char32_t point = width == 1 ? lead : width == 2 ? (lead & 0x1F) : width == 3 ? (lead & 0x0F) : (lead & 0x07);
        for (std::size_t k = 1; k < width; ++k) {
            auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            point = (point << 6) | (next & 0x3F);
        }
        static constexpr char32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
        bool overlong = point < kSmallest[width];
        bool surrogate = point >= 0xD800 && point <= 0xDFFF;
        if (overlong || surrogate || point > 0x10FFFF)
            return std::nullopt;
        points.push_back(point);
        i += width;
    }
    return points;
}

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
    return decode(text).has_value();
}

std::string problem(std::string_view text)
{
    auto points = decode(text);
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
    auto points = *decode(text);
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
