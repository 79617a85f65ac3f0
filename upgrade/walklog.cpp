#include "upgrade/walklog.h"

namespace Upgrade {
namespace Package {

WalkLog::WalkLog(const char* file, int line, const char* function)
    : logger(file, line, function)
    , enabled(function != nullptr)
{
}

} // namespace Package
} // namespace Upgrade
