#pragma once
// What `SpringBoard --list-hooks` and the control channel's "hooks" request show: every
// method replaced or added in the runtime, in installation order.

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace HookListing {

struct Row {
    std::string className;
    std::string selector;
    std::string kind;     // "replaced" or "added"
    std::string library;  // file name of the image the implementation comes from
};

std::vector<Row> installedRows();
// "CLASS\tSELECTOR\tKIND\tLIBRARY"
std::string format(const Row& row);
nlohmann::ordered_json toJson(const std::vector<Row>& rows);
std::vector<Row> fromJson(const nlohmann::ordered_json& rows);

} // namespace HookListing
