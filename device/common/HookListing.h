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
// The hook groups a SpringBoard got, in the order the library installs them ("panel",
// "base", "switching", "guest"), told by one method each group always brings.
std::vector<std::string> groups(const std::vector<Row>& rows);
std::string joinedGroups(const std::vector<Row>& rows); // "panel,base,switching"
// "CLASS\tSELECTOR\tKIND\tLIBRARY"
std::string format(const Row& row);
nlohmann::ordered_json toJson(const std::vector<Row>& rows);
std::vector<Row> fromJson(const nlohmann::ordered_json& rows);

} // namespace HookListing
