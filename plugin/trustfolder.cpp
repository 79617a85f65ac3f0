#include "upgrade/trustfolder.h"

namespace {

// The shipped plug-in trusts the keys of the configured folder and nothing
// else: no environment variable, setting or message moves it.
QString configuredFolder()
{
    return QStringLiteral(UPGRADE_TRUST_DIR);
}

// Handed down when the library loads, before the host can create a component.
[[maybe_unused]] const bool handedDown = (Upgrade::setTrustFolderSource(&configuredFolder), true);

} // namespace
