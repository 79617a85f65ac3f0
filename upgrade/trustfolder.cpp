#include "upgrade/trustfolder.h"

namespace Upgrade {

namespace {

// Constant-initialised, so it is null before any load-time code runs.
TrustFolderSource folderSource = nullptr;

} // namespace

void setTrustFolderSource(TrustFolderSource source)
{
    folderSource = source;
}

QString trustFolder()
{
    return folderSource ? folderSource() : QString();
}

} // namespace Upgrade
