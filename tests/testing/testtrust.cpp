#include "testing/testtrust.h"

#include "upgrade/trustfolder.h"

namespace {

QString folder;

QString testFolder()
{
    return folder;
}

} // namespace

// Test programs link the view model without a plug-in around it, so they
// hand it their own folder, as each plug-in build does at load.
void testing_support::setTrustFolder(const QString& path)
{
    folder = path;
    Upgrade::setTrustFolderSource(&testFolder);
}
