#include "PanelListing.h"

#include <fmt/format.h>

namespace PanelListing {

namespace {

std::string number(double value)
{
    return fmt::format("{:g}", value);
}

double frameValue(const Json& entry, size_t index)
{
    return entry["frame"][index].get<double>();
}

} // namespace

std::string formatLine(const Json& entry)
{
    std::string line(static_cast<size_t>(entry.value("depth", 0)) * 2, ' ');
    line += entry.value("class", std::string("?"));
    if (entry.contains("name"))
        line += " " + entry["name"].get<std::string>();
    line += fmt::format("  frame=({}, {}, {}, {}) alpha={}{}", number(frameValue(entry, 0)), number(frameValue(entry, 1)),
        number(frameValue(entry, 2)), number(frameValue(entry, 3)), number(entry.value("alpha", 1.0)), entry.value("hidden", false) ? " hidden" : "");
    for (const char* key : { "scale", "background", "tint", "image", "imageInsets", "effect", "border" }) {
        if (entry.contains(key))
            line += fmt::format(" {}={}", key, entry[key].get<std::string>());
    }
    if (entry.contains("cornerRadius"))
        line += fmt::format(" cornerRadius={}", number(entry["cornerRadius"].get<double>()));
    if (entry.contains("text"))
        line += fmt::format(" text=\"{}\" textColor={} font=\"{}\"", entry["text"].get<std::string>(), entry.value("textColor", std::string()),
            entry.value("font", std::string()));
    return line;
}

std::string heading(const Json& reply)
{
    double width = reply.value("width", 0.0);
    if (reply.value("source", std::string()) == "lock-screen")
        return fmt::format("# the panel the lock screen holds ({} points wide), frames in screen points", number(width));
    return fmt::format("# the lock screen holds no panel: one built on the side, {} points wide (the lock screen's list), "
                       "pinned to the top of a container at (0, 0); frames in points",
        number(width));
}

const Json* findNamed(const Json& views, const std::string& name)
{
    for (const auto& entry : views) {
        if (entry.value("name", std::string()) == name)
            return &entry;
    }
    return nullptr;
}

std::optional<std::string> field(const Json& entry, const std::string& key)
{
    if (key == "x")
        return number(frameValue(entry, 0));
    if (key == "y")
        return number(frameValue(entry, 1));
    if (key == "width")
        return number(frameValue(entry, 2));
    if (key == "height")
        return number(frameValue(entry, 3));
    if (key == "centerX")
        return number(frameValue(entry, 0) + frameValue(entry, 2) / 2);
    if (key == "centerY")
        return number(frameValue(entry, 1) + frameValue(entry, 3) / 2);
    if (key == "hidden")
        return std::string(entry.value("hidden", false) ? "YES" : "NO");
    if (key == "scale")
        return entry.value("scale", std::string("1"));
    if (!entry.contains(key))
        return std::nullopt;
    const Json& value = entry[key];
    if (value.is_number())
        return number(value.get<double>());
    if (value.is_string())
        return value.get<std::string>();
    return value.dump();
}

std::string fieldNames()
{
    return "class, x, y, width, height, centerX, centerY, alpha, hidden, scale, background, tint, image, imageInsets, effect, border, cornerRadius, "
           "text, textColor, font";
}

} // namespace PanelListing
