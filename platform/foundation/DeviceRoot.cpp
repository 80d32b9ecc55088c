#include "DeviceRoot.h"

#include <cstdlib>
#include <vector>

namespace {

bool hasDotSegment(std::string_view path)
{
    for (std::size_t slash = path.find('/'); slash != std::string_view::npos; slash = path.find('/', slash + 1)) {
        std::string_view rest = path.substr(slash + 1);
        std::string_view segment = rest.substr(0, rest.find('/'));
        if (segment == "." || segment == "..")
            return true;
    }
    return false;
}

// The absolute path with "." and ".." resolved lexically; `climbed` tells whether a ".."
// would have gone above "/" (where it stays).
std::string resolveDots(std::string_view path, bool& climbed)
{
    std::vector<std::string_view> kept;
    climbed = false;
    std::size_t start = 1;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos)
            end = path.size();
        std::string_view segment = path.substr(start, end - start);
        if (segment == "..") {
            if (kept.empty())
                climbed = true;
            else
                kept.pop_back();
        } else if (!segment.empty() && segment != ".") {
            kept.push_back(segment);
        }
        start = end + 1;
    }
    std::string result;
    for (auto segment : kept) {
        result += '/';
        result += segment;
    }
    // A trailing slash names a folder; keep it.
    if (!path.empty() && path.back() == '/' && !kept.empty())
        result += '/';
    return result.empty() ? "/" : result;
}

} // namespace

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

bool climbsAboveDeviceRoot(std::string_view path)
{
    bool climbed = false;
    if (!path.empty() && path.front() == '/' && hasDotSegment(path))
        resolveDots(path, climbed);
    return climbed;
}

std::string devicePath(std::string_view path)
{
    std::string root = deviceRoot();
    if (root == "/" || path.empty() || path.front() != '/')
        return std::string(path);
    std::string resolved;
    if (hasDotSegment(path)) {
        bool climbed = false;
        resolved = resolveDots(path, climbed);
        path = resolved;
    }
    if (path.substr(0, root.size()) == root && (path.size() == root.size() || path[root.size()] == '/'))
        return std::string(path);
    return root + std::string(path);
}
