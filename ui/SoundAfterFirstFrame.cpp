#include "ui/SoundAfterFirstFrame.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>

namespace keyfall {

SoundAfterFirstFrame::SoundAfterFirstFrame(Opener open, std::chrono::milliseconds latest)
    : m_open(std::move(open)), m_latest(latest)
{
}

void SoundAfterFirstFrame::OpenAfterFirstPaint(QWidget& window)
{
    m_window = &window;
    window.installEventFilter(this);
    QTimer::singleShot(m_latest, this, &SoundAfterFirstFrame::Open);
}

void SoundAfterFirstFrame::PlayCue(Cue cue)
{
    if (m_player) {
        m_player->PlayCue(cue);
        return;
    }
    if (m_waiting.size() == kMostWaiting)
        m_waiting.erase(m_waiting.begin());
    m_waiting.push_back(cue);
}

bool SoundAfterFirstFrame::eventFilter(QObject* watched, QEvent* event)
{
    // The frame is handed to the window system after the paint, within the same event: the
    // queued call runs once it has gone, and waits for the window system to have shown it, so
    // that opening the sound takes no processor time from the display server drawing it.
    if (watched == m_window && event->type() == QEvent::Paint) {
        m_window->removeEventFilter(this);
        QMetaObject::invokeMethod(
            this,
            [this] {
                QGuiApplication::sync();
                Open();
            },
            Qt::QueuedConnection);
    }
    return false;
}

void SoundAfterFirstFrame::Open()
{
    if (m_player)
        return;
    if (m_window)
        m_window->removeEventFilter(this);
    m_player = m_open();
    std::vector<Cue> waiting;
    waiting.swap(m_waiting);
    for (const Cue cue : waiting)
        m_player->PlayCue(cue);
}

} // namespace keyfall
