#pragma once

#include "standin/host/standinhost.h"

#include <cstdio>
#include <string>
#include <vector>

namespace testing_support {

// One line per message, so a whole exchange compares as a list of texts and
// a mismatch prints both sides: "send 0xfc02001e upgradeviewmodel>uistandin 812".
// A command's flags and a sent event's mode follow as "/N" when not 0.
inline std::string idText(int id)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(id));
    return text;
}

inline std::string trafficLine(const Standin::TrafficRecord& record)
{
    std::string line
        = std::string(Standin::routeName(record.route)) + " " + idText(record.id) + " " + record.sender + ">";
    for (size_t i = 0; i < record.receivers.size(); ++i)
        line += (i ? "," : "") + record.receivers[i];
    line += " " + std::to_string(record.size());
    if (record.flags != 0)
        line += "/" + std::to_string(record.flags);
    return line;
}

inline std::vector<std::string> trafficLines(const std::vector<Standin::TrafficRecord>& records)
{
    std::vector<std::string> lines;
    for (const Standin::TrafficRecord& record : records)
        lines.push_back(trafficLine(record));
    return lines;
}

} // namespace testing_support
