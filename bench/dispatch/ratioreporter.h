#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace bench {

// Console output as usual, and remembers each benchmark's time per
// iteration and its counters (the median when repetitions are asked for),
// so that main can set the variants side by side after the run.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& reports) override;

    // CPU time per iteration in nanoseconds; 0 when the benchmark did not
    // run. CPU time, not wall time: on a shared machine the wall clock also
    // counts the time other processes held the core.
    double nanoseconds(const std::string& name) const;
    double counter(const std::string& name, const std::string& counterName) const;

private:
    struct Result
    {
        double nanoseconds = 0;
        std::map<std::string, double> counters;
        bool median = false;
    };

    std::map<std::string, Result> results;
};

} // namespace bench
