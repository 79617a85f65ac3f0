#include "externalsigner.h"

#include <QProcess>

namespace {

// Why the command failed, from what it wrote on stderr: its last line that
// starts with "error" (pkcs11-tool ends a wrong PIN's "error: ... C_Login
// failed ..." with "Aborting."), else its last line.
QString reasonIn(const QByteArray& text)
{
    const QList<QByteArray> lines = text.trimmed().split('\n');
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (line->trimmed().toLower().startsWith("error"))
            return QString::fromLocal8Bit(line->trimmed());
    }
    return QString::fromLocal8Bit(lines.last().trimmed());
}

} // namespace

ExternalSigner::ExternalSigner(const QString& command, const Upgrade::Package::PublicKey& key)
    : command(command)
    , key(key)
{
}

QByteArray ExternalSigner::sign(const QByteArray& message, QString* error) const
{
    // The command itself is never quoted back: it may carry a PIN.
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), command});
    if (!process.waitForStarted()) {
        *error = QStringLiteral("cannot start the signer: %1").arg(process.errorString());
        return QByteArray();
    }
    process.write(message);
    process.closeWriteChannel();
    process.waitForFinished(-1);
    const QString why = reasonIn(process.readAllStandardError());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = process.exitStatus() != QProcess::NormalExit
            ? QStringLiteral("the signer crashed")
            : QStringLiteral("the signer failed with exit code %1").arg(process.exitCode());
        if (!why.isEmpty())
            *error += QStringLiteral(": ") + why;
        return QByteArray();
    }
    const QByteArray signature = process.readAllStandardOutput();
    if (signature.isEmpty())
        *error = QStringLiteral("the signer returned no signature");
    return signature;
}
