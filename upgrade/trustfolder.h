#pragma once

#include <QString>

namespace Upgrade {

// Where the view model finds the folder of the public keys (*.pem) whose
// signatures it requires; an empty folder requires none. Each build of the
// plug-in hands its source down when the library loads, before the host can
// create a component: the shipped plug-in's returns the folder it was
// configured with (UPGRADE_TRUST_DIR) and reads nothing else, so only the
// files in that folder change what a device trusts. Not exported: nothing
// outside the library can set it.
using TrustFolderSource = QString (*)();
void setTrustFolderSource(TrustFolderSource source);

// The folder for this request; empty without a source.
QString trustFolder();

} // namespace Upgrade
