#include "StringFormat.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fmt/format.h>

namespace StringFormat {

namespace {

using Kind = Argument::Kind;

const char* kindName(Kind kind)
{
    switch (kind) {
    case Kind::Object: return "an object";
    case Kind::Signed: return "a signed integer";
    case Kind::Unsigned: return "an unsigned integer";
    case Kind::Real: return "a floating-point number";
    case Kind::Text: return "a C string";
    case Kind::Character: return "a character";
    }
    return "a value";
}

// One conversion: "%-08.3lld" is flags "-0", width "8", precision ".3",
// conversion 'd' (the length modifier is dropped: the argument's own type is known).
struct Conversion {
    std::string flags;
    std::string width;
    std::string precision;
    char conversion = 0;
};

bool isSupportedConversion(char c) { return c && std::string_view("@sdiuxXocfFeEgG").find(c) != std::string_view::npos; }

bool isLengthModifier(char c) { return c == 'h' || c == 'l' || c == 'q' || c == 'z' || c == 't' || c == 'j' || c == 'L'; }

// Parses the conversion after a '%'; `position` is left on the conversion character.
Conversion parseConversion(std::string_view format, size_t& position)
{
    Conversion spec;
    while (position < format.size() && std::string_view("-+ #0").find(format[position]) != std::string_view::npos)
        spec.flags += format[position++];
    while (position < format.size() && std::isdigit(static_cast<unsigned char>(format[position])))
        spec.width += format[position++];
    if (position < format.size() && format[position] == '.') {
        spec.precision += format[position++];
        while (position < format.size() && std::isdigit(static_cast<unsigned char>(format[position])))
            spec.precision += format[position++];
    }
    while (position < format.size() && isLengthModifier(format[position]))
        ++position;
    if (position < format.size())
        spec.conversion = format[position];
    return spec;
}

template<class Value>
std::string printWith(const Conversion& spec, const char* length, char conversion, Value value)
{
    std::string printfFormat = "%" + spec.flags + spec.width + spec.precision + length + conversion;
    int size = std::snprintf(nullptr, 0, printfFormat.c_str(), value);
    if (size < 0)
        throw RuntimeError(fmt::format("format: cannot render the conversion \"{}\"", printfFormat));
    std::string out(static_cast<size_t>(size) + 1, '\0');
    std::snprintf(out.data(), out.size(), printfFormat.c_str(), value);
    out.resize(static_cast<size_t>(size));
    return out;
}

[[noreturn]] void raiseMismatch(std::string_view format, size_t index, char conversion, Kind given)
{
    throw RuntimeError(fmt::format("format \"{}\": argument {} for %{} is {}", format, index + 1, conversion, kindName(given)));
}

// A text as "%s" gives it: up to its first NUL. Without flags, width or precision there is
// nothing else printf would do, and a logged record is long enough to be worth not copying.
std::string printPlainText(const Conversion& spec, std::string text)
{
    if (!spec.flags.empty() || !spec.width.empty() || !spec.precision.empty())
        return printWith(spec, "", 's', text.c_str());
    text.resize(std::strlen(text.c_str()));
    return text;
}

std::string render(std::string_view format, const Conversion& spec, size_t index, const Argument& argument)
{
    auto requireKind = [&](std::initializer_list<Kind> accepted) {
        for (Kind kind : accepted) {
            if (argument.kind == kind)
                return;
        }
        raiseMismatch(format, index, spec.conversion, argument.kind);
    };
    auto asSigned = [&] { return argument.kind == Kind::Unsigned ? static_cast<long long>(argument.unsignedValue) : argument.signedValue; };
    auto asUnsigned = [&] { return argument.kind == Kind::Unsigned ? argument.unsignedValue : static_cast<unsigned long long>(argument.signedValue); };

    switch (spec.conversion) {
    case '@':
        requireKind({ Kind::Object });
        return printPlainText(spec, describe(argument.object));
    case 's':
        requireKind({ Kind::Text });
        return printWith(spec, "", 's', argument.nullText ? "(null)" : argument.text.c_str());
    case 'd':
    case 'i':
        requireKind({ Kind::Signed, Kind::Unsigned, Kind::Character });
        return printWith(spec, "ll", 'd', asSigned());
    case 'u':
    case 'x':
    case 'X':
    case 'o':
        requireKind({ Kind::Signed, Kind::Unsigned, Kind::Character });
        return printWith(spec, "ll", spec.conversion, asUnsigned());
    case 'c':
        requireKind({ Kind::Character, Kind::Signed, Kind::Unsigned });
        return printWith(spec, "", 'c', static_cast<int>(asSigned()));
    case 'f':
    case 'F':
    case 'e':
    case 'E':
    case 'g':
    case 'G':
        requireKind({ Kind::Real });
        return printWith(spec, "", spec.conversion, argument.real);
    default:
        throw RuntimeError(fmt::format("format \"{}\": unsupported conversion %{}", format, spec.conversion));
    }
}

} // namespace

std::string formatArguments(std::string_view format, std::span<const Argument> arguments)
{
    std::string out;
    size_t next = 0;
    for (size_t position = 0; position < format.size(); ++position) {
        char c = format[position];
        if (c != '%') {
            out += c;
            continue;
        }
        ++position;
        if (position < format.size() && format[position] == '%') {
            out += '%';
            continue;
        }
        Conversion spec = parseConversion(format, position);
        if (!isSupportedConversion(spec.conversion))
            throw RuntimeError(fmt::format("format \"{}\": unsupported conversion %{}", format,
                spec.conversion ? std::string(1, spec.conversion) : std::string("(end of format)")));
        if (next >= arguments.size())
            throw RuntimeError(fmt::format("format \"{}\": too few arguments ({} given)", format, arguments.size()));
        out += render(format, spec, next, arguments[next]);
        ++next;
    }
    if (next != arguments.size())
        throw RuntimeError(fmt::format("format \"{}\": {} arguments given but {} used", format, arguments.size(), next));
    return out;
}

} // namespace StringFormat
