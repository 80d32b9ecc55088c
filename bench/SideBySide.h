#pragma once
// Times several ways of doing the same thing in one benchmark run, interleaved in rounds
// so that whatever else the machine is doing weighs on each alike, and reports each way's
// time as a counter beside the others. Figures whose goal is a ratio are taken this way.

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

class SideBySide {
public:
    // `run` does `operations` operations of one kind.
    void add(std::string name, std::function<void()> run, double operations = 1)
    {
        m_ways.push_back({ std::move(name), std::move(run), operations, 0 });
    }

    // Runs each way once per benchmark iteration and reports, per way, the mean time of one
    // operation in the unit given (`scale` from seconds: 1e3 for ms, 1e9 for ns) as counter
    // "<name><suffix>".
    void measure(benchmark::State& state, double scale, const std::string& suffix)
    {
        long rounds = 0;
        for (auto _ : state) {
            for (auto& way : m_ways) {
                auto start = std::chrono::steady_clock::now();
                way.run();
                way.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            }
            ++rounds;
        }
        for (auto& way : m_ways)
            state.counters[way.name + suffix] = way.seconds / double(rounds) / way.operations * scale;
        m_rounds = rounds;
    }

    // The mean seconds of one operation of the way named.
    double seconds(const std::string& name) const
    {
        for (const auto& way : m_ways) {
            if (way.name == name)
                return way.seconds / double(m_rounds ? m_rounds : 1) / way.operations;
        }
        return 0;
    }

private:
    struct Way {
        std::string name;
        std::function<void()> run;
        double operations;
        double seconds;
    };
    std::vector<Way> m_ways;
    long m_rounds { 0 };
};
