#pragma once
// UTF-8 as every file and channel of the device holds it: shortest forms only, no
// surrogates, nothing past U+10FFFF. Text that comes from outside (a property list's
// string, a person's typing) is checked or mended here.

#include <optional>
#include <string>
#include <string_view>

namespace UTF8 {

// The code points of the text, or nothing when it is not valid UTF-8.
std::optional<std::u32string> decode(std::string_view text);
bool isValid(std::string_view text);
// The text with each byte that is not part of a valid sequence replaced by U+FFFD.
std::string mended(std::string_view text);

} // namespace UTF8
