#pragma once

#include <QString>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <vector>

namespace testing_support {

// One line that went through Qt's message logger, with its context.
struct LogLine
{
    QtMsgType type;
    QString message;
    QString file;
    QString function;
    QString category;
    int line;
};

// Captures Qt log output for its lifetime (one at a time), restoring the
// previous handler afterwards.
class LogCapture
{
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    const std::vector<LogLine>& lines() const { return captured; }
    // Lines whose message starts with the given text.
    std::vector<LogLine> matching(const QString& prefix) const;
    int count(const QString& prefix) const { return static_cast<int>(matching(prefix).size()); }
    void clear() { captured.clear(); }

private:
    static void handler(QtMsgType type, const QMessageLogContext& context, const QString& message);

    std::vector<LogLine> captured;
    QtMessageHandler previous;
};

// The line was written in the view model's source (upgrade/upgradeviewmodel.cpp)
// in the default category, by `function`: its whole signature, or a member's name.
::testing::AssertionResult fromViewModel(const LogLine& line, const QString& function);

} // namespace testing_support
