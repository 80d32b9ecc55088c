#pragma once
// A fresh folder for one test, made the device root (KAVLOR_DEVICE_ROOT) while it lives.

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

class TempDeviceRoot {
public:
    TempDeviceRoot()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavlor-device-test-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder");
        m_path = pattern;
        const char* previous = std::getenv("KAVLOR_DEVICE_ROOT");
        m_previous = previous ? previous : "";
        m_hadPrevious = previous != nullptr;
        ::setenv("KAVLOR_DEVICE_ROOT", m_path.c_str(), 1);
    }
    ~TempDeviceRoot()
    {
        if (m_hadPrevious)
            ::setenv("KAVLOR_DEVICE_ROOT", m_previous.c_str(), 1);
        else
            ::unsetenv("KAVLOR_DEVICE_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TempDeviceRoot(const TempDeviceRoot&) = delete;
    TempDeviceRoot& operator=(const TempDeviceRoot&) = delete;

    const std::string& path() const { return m_path; }
    std::string host(const std::string& devicePath) const { return m_path + devicePath; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};
