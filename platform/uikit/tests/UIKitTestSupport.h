#pragma once
// What the UIKit and SpringBoard tests share: a device root of their own (a temporary
// folder set as KAVLOR_DEVICE_ROOT for the test's life) and a recorder of Trace events.

#include "PropertyList.h"
#include "Trace.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

class TemporaryDeviceRoot {
public:
    TemporaryDeviceRoot()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "kavlor-uikit-XXXXXX").string();
        m_path = mkdtemp(pattern.data());
        setenv("KAVLOR_DEVICE_ROOT", m_path.c_str(), 1);
    }
    ~TemporaryDeviceRoot()
    {
        unsetenv("KAVLOR_DEVICE_ROOT");
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    TemporaryDeviceRoot(const TemporaryDeviceRoot&) = delete;
    TemporaryDeviceRoot& operator=(const TemporaryDeviceRoot&) = delete;

    const std::string& path() const { return m_path; }
    // Writes the device configuration file with these entries.
    void writeDeviceConfiguration(std::vector<std::pair<std::string, id>> entries) const
    {
        std::filesystem::create_directories(m_path + "/var/mobile/Library");
        PropertyList::writeFile("/var/mobile/Library/kavlor-device.plist", NSDictionary::dictionary(std::move(entries)));
    }

private:
    std::string m_path;
};

class TraceRecorder {
public:
    struct Event {
        std::string name;
        Trace::Fields fields;
        std::string field(const std::string& key) const
        {
            for (const auto& [k, v] : fields) {
                if (k == key)
                    return v;
            }
            return {};
        }
    };

    TraceRecorder()
    {
        Trace::setSink([this](const std::string& event, const Trace::Fields& fields) { m_events.push_back({ event, fields }); });
    }
    ~TraceRecorder() { Trace::setSink(nullptr); }

    const std::vector<Event>& events() const { return m_events; }
    std::vector<Event> named(const std::string& name) const
    {
        std::vector<Event> result;
        for (const auto& event : m_events) {
            if (event.name == name)
                result.push_back(event);
        }
        return result;
    }
    void clear() { m_events.clear(); }

private:
    std::vector<Event> m_events;
};
