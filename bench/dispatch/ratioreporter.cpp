#include "ratioreporter.h"

namespace bench {

namespace {

double toNanoseconds(double value, benchmark::TimeUnit unit)
{
    switch (unit) {
    case benchmark::kSecond:
        return value * 1e9;
    case benchmark::kMillisecond:
        return value * 1e6;
    case benchmark::kMicrosecond:
        return value * 1e3;
    case benchmark::kNanosecond:
        break;
    }
    return value;
}

} // namespace

void RatioReporter::ReportRuns(const std::vector<Run>& reports)
{
    ConsoleReporter::ReportRuns(reports);
    for (const Run& run : reports) {
        const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
        if (run.run_type == Run::RT_Aggregate && !median)
            continue;
        Result& result = results[run.run_name.function_name];
        if (result.median && !median)
            continue;
        result.nanoseconds = toNanoseconds(run.GetAdjustedCPUTime(), run.time_unit);
        result.median = median;
        for (const auto& entry : run.counters)
            result.counters[entry.first] = entry.second.value;
    }
}

double RatioReporter::nanoseconds(const std::string& name) const
{
    const auto it = results.find(name);
    return it == results.end() ? 0 : it->second.nanoseconds;
}

double RatioReporter::counter(const std::string& name, const std::string& counterName) const
{
    const auto it = results.find(name);
    if (it == results.end())
        return 0;
    const auto value = it->second.counters.find(counterName);
    return value == it->second.counters.end() ? 0 : value->second;
}

} // namespace bench
