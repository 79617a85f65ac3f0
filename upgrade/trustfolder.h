#pragma once

#include <QString>

namespace Upgrade {

// The folder of the public keys (*.pem) whose signatures the view model
// accepts. Declared here and defined once per build that links the view
// model: the shipped plug-in's definition returns the folder it was
// configured with (UPGRADE_TRUST_DIR) and reads nothing else, so only the
// files in that folder change what a device trusts. The simulator's
// rehearsal build, the tests and the fuzzer bring their own.
QString trustFolder();

} // namespace Upgrade
