#include "commands.h"
#include "standin/storage/faultystorage.h"
#include "storagefault.h"

// Tests rehearse failing storage under the package through this variable
// ("OFFSET[:ERRNO]", the form of upgrade-sim's --storage-fault).
bool armStorageFault(const QString& path, int& exitCode)
{
    const QString text = qEnvironmentVariable("UPGRADE_PACK_STORAGE_FAULT");
    if (text.isEmpty())
        return true;
    Standin::FaultyStorage::Fault fault;
    QString error;
    if (!Standin::FaultyStorage::parse(text, fault, error)) {
        exitCode = Commands::fail(QStringLiteral("UPGRADE_PACK_STORAGE_FAULT: %1").arg(error),
                                  Commands::ExitUsage);
        return false;
    }
    Standin::FaultyStorage::arm(path, fault);
    return true;
}
