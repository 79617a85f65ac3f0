#pragma once

#include <QStringList>

// The sub-commands of upgrade-pack. Each takes its own arguments (program
// name first) and returns the exit code; errors are one line on stderr.
class Commands
{
public:
    static int create(const QStringList& arguments);
    static int info(const QStringList& arguments);
    static int verify(const QStringList& arguments);
    static int sign(const QStringList& arguments);

    // Prints "upgrade-pack: <message>" on stderr and returns `code`.
    static int fail(const QString& message, int code = 1);

    static constexpr int ExitFailure = 1;
    static constexpr int ExitUsage = 2;
    static constexpr int ExitReadError = 3; // the storage failed under the package
    // verify --trust, once structure and digests hold:
    static constexpr int ExitNotSigned = 4;
    static constexpr int ExitUnknownKey = 5;
    static constexpr int ExitSignatureInvalid = 6;
    // verify --trust whose keys all failed to load, before the package is read:
    static constexpr int ExitNoTrustedKey = 7;
};
