#include "upgrade/trustfolder.h"

namespace {

// The rehearsal build of the plug-in, which upgrade-sim loads for --signed
// and --trust: the simulator names a folder of its own for each run. This
// build is never installed where a host looks for plug-ins.
QString rehearsalFolder()
{
    return qEnvironmentVariable("UPGRADE_REHEARSAL_TRUST_DIR");
}

// Handed down when the library loads, before the host can create a component.
[[maybe_unused]] const bool handedDown = (Upgrade::setTrustFolderSource(&rehearsalFolder), true);

} // namespace
