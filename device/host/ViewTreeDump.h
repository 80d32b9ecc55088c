#pragma once
// A view tree as a person checks a layout: every view below a root, superviews first,
// with its class, a name when the caller knows one, its frame in the root's coordinates
// (the root's own origin counts, so a root on the screen gives screen points), alpha,
// hidden, and what it shows: background, tint, text and its colour and font, image,
// layer corner radius and border, blur style.
//
// Each entry is a JSON object: {"depth", "class", "name"?, "frame": [x, y, w, h],
// "alpha", "hidden", ...}; formatLine() renders one as a line of text.

#include "ControlServer.h"
#include "Object.h"

#include <functional>
#include <string>

namespace ViewTreeDump {

using Json = ControlServer::Json;
// Answers a name for a view ("" for none).
using Namer = std::function<std::string(const id& view)>;

Json dump(const id& root, const Namer& namer);
// A colour as a person reads it: its system name, or "rgba(r, g, b, a)".
std::string colourText(const id& colour);

} // namespace ViewTreeDump
