#pragma once

#include <QString>

class QTextStream;

namespace LCD {
namespace Structs {
struct MessageBoxInfo;
}
} // namespace LCD

namespace Sim {

// Draws the message-box records the user interface receives: on a terminal a
// progress bar redrawn in place, otherwise one plain line per record.
class ProgressView
{
public:
    ProgressView(QTextStream& out, bool terminal);

    void show(const LCD::Structs::MessageBoxInfo& box);
    // Ends a bar that is still on screen, before other output.
    void settle();
    void setEnabled(bool on) { enabled = on; }

    static QString plainLine(const LCD::Structs::MessageBoxInfo& box);
    static QString barLine(const LCD::Structs::MessageBoxInfo& box, int width);

private:
    QTextStream& out;
    bool terminal;
    bool enabled = true;
    bool barShown = false;
};

} // namespace Sim
