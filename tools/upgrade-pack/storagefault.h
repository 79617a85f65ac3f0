#pragma once

#include <QString>

// The seam between upgrade-pack and failing storage, defined by each build of
// the tool in a source of its own: the installed tool reads packages as they
// are (nostoragefault.cpp); its test build, upgrade-pack-faulty, puts the
// fault of UPGRADE_PACK_STORAGE_FAULT under the package (envstoragefault.cpp).
// False, after printing the error line with `exitCode` set, when the fault
// cannot be armed.
bool armStorageFault(const QString& path, int& exitCode);
