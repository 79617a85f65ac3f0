#pragma once

#include <QString>

namespace testing_support {

// The folder of trusted keys that the view model reads in a test program;
// empty (the default): none, as on a device without keys.
void setTrustFolder(const QString& folder);

} // namespace testing_support
