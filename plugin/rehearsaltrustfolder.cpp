#include "upgrade/trustfolder.h"

// The rehearsal build of the plug-in, which upgrade-sim loads for --signed
// and --trust: the simulator names a folder of its own for each run. This
// build is never installed where a host looks for plug-ins.
QString Upgrade::trustFolder()
{
    return qEnvironmentVariable("UPGRADE_REHEARSAL_TRUST_DIR");
}
