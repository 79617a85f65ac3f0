#pragma once

#include "signingkey.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace Sim {

// The trust folder of one rehearsal: a temporary folder holding the keys the
// plug-in is to trust, which the rehearsal build of the plug-in reads
// through its environment. The shipped plug-in has no such setting.
class RehearsalTrust
{
public:
    static const char* const Variable;

    // Fills the folder with the given public keys and, for a signed demo, the
    // public half of a throwaway key; false with a one-line reason otherwise.
    bool create(const QStringList& keyFiles, bool throwawayKey);
    // The throwaway key; null without one.
    const Upgrade::SigningKey* signingKey() const { return throwaway.isNull() ? nullptr : &throwaway; }
    QString errorString() const { return error; }

private:
    bool addKey(const QByteArray& pem, const QString& name);

    std::unique_ptr<QTemporaryDir> folder;
    Upgrade::SigningKey throwaway;
    QString error;
};

} // namespace Sim
