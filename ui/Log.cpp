#include "ui/Log.h"

#include <QByteArray>

#include <cstdio>
#include <cstring>

namespace keyfall {

Q_LOGGING_CATEGORY(lcRecords, "keyfall.records")
Q_LOGGING_CATEGORY(lcSettings, "keyfall.settings")
Q_LOGGING_CATEGORY(lcSound, "keyfall.sound")
Q_LOGGING_CATEGORY(lcCommandLine, "keyfall.commandline")
Q_LOGGING_CATEGORY(lcDisplay, "keyfall.display")

namespace {

QtMessageHandler g_qtHandler = nullptr;

void Print(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (context.category == nullptr || std::strncmp(context.category, "keyfall.", 8) != 0) {
        g_qtHandler(type, context, message);
        return;
    }
    // One write per line, so that lines from the sound and records threads never interleave.
    const QByteArray line = "keyfall: " + message.toLocal8Bit() + '\n';
    std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace

void InstallMessageHandler()
{
    g_qtHandler = qInstallMessageHandler(&Print);
}

} // namespace keyfall
