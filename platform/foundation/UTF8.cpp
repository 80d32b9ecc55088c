#include "UTF8.h"

namespace UTF8 {

namespace {

// The code point of the sequence at `text[at]` and its length, or length 0 when the
// bytes there are not a valid sequence.
std::pair<char32_t, std::size_t> sequenceAt(std::string_view text, std::size_t at)
{
    auto lead = static_cast<unsigned char>(text[at]);
    std::size_t width = lead < 0x80 ? 1 : (lead & 0xE0) == 0xC0 ? 2 : (lead & 0xF0) == 0xE0 ? 3 : (lead & 0xF8) == 0xF0 ? 4 : 0;
    if (width == 0 || at + width > text.size())
        return { 0, 0 };
    char32_t point = width == 1 ? lead : width == 2 ? (lead & 0x1F) : width == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t k = 1; k < width; ++k) {
        auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80)
            return { 0, 0 };
        point = (point << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = { 0, 0, 0x80, 0x800, 0x10000 };
    bool overlong = point < kSmallest[width];
    bool surrogate = point >= 0xD800 && point <= 0xDFFF;
    if (overlong || surrogate || point > 0x10FFFF)
        return { 0, 0 };
    return { point, width };
}

} // namespace

std::optional<std::u32string> decode(std::string_view text)
{
    std::u32string points;
    points.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        auto [point, width] = sequenceAt(text, at);
        if (width == 0)
            return std::nullopt;
        points.push_back(point);
        at += width;
    }
    return points;
}

bool isValid(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        auto width = sequenceAt(text, at).second;
        if (width == 0)
            return false;
        at += width;
    }
    return true;
}

std::string mended(std::string_view text)
{
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        auto width = sequenceAt(text, at).second;
        if (width == 0) {
            result += "\xEF\xBF\xBD";
            ++at;
        } else {
            result.append(text, at, width);
            at += width;
        }
    }
    return result;
}

} // namespace UTF8
