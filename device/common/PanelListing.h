#pragma once
// The panel as SpringBoard's "panel" control command describes it (one JSON entry per
// view, PanelInspector.h), read by the scenario runner: one line of text per view, and
// the fields a script checks.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace PanelListing {

using Json = nlohmann::ordered_json;

// "  UIButton respringButton  frame=(162.5, 17.5, 50, 50) alpha=1 background=… tint=…"
std::string formatLine(const Json& entry);
// The line that says which panel it is: the lock screen's, or one built on the side.
std::string heading(const Json& reply);
// The entry whose name is `name`, or nullptr.
const Json* findNamed(const Json& views, const std::string& name);
// A field as a script writes it: class, name, x, y, width, height, centerX, centerY
// (screen points), alpha, hidden (YES/NO), scale (the transform's, "1" when none), background, tint, image, imageInsets, effect,
// border, cornerRadius, text, textColor, font. Nothing for a field the view has not.
std::optional<std::string> field(const Json& entry, const std::string& key);
// The names a script may use, for a message.
std::string fieldNames();

} // namespace PanelListing
