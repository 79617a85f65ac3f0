#pragma once

#include <QDebug>

#include <optional>
#include <utility>

namespace Upgrade {
namespace Package {

// Log sink of one verification walk: lines carry the context its caller
// gives, or are dropped, unformatted, when the walk is silent (no function).
class WalkLog
{
public:
    // One line: the default category's QDebug of the context, or nothing.
    class Line
    {
    public:
        explicit Line(std::optional<QDebug> debug = std::nullopt)
            : debug(std::move(debug))
        {
        }

        template <typename T> Line& operator<<(const T& value)
        {
            if (debug)
                *debug << value;
            return *this;
        }

    private:
        std::optional<QDebug> debug;
    };

    WalkLog(const char* file, int line, const char* function);

    Line debug() const { return enabled ? Line(logger.debug()) : Line(); }
    Line warning() const { return enabled ? Line(logger.warning()) : Line(); }

private:
    QMessageLogger logger;
    bool enabled;
};

} // namespace Package
} // namespace Upgrade
