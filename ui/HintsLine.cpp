#include "ui/HintsLine.h"

#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/KeyboardGuide.h"

#include <QEvent>
#include <QFrame>

namespace keyfall {

HintsLine::HintsLine(GameWindow& window, const KeyboardGuide& guide) : QLabel(&window), m_window(window), m_guide(guide)
{
    setAlignment(Qt::AlignCenter);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    QPalette palette = this->palette();
    palette.setColor(QPalette::WindowText, QColor(0x9a, 0x9a, 0xb0));
    setPalette(palette);
    window.installEventFilter(this);
    window.picture1()->installEventFilter(this);
    connect(&guide, &KeyboardGuide::Changed, this, &HintsLine::Place);
    Place();
}

HintsLine::~HintsLine()
{
    m_window.removeEventFilter(this);
    m_window.picture1()->removeEventFilter(this);
}

QString HintsLine::Keys()
{
    return QStringLiteral("F2 statistiche · F3 tastiera · F4 allenamento · Pausa");
}

bool HintsLine::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if ((watched == &m_window || watched == m_window.picture1()) && (type == QEvent::Resize || type == QEvent::Move))
        Place();
    return QLabel::eventFilter(watched, event);
}

void HintsLine::Place()
{
    const QString text = m_guide.Hidden().isEmpty() ? Keys() : Keys() + QStringLiteral(" · ") + m_guide.Hidden();
    if (this->text() != text)
        setText(text);
    // The margin under the panel; the line never reaches into it.
    const int margin = m_window.height() - m_window.picture1()->geometry().bottom() - 1;
    const int size = std::min(13, margin - 3);
    if (size < 8) {
        hide();
        return;
    }
    QFont font = Verdana(9, false);
    font.setPixelSize(size);
    setFont(font);
    const int height = fontMetrics().height();
    setGeometry(0, m_window.height() - height - 1, m_window.width(), height);
    show();
}

} // namespace keyfall
