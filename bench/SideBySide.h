#pragma once
// Times several ways of doing the same thing in one benchmark run, interleaved in rounds
// so that whatever else the machine is doing weighs on each alike, and reports each way's
// time as a counter beside the others. Figures whose goal is a ratio are taken this way.

#include <benchmark/benchmark.h>

#include <algorithm>
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
                double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                way.seconds += seconds;
                way.roundSeconds.push_back(seconds);
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

    // The median over the rounds of the seconds of one operation of the way named: for a
    // way whose rounds are short beside what else the machine runs, one round that another
    // process held up weighs on the mean but not on the median.
    double medianSeconds(const std::string& name) const
    {
        for (const auto& way : m_ways) {
            if (way.name != name || way.roundSeconds.empty())
                continue;
            std::vector<double> sorted = way.roundSeconds;
            std::sort(sorted.begin(), sorted.end());
            size_t middle = sorted.size() / 2;
            double median = sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
            return median / way.operations;
        }
        return 0;
    }

private:
    struct Way {
        std::string name;
        std::function<void()> run;
        double operations;
        double seconds;
        std::vector<double> roundSeconds {};
    };
    std::vector<Way> m_ways;
    long m_rounds { 0 };
};
