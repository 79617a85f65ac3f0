#include "commands.h"

#include "externalsigner.h"
#include "packageinfo.h"
#include "packagewriter.h"
#include "recordwriter.h"
#include "signingkey.h"
#include "storagefault.h"
#include "upgrade/packagecheck.h"
#include "upgrade/signaturerecord.h"
#include "upgrade/trustpolicy.h"

#include <QCommandLineParser>
#include <QFile>
#include <QJsonDocument>
#include <QTextStream>

#include <cstdio>
#include <memory>

namespace {

QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

// Parses the sub-command's options; false (after printing) on error or help.
bool parse(QCommandLineParser& parser, const QStringList& arguments, int& exitCode)
{
    const QCommandLineOption help(QStringList{"h", "help"}, QStringLiteral("Show this help."));
    parser.addOption(help);
    if (!parser.parse(arguments)) {
        exitCode = Commands::fail(parser.errorText(), Commands::ExitUsage);
        return false;
    }
    if (parser.isSet(help)) {
        out() << parser.helpText() << Qt::flush;
        exitCode = 0;
        return false;
    }
    return true;
}

QString describe(const Upgrade::Package::VerifyResult& result, const QString& path)
{
    using Upgrade::Package::VerifyResult;
    const QString image = QStringLiteral("image %1 of %2").arg(result.image + 1).arg(result.imageCount);
    switch (result.outcome) {
    case VerifyResult::OpenFailed: {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        return QStringLiteral("cannot open '%1': %2").arg(path, file.errorString());
    }
    case VerifyResult::BadMagic:
        return QStringLiteral("'%1' is not an upgrade package: wrong magic").arg(path);
    case VerifyResult::BadImageMagic:
        return QStringLiteral("%1: record does not start with \"Vesk\"").arg(image);
    case VerifyResult::DigestMismatch: {
        QString line = QStringLiteral("%1: md5 mismatch: expected \"%2\", computed \"%3\"")
                           .arg(image, result.expected, result.computed);
        if (result.remaining > 0)
            line += QStringLiteral(" (file ends %1 bytes early)").arg(result.remaining);
        return line;
    }
    case VerifyResult::FileChanged:
        return QStringLiteral("'%1' changed while it was verified").arg(path);
    case VerifyResult::Verified:
    case VerifyResult::ReadError: // told apart by the caller
        break;
    }
    return QString();
}

// The line and exit code of a package whose digests hold but whose signature
// no trusted key accepts.
int signatureFailure(const Upgrade::Package::SignatureVerdict& verdict)
{
    using Upgrade::Package::SignatureVerdict;
    switch (verdict.status) {
    case SignatureVerdict::NoRecord:
        return Commands::fail(QStringLiteral("verify: not signed"), Commands::ExitNotSigned);
    case SignatureVerdict::UnknownKey:
        return Commands::fail(QStringLiteral("verify: unknown key %1").arg(verdict.keyId),
                              Commands::ExitUnknownKey);
    case SignatureVerdict::MalformedRecord:
        return Commands::fail(
            QStringLiteral("verify: signature invalid: malformed record (%1)").arg(verdict.problem),
            Commands::ExitSignatureInvalid);
    case SignatureVerdict::SignedBytesDiffer:
        return Commands::fail(
            QStringLiteral("verify: signature invalid: signed bytes differ (key %1)").arg(verdict.keyId),
            Commands::ExitSignatureInvalid);
    case SignatureVerdict::InvalidSignature:
    case SignatureVerdict::NotRequired:
    case SignatureVerdict::NotReached:
    case SignatureVerdict::Valid:
        break;
    }
    return Commands::fail(QStringLiteral("verify: signature invalid (key %1)").arg(verdict.keyId),
                          Commands::ExitSignatureInvalid);
}

// The keys of --trust, read as the plug-in reads its folder: a file that
// fails to load is skipped with a warning and the others still count.
Upgrade::Package::TrustPolicy trustPolicy(const QStringList& paths)
{
    const Upgrade::Package::TrustPolicy policy = Upgrade::Package::TrustPolicy::fromPaths(paths);
    QTextStream err(stderr);
    for (const Upgrade::Package::TrustPolicy::SkippedKey& key : policy.skipped())
        err << "upgrade-pack: verify: trusted key skipped: '" << key.path << "': " << key.why << "\n";
    return policy;
}

Upgrade::Package::VerifyOptions workstationWalk(const Upgrade::Package::TrustPolicy& trust)
{
    Upgrade::Package::VerifyOptions options;
    options.pauseAfterChunk = false;
    options.dropPageCache = false;
    options.trust = trust;
    return options;
}

// A package's signer: a PEM private key (--key, or create's --sign) or an
// external command (--signer) with the public key it must sign for (--pubkey).
struct SignerOptions
{
    QCommandLineOption key;
    QCommandLineOption command{
        "signer",
        QStringLiteral("Sign through this shell command instead: it reads the bytes to sign on stdin "
                       "and writes the raw 64-byte Ed25519 signature on stdout (e.g. pkcs11-tool "
                       "--sign --mechanism EDDSA). Needs --pubkey."),
        "command"};
    QCommandLineOption publicKey{
        "pubkey", QStringLiteral("Public key (PEM) of the --signer's key; every signature is checked against it."),
        "key"};

    // The signer the options chose; null when none. False, after printing
    // with `exitCode` set, for a wrong combination or an unusable key.
    bool read(const QCommandLineParser& parser, const QString& command, std::unique_ptr<Upgrade::Signer>& signer,
              int& exitCode) const;
};

bool SignerOptions::read(const QCommandLineParser& parser, const QString& name,
                         std::unique_ptr<Upgrade::Signer>& signer, int& exitCode) const
{
    const QString keyOption = QStringLiteral("--") + key.names().front();
    if (parser.isSet(key) && parser.isSet(command))
        exitCode = Commands::fail(QStringLiteral("%1: %2 and --signer exclude each other").arg(name, keyOption),
                                  Commands::ExitUsage);
    else if (parser.isSet(command) != parser.isSet(publicKey))
        exitCode = Commands::fail(QStringLiteral("%1: --signer and --pubkey go together").arg(name),
                                  Commands::ExitUsage);
    if (exitCode != 0)
        return false;
    QString error;
    if (parser.isSet(key)) {
        auto pem = std::make_unique<Upgrade::SigningKey>(Upgrade::SigningKey::fromFile(parser.value(key), &error));
        if (!pem->isNull())
            signer = std::move(pem);
    } else if (parser.isSet(command)) {
        const Upgrade::Package::PublicKey expected
            = Upgrade::Package::PublicKey::fromFile(parser.value(publicKey), &error);
        if (!expected.isNull())
            signer = std::make_unique<ExternalSigner>(parser.value(command), expected);
    }
    if (!error.isEmpty())
        exitCode = Commands::fail(QStringLiteral("%1: %2").arg(name, error));
    return error.isEmpty();
}

} // namespace

int Commands::fail(const QString& message, int code)
{
    QTextStream err(stderr);
    err << "upgrade-pack: " << message << "\n";
    return code;
}

int Commands::create(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Writes an upgrade package from image files, in order."));
    const QCommandLineOption output(QStringList{"o", "output"}, QStringLiteral("Package to write."), "file");
    const QCommandLineOption name("name", QStringLiteral("Header \"name\" (default Vesk)."), "text", "Vesk");
    const QCommandLineOption modelId("model-id", QStringLiteral("Header \"modelID\" (default 29974)."),
                                     "number", "29974");
    const QCommandLineOption mainVersion("main-version", QStringLiteral("Header \"mainVersion\"."),
                                         "version");
    const QCommandLineOption dataVersion("data-version", QStringLiteral("Header \"dataVersion\"."),
                                         "version");
    const QCommandLineOption type(
        "type", QStringLiteral("Type of the next image, once per image (default system)."), "type");
    const QCommandLineOption checkMd5(
        "check-md5", QStringLiteral("\"md5\" of the check block (default: first image's digest)."), "digest");
    const SignerOptions signing{
        {"sign", QStringLiteral("Sign the package with this Ed25519 private key (PEM)."), "key"}};
    parser.addOptions(
        {output, name, modelId, mainVersion, dataVersion, type, checkMd5, signing.key, signing.command,
         signing.publicKey});
    parser.addPositionalArgument("images", QStringLiteral("Image files, in package order."), "image...");
    int exitCode = 0;
    if (!parse(parser, arguments, exitCode))
        return exitCode;

    if (!parser.isSet(output))
        return fail(QStringLiteral("create: --output is required"), ExitUsage);
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return fail(QStringLiteral("create: at least one image file is required"), ExitUsage);
    bool numeric = false;
    Upgrade::PackageHeader header;
    header.modelId = parser.value(modelId).toInt(&numeric);
    if (!numeric)
        return fail(
            QStringLiteral("create: --model-id must be a number, not '%1'").arg(parser.value(modelId)),
            ExitUsage);
    const QStringList types = parser.values(type);
    if (types.size() > files.size())
        return fail(
            QStringLiteral("create: %1 --type options for %2 images").arg(types.size()).arg(files.size()),
            ExitUsage);
    header.name = parser.value(name);
    header.mainVersion = parser.value(mainVersion);
    header.dataVersion = parser.value(dataVersion);

    Upgrade::PackageContents contents;
    contents.header = Upgrade::PackageWriter::headerJson(header);
    contents.checkMd5 = parser.value(checkMd5);
    for (int i = 0; i < files.size(); ++i) {
        Upgrade::PackageImage image;
        image.dataFile = files[i];
        if (i < types.size())
            image.type = types[i];
        contents.images.push_back(image);
    }
    std::unique_ptr<Upgrade::Signer> signer;
    if (!signing.read(parser, QStringLiteral("create"), signer, exitCode))
        return exitCode;
    Upgrade::PackageWriter writer;
    writer.setSigningKey(signer.get());
    if (!writer.write(contents, parser.value(output)))
        return fail(QStringLiteral("create: %1").arg(writer.errorString()));
    out() << "created " << parser.value(output) << ": " << files.size() << " images, "
          << QFile(parser.value(output)).size() << " bytes";
    if (signer)
        out() << ", signed by " << Upgrade::Package::keyIdText(signer->publicKey().id());
    out() << "\n" << Qt::flush;
    return 0;
}

int Commands::info(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Shows a package's header, check block and image table."));
    const QCommandLineOption json("json", QStringLiteral("Print one JSON object."));
    parser.addOption(json);
    parser.addPositionalArgument("package", QStringLiteral("Package file."));
    int exitCode = 0;
    if (!parse(parser, arguments, exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("info: exactly one package file is required"), ExitUsage);

    if (!armStorageFault(parser.positionalArguments().front(), exitCode))
        return exitCode;
    PackageInfo info;
    if (!info.read(parser.positionalArguments().front()))
        return fail(QStringLiteral("info: %1").arg(info.errorString()),
                    info.readFailed() ? ExitReadError : ExitFailure);
    if (parser.isSet(json))
        out() << QJsonDocument(info.toJson()).toJson(QJsonDocument::Indented);
    else
        out() << info.toText();
    out() << Qt::flush;
    return 0;
}

int Commands::verify(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Checks a package's structure and image digests as the device does, without its pauses.\n"
        "With --trust, also its signature, as a device that trusts those keys does. Exit codes:\n"
        "0 verified, 1 structure or digest, 2 usage, 3 read error, 4 not signed, 5 unknown key,\n"
        "6 signature invalid, 7 no usable trusted key."));
    const QCommandLineOption trust(
        "trust",
        QStringLiteral("Public key (PEM), or a folder of them as a device's trust folder, whose signature\n"
                       "the package must carry; repeatable."),
        "key");
    parser.addOption(trust);
    parser.addPositionalArgument("package", QStringLiteral("Package file."));
    int exitCode = 0;
    if (!parse(parser, arguments, exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("verify: exactly one package file is required"), ExitUsage);

    const Upgrade::Package::TrustPolicy policy
        = parser.isSet(trust) ? trustPolicy(parser.values(trust)) : Upgrade::Package::TrustPolicy();
    // As on a device whose trust folder gives no key: nothing verifies.
    if (policy.mode() == Upgrade::Package::TrustPolicy::Refusing)
        return fail(QStringLiteral("verify: %1").arg(policy.refusal()), ExitNoTrustedKey);
    const QString path = parser.positionalArguments().front();
    if (!armStorageFault(path, exitCode))
        return exitCode;
    const Upgrade::Package::VerifyResult result
        = Upgrade::Package::verify(path, workstationWalk(policy));
    // Whatever the digests said: what could not be read is not verified.
    if (result.readErrorAt >= 0)
        return fail(
            QStringLiteral("verify: read error at byte %1: %2").arg(result.readErrorAt).arg(result.readError),
            ExitReadError);
    if (result.outcome != Upgrade::Package::VerifyResult::Verified)
        return fail(QStringLiteral("verify: %1").arg(describe(result, path)));
    if (!result.signature.accepts())
        return signatureFailure(result.signature);
    out() << "verified " << path << ": " << result.imageCount << " images";
    if (parser.isSet(trust))
        out() << ", signed by " << result.signature.keyId << ": valid";
    out() << "\n" << Qt::flush;
    return 0;
}

int Commands::sign(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Signs a package that verifies, replacing an earlier signature record, with a PEM key or\n"
        "through --signer. The signature is checked before the package is rewritten, through a\n"
        "temporary file, so a failed or interrupted run leaves it as it was."));
    const SignerOptions signing{{"key", QStringLiteral("Ed25519 private key (PEM)."), "key"}};
    parser.addOptions({signing.key, signing.command, signing.publicKey});
    parser.addPositionalArgument("package", QStringLiteral("Package file."));
    int exitCode = 0;
    if (!parse(parser, arguments, exitCode))
        return exitCode;
    if (parser.positionalArguments().size() != 1)
        return fail(QStringLiteral("sign: exactly one package file is required"), ExitUsage);
    std::unique_ptr<Upgrade::Signer> signer;
    if (!signing.read(parser, QStringLiteral("sign"), signer, exitCode))
        return exitCode;
    if (!signer)
        return fail(QStringLiteral("sign: --key or --signer is required"), ExitUsage);
    // The walk computes the digest of the signed bytes and reports what
    // follows them, which nothing judges here.
    const QString path = parser.positionalArguments().front();
    const Upgrade::Package::VerifyResult result
        = Upgrade::Package::verify(path, workstationWalk(Upgrade::Package::TrustPolicy::recordOnly()));
    if (result.outcome != Upgrade::Package::VerifyResult::Verified)
        return fail(QStringLiteral("sign: %1").arg(describe(result, path)));
    const Upgrade::Package::SignatureVerdict& old = result.signature;
    QString error;
    const QByteArray record = signer->record(old.digest, &error);
    if (record.isEmpty())
        return fail(QStringLiteral("sign: signing failed: %1").arg(error));
    if (!replaceRecord(path, old.signedLength, old.digest, record, &error))
        return fail(QStringLiteral("sign: %1").arg(error));
    out() << "signed " << path << " by " << Upgrade::Package::keyIdText(signer->publicKey().id());
    if (old.status != Upgrade::Package::SignatureVerdict::NoRecord)
        out() << ", replacing "
              << (old.keyId.isEmpty() ? QStringLiteral("what followed its last image")
                                      : QStringLiteral("the record by %1").arg(old.keyId));
    out() << "\n" << Qt::flush;
    return 0;
}
