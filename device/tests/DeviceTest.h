#pragma once
// A device of a test's own, played as a script is: installed in a temporary root, driven
// line by line through the scenario runner (the device stays up between lines), with the
// trace's events and SpringBoard's answers at hand. Base is the GoogleTest fixture kind
// (::testing::Test, or a TestWithParam for tests that run on several devices).

#include "DeviceInstaller.h"
#include "ScenarioRunner.h"
#include "TempDeviceRoot.h"
#include "Trace.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

template<class Base = ::testing::Test>
class DeviceTest : public Base {
protected:
    using Json = ScenarioRunner::Json;

    // Installs the device (the next runner() call starts a runner for it).
    void install(const DeviceSpec& spec = {})
    {
        m_runner.reset();
        DeviceInstaller::install(m_root.path(), spec, false);
    }
    void install(const std::string& iosVersion)
    {
        DeviceSpec spec;
        spec.iosVersion = iosVersion;
        install(spec);
    }

    void TearDown() override
    {
        m_runner.reset();
        Trace::setSink(nullptr);
    }

    ScenarioRunner& runner()
    {
        if (!m_runner) {
            ScenarioRunner::Options options;
            options.kavlorctlPath = KAVLORCTL_PATH;
            m_runner = std::make_unique<ScenarioRunner>(m_root.path(), options, m_out, m_err);
        }
        return *m_runner;
    }

    // Runs the lines one by one; fails the test with the runner's message at the first
    // line that fails.
    void play(const std::string& script)
    {
        for (const auto& line : parseScenario(script)) {
            try {
                runner().runLine(line);
            } catch (const ScenarioFailure& failure) {
                FAIL() << "line " << line.number << ": " << line.text << "\n" << failure.what() << "\n--- output:\n" << m_out.str();
            }
        }
    }

    // Plays one line that must be refused; answers the runner's message.
    std::string refused(const std::string& text)
    {
        auto lines = parseScenario(text);
        try {
            runner().runLine(lines.at(0));
        } catch (const ScenarioFailure& failure) {
            return failure.what();
        }
        ADD_FAILURE() << text << " was not refused";
        return {};
    }

    // A request on SpringBoard's control channel, answered (null when SpringBoard restarted).
    Json ask(const Json& request) { return runner().askSpringBoard(request).value_or(Json()); }

    std::vector<Json> eventsNamed(const std::string& name)
    {
        std::vector<Json> found;
        for (const auto& event : runner().events()) {
            if (event.value("event", std::string()) == name)
                found.push_back(event);
        }
        return found;
    }

    TempDeviceRoot m_root;
    std::ostringstream m_out;
    std::ostringstream m_err;
    std::unique_ptr<ScenarioRunner> m_runner;
};
