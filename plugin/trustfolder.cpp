#include "upgrade/trustfolder.h"

// The shipped plug-in trusts the keys of the configured folder and nothing
// else: no environment variable, setting or message moves it.
QString Upgrade::trustFolder()
{
    return QStringLiteral(UPGRADE_TRUST_DIR);
}
