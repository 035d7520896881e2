#include "ui/Pause.h"

#include "ui/Fonts.h"
#include "ui/GameWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPainter>
#include <QTimer>

namespace keyfall {
namespace {

bool IsPauseKey(const QKeyEvent& key)
{
    return key.key() == Qt::Key_Pause || key.key() == Qt::Key_F5;
}

} // namespace

PauseOverlay::PauseOverlay(QWidget* field) : QWidget(field)
{
    // The overlay only shows: clicks and keys go where they went without it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    setGeometry(field->rect());
    field->installEventFilter(this);
    hide();
}

QString PauseOverlay::Text()
{
    return QStringLiteral("Pausa — premi Pausa per continuare");
}

bool PauseOverlay::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void PauseOverlay::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    // Dark enough that the letters recede, light enough that the player still sees where they were.
    painter.fillRect(rect(), QColor(0, 0, 0, 150));
    QFont font = Verdana(18, true);
    // The field's scale: the line takes the same share of the field on any screen.
    font.setPixelSize(std::max(8, height() / 18));
    painter.setFont(font);
    painter.setPen(Qt::white);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextWordWrap, Text());
}

PauseControl::PauseControl(GameWindow& window) : m_window(window), m_overlay(new PauseOverlay(window.picture2()))
{
    qApp->installEventFilter(this);
}

PauseControl::~PauseControl()
{
    qApp->removeEventFilter(this);
    m_window.timers().SetHeld(false);
    delete m_overlay;
}

void PauseControl::Toggle()
{
    SetPaused(!m_paused && m_window.form().GameRunning);
}

void PauseControl::SetPaused(bool paused)
{
    if (paused == m_paused)
        return;
    m_paused = paused;
    m_window.timers().SetHeld(paused);
    m_overlay->setVisible(paused);
    emit PausedChanged(paused);
}

void PauseControl::FollowGame()
{
    if (m_paused && !m_window.form().GameRunning)
        SetPaused(false);
}

bool PauseControl::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    const bool key = type == QEvent::KeyPress || type == QEvent::KeyRelease;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != &m_window) {
        return false;
    }
    if (key) {
        const auto& press = static_cast<const QKeyEvent&>(*event);
        if (IsPauseKey(press)) {
            if (type == QEvent::KeyPress && !press.isAutoRepeat())
                Toggle();
            // The pause keys belong to the pause: the game never sees them.
            return true;
        }
        // Tab still moves between the panel's buttons.
        return m_paused && press.key() != Qt::Key_Tab && press.key() != Qt::Key_Backtab;
    }
    // A click on the panel may end the game (DA CAPO) or open the options window; once it has
    // been handled, the pause follows the game.
    if (m_paused && type == QEvent::MouseButtonRelease)
        QTimer::singleShot(0, this, &PauseControl::FollowGame);
    return false;
}

} // namespace keyfall
