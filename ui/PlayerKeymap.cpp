#include "ui/PlayerKeymap.h"

#include "teach/X11Keymap.h"

#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>

namespace keyfall {
namespace {

// A value of /etc/default/keyboard: XKBLAYOUT="it", quoted or not.
QString KeyboardDefault(const QByteArray& text, const char* name)
{
    const QRegularExpression line(QStringLiteral("^\\s*%1\\s*=\\s*\"?([^\"\\n]*)\"?\\s*$").arg(QLatin1String(name)),
                                  QRegularExpression::MultilineOption);
    const auto match = line.match(QString::fromUtf8(text));
    return match.hasMatch() ? match.captured(1).trimmed() : QString();
}

} // namespace

teach::KeymapResult PlayerKeymap()
{
    if (auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr) {
        teach::KeymapResult result = teach::KeymapFromX11(x11->connection());
        if (result.keymap)
            return result;
    }
    QFile file(QStringLiteral("/etc/default/keyboard"));
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.read(qint64{64} * 1024);
    return teach::KeymapFromNames({}, KeyboardDefault(text, "XKBMODEL").toStdString(),
                                  KeyboardDefault(text, "XKBLAYOUT").toStdString(),
                                  KeyboardDefault(text, "XKBVARIANT").toStdString());
}

const teach::Keymap* KeymapHolder::Get()
{
    if (!m_read) {
        m_read = true;
        teach::KeymapResult result = m_source();
        m_keymap = std::move(result.keymap);
        m_problem = std::move(result.error);
    }
    return m_keymap ? &*m_keymap : nullptr;
}

} // namespace keyfall
