#include "progressview.h"

#include "protomodel/messageboxinfo.h"

#include <QTextStream>

#include <cstring>

namespace Sim {

namespace {

constexpr int BarWidth = 30;

QString boxText(const LCD::Structs::MessageBoxInfo& box)
{
    const void* end = std::memchr(box.text, 0, sizeof box.text);
    const int length = end ? int(static_cast<const char*>(end) - box.text) : int(sizeof box.text);
    return QString::fromUtf8(box.text, length);
}

QString percent(int32_t rate)
{
    return rate < 0 ? QStringLiteral("  -%") : QStringLiteral("%1%").arg(rate, 3);
}

bool isProgress(const LCD::Structs::MessageBoxInfo& box)
{
    return box.funcCode == 1 && box.boxType == 5;
}

} // namespace

ProgressView::ProgressView(QTextStream& out, bool terminal)
    : out(out)
    , terminal(terminal)
{
}

QString ProgressView::plainLine(const LCD::Structs::MessageBoxInfo& box)
{
    if (box.funcCode == -1)
        return QStringLiteral("  box  withdrawn");
    if (isProgress(box))
        return QStringLiteral("  box  total %1  sub %2  %3")
            .arg(percent(box.totalRate), percent(box.subRate), boxText(box));
    switch (box.boxType) {
    case 1:
        return QStringLiteral("  box  success  %1").arg(boxText(box));
    case 4:
        return QStringLiteral("  box  failure  %1").arg(boxText(box));
    default:
        return QStringLiteral("  box  type %1, function %2  %3")
            .arg(box.boxType)
            .arg(box.funcCode)
            .arg(boxText(box));
    }
}

QString ProgressView::barLine(const LCD::Structs::MessageBoxInfo& box, int width)
{
    const int filled = qBound(0, box.totalRate, 100) * width / 100;
    return QStringLiteral("  [%1%2] %3  sub %4  %5")
        .arg(QString(filled, QLatin1Char('#')), QString(width - filled, QLatin1Char('.')),
             percent(box.totalRate), percent(box.subRate), boxText(box));
}

void ProgressView::show(const LCD::Structs::MessageBoxInfo& box)
{
    if (!enabled)
        return;
    if (terminal && isProgress(box)) {
        // Back to the line start, draw, clear what a longer line left.
        out << '\r' << barLine(box, BarWidth) << "\x1b[K";
        out.flush();
        barShown = true;
        return;
    }
    if (barShown)
        out << "\r\x1b[K";
    barShown = false;
    out << plainLine(box) << '\n';
    out.flush();
}

void ProgressView::settle()
{
    if (barShown)
        out << '\n';
    barShown = false;
    out.flush();
}

} // namespace Sim
