#pragma once
// What `SpringBoard --list-hooks` and the control channel's "hooks" request show: every
// method replaced or added in the runtime, in installation order.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

struct HookRow {
    std::string className;
    std::string selector;
    std::string kind;     // "replaced" or "added"
    std::string library;  // file name of the image the implementation comes from
};

std::vector<HookRow> installedHookRows();
// "CLASS\tSELECTOR\tKIND\tLIBRARY"
std::string formatHookRow(const HookRow& row);
nlohmann::ordered_json hookRowsToJson(const std::vector<HookRow>& rows);
std::vector<HookRow> hookRowsFromJson(const nlohmann::ordered_json& rows);
