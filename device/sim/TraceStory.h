#pragma once
// The trace told as a story, for the demo: one sentence per event that matters to a
// person watching (what the owner's tools did, what SpringBoard and the supervisor did,
// what the tweak changed), nothing for the start-up's inner steps and settings reloads.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

std::optional<std::string> storyLine(const nlohmann::ordered_json& event);
