#include "ui/KeyboardGuide.h"

#include "ui/FingerKeyboard.h"
#include "ui/GameWindow.h"
#include "ui/Log.h"
#include "ui/PlayerKeymap.h"

#include <QApplication>
#include <QFrame>
#include <QKeyEvent>

namespace keyfall {
namespace {

constexpr const char* kGroup = "Tastiera";
constexpr const char* kShown = "Mostra";

} // namespace

KeyboardGuide::KeyboardGuide(GameWindow& window, SettingsStore& store, KeymapHolder& keymap)
    : m_window(window), m_store(store), m_keymap(keymap)
{
    const auto stored = ParseBoolean(m_store.Get(kGroup, kShown, "false"));
    qApp->installEventFilter(this);
    m_window.installEventFilter(this);
    m_window.picture1()->installEventFilter(this);
    m_window.SetMirrored([this] {
        if (m_keyboard && m_keyboard->isVisible())
            m_keyboard->Refresh();
    });
    SetWanted(stored.value_or(false));
}

KeyboardGuide::~KeyboardGuide()
{
    qApp->removeEventFilter(this);
    m_window.removeEventFilter(this);
    m_window.picture1()->removeEventFilter(this);
    m_window.SetMirrored({});
    delete m_keyboard;
}

void KeyboardGuide::SetWanted(bool wanted)
{
    if (wanted != m_wanted) {
        m_wanted = wanted;
        m_store.Set(kGroup, kShown, wanted ? "true" : "false");
        m_store.Sync();
    }
    if (m_wanted && !m_keyboard) {
        if (const teach::Keymap* keymap = m_keymap.Get()) {
            m_keyboard = new FingerKeyboard(*keymap, m_window.form(), &m_window);
            m_keyboard->hide();
        } else if (m_hidden.isEmpty()) {
            m_hidden = QStringLiteral("tastiera non disponibile");
            qCWarning(lcSettings, "keyboard layout: %s", m_keymap.Problem().c_str());
        }
    }
    Place();
}

void KeyboardGuide::Place()
{
    if (!m_keyboard) {
        emit Changed();
        return;
    }
    const QRect panel = m_window.picture1()->geometry();
    // The margin below the panel, less a line at the bottom for the hints.
    const int line = m_window.fontMetrics().height() + 4;
    const int room = m_window.height() - panel.bottom() - 1 - line - 4;
    const int height = std::min(room, panel.width() * 5 / 15);
    const bool fits = height >= kMinimumHeight;
    m_hidden.clear();
    if (m_wanted && !fits)
        m_hidden = QStringLiteral("tastiera nascosta: schermo troppo piccolo");
    if (m_wanted && fits) {
        m_keyboard->setGeometry(panel.left(), panel.bottom() + 5, panel.width(), height);
        m_keyboard->Refresh();
        m_keyboard->show();
    } else {
        m_keyboard->hide();
    }
    emit Changed();
}

bool KeyboardGuide::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if ((watched == &m_window || watched == m_window.picture1())
        && (type == QEvent::Resize || type == QEvent::Move || type == QEvent::Show)) {
        Place();
        return false;
    }
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!widget || widget->window() != &m_window || key.key() != Qt::Key_F3)
        return false;
    if (type == QEvent::KeyPress && !key.isAutoRepeat())
        SetWanted(!m_wanted);
    // F3 is the keyboard's: it never reaches the game.
    return true;
}

} // namespace keyfall
