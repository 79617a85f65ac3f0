#include "testing/testtrust.h"

#include "upgrade/trustfolder.h"

namespace {

QString folder;

} // namespace

void testing_support::setTrustFolder(const QString& path)
{
    folder = path;
}

// Test programs link the view model without a plug-in around it, so they
// name its trust folder themselves.
QString Upgrade::trustFolder()
{
    return folder;
}
