#include "ServiceLog.h"

#include "DeviceRoot.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace ServiceLog {

bool append(std::string_view logDevicePath, const nlohmann::json& record)
{
    std::string hostPath = devicePath(logDevicePath);
    std::error_code ignored;
    std::filesystem::create_directories(std::filesystem::path(hostPath).parent_path(), ignored);

    int fd = ::open(hostPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) {
        std::fprintf(stderr, "wallpaper services: cannot open the log %s: %s\n", hostPath.c_str(), std::strerror(errno));
        return false;
    }
    std::string line = record.dump() + "\n";
    ssize_t wrote = ::write(fd, line.data(), line.size());
    int writeError = errno;
    ::close(fd);
    if (wrote != static_cast<ssize_t>(line.size())) {
        std::fprintf(stderr, "wallpaper services: cannot append to the log %s: %s\n", hostPath.c_str(),
            wrote < 0 ? std::strerror(writeError) : "short write");
        return false;
    }
    return true;
}

} // namespace ServiceLog
