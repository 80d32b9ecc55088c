#include "DeviceRoot.h"

#include <cstdlib>

std::string deviceRoot()
{
    const char* root = std::getenv("KAVLOR_DEVICE_ROOT");
    if (!root || !*root)
        return "/";
    std::string result(root);
    while (result.size() > 1 && result.back() == '/')
        result.pop_back();
    return result;
}

std::string devicePath(std::string_view path)
{
    std::string root = deviceRoot();
    if (root == "/" || path.empty() || path.front() != '/')
        return std::string(path);
    if (path.substr(0, root.size()) == root && (path.size() == root.size() || path[root.size()] == '/'))
        return std::string(path);
    return root + std::string(path);
}
