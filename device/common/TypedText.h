#pragma once
// Checks on text a person types into the device's tools (account names, passcodes,
// setting keys and values) before any of it is stored. Every file the text lands in
// (property lists, the trace, SpringBoard's channel) holds UTF-8 only, and a name is shown
// on the lock screen and in tables, where a blank name, a name as long as a page or one
// that reverses the text around it (U+202E) would mislead the person reading it.
//
// Each check answers what is wrong (empty when nothing is), phrased to follow the name of
// the argument: "the user name " + problem. The text itself is never quoted in the
// answer, since it may be what cannot be printed.

#include <cstddef>
#include <string>
#include <string_view>

namespace TypedText {

// The longest account name, in characters (code points).
inline constexpr std::size_t kMaxNameLength = 64;

// Valid UTF-8 (shortest forms, no surrogates, nothing past U+10FFFF)?
bool isUTF8(std::string_view text);

// Any text that is stored: UTF-8, without control characters (C0, DEL, C1).
std::string problem(std::string_view text);

// A name a person reads: as problem(), and not empty, not only blanks, at most
// kMaxNameLength characters, without bidirectional controls.
std::string nameProblem(std::string_view text);

} // namespace TypedText
