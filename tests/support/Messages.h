#pragma once
// The program's own diagnostics (the keyfall.* logging categories) while this object lives,
// one entry per message. Qt's own messages pass on to the handler that was there before.
// Messages may come from any thread (the sound loop reports from its own).

#include <QMutex>
#include <QMutexLocker>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <cstring>
#include <functional>

namespace keyfall::test {

class CapturedMessages {
public:
    CapturedMessages()
    {
        Current() = this;
        m_previous = qInstallMessageHandler(&Collect);
    }
    ~CapturedMessages() { Restore(); }
    CapturedMessages(const CapturedMessages&) = delete;
    CapturedMessages& operator=(const CapturedMessages&) = delete;

    QStringList Lines() const
    {
        const QMutexLocker lock(&m_mutex);
        return m_lines;
    }
    // Each message as a line of its own, for counting lines.
    QString Text() const
    {
        QString text;
        for (const QString& line : Lines())
            text += line + QLatin1Char('\n');
        return text;
    }
    void Restore()
    {
        if (Current() != this)
            return;
        qInstallMessageHandler(m_previous);
        Current() = nullptr;
    }

private:
    static CapturedMessages*& Current()
    {
        static CapturedMessages* current = nullptr;
        return current;
    }
    static void Collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
    {
        CapturedMessages* self = Current();
        if (self && context.category && std::strncmp(context.category, "keyfall.", 8) == 0) {
            const QMutexLocker lock(&self->m_mutex);
            self->m_lines << message;
        } else if (self && self->m_previous) {
            self->m_previous(type, context, message);
        }
    }

    QtMessageHandler m_previous = nullptr;
    mutable QMutex m_mutex;
    QStringList m_lines;
};

// What `run` reports, one line per message.
inline QString MessagesOf(const std::function<void()>& run)
{
    CapturedMessages messages;
    run();
    return messages.Text();
}

} // namespace keyfall::test
