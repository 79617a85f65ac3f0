#include "testing/logcapture.h"

namespace testing_support {

namespace {
LogCapture* active = nullptr;
}

LogCapture::LogCapture()
{
    active = this;
    previous = qInstallMessageHandler(&LogCapture::handler);
}

LogCapture::~LogCapture()
{
    qInstallMessageHandler(previous);
    active = nullptr;
}

std::vector<LogLine> LogCapture::matching(const QString& prefix) const
{
    std::vector<LogLine> result;
    for (const LogLine& line : captured) {
        if (line.message.startsWith(prefix))
            result.push_back(line);
    }
    return result;
}

void LogCapture::handler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (!active)
        return;
    active->captured.push_back({type, message, QString::fromUtf8(context.file),
                                QString::fromUtf8(context.function), QString::fromUtf8(context.category),
                                context.line});
}

::testing::AssertionResult fromViewModel(const LogLine& line, const QString& function)
{
    if ((line.function == function || line.function.contains("UpgradeViewModel::" + function + '('))
        && line.file.endsWith(QLatin1String("upgrade/upgradeviewmodel.cpp")) && line.category == "default")
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "in [" << line.function.toStdString() << "] of "
                                         << line.file.toStdString() << ", " << line.category.toStdString();
}

} // namespace testing_support
