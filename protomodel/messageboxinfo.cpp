#include "messageboxinfo.h"

#include <QDebug>
#include <QString>

#include <cstring>

namespace LCD {
namespace Structs {

namespace {

// A text field ends at its first zero byte and never beyond its array.
QString fieldText(const char (&field)[256])
{
    const void* end = std::memchr(field, 0, sizeof field);
    const int length = end ? static_cast<int>(static_cast<const char*>(end) - field) : int(sizeof field);
    return QString::fromUtf8(field, length);
}

// A record that comes back from the user interface may hold any byte in a
// flag; read it as a byte so that it prints 0 or 1 without loading a bool
// that is neither.
int flagValue(const bool& flag)
{
    unsigned char byte;
    std::memcpy(&byte, &flag, 1);
    return byte != 0 ? 1 : 0;
}

} // namespace

QDebug operator<<(QDebug stream, const MessageBoxInfo& info)
{
    // Filled one placeholder at a time, lowest number first, as the UI team's
    // log readers expect.
    const QString line
        = QStringLiteral(
              "func code(%1), box type(%2), total rate(%3), sub rate(%4), visiable(%5), can revoke(%6), "
              "tip time(%7), text(%8), btn text(%9), second btn(%10),currentStatus(%11), isLocal(%12), "
              "bAccept(%13),deviceStatus(%14) ")
              .arg(info.funcCode)
              .arg(info.boxType)
              .arg(info.totalRate)
              .arg(info.subRate)
              .arg(flagValue(info.visiable))
              .arg(flagValue(info.canRevoke))
              .arg(info.tipTime)
              .arg(fieldText(info.text))
              .arg(fieldText(info.btnText))
              .arg(fieldText(info.secondBtn))
              .arg(info.currentStatus)
              .arg(flagValue(info.isLocal))
              .arg(flagValue(info.bAccept))
              .arg(info.deviceStatus);
    stream << line;
    return stream;
}

} // namespace Structs
} // namespace LCD
