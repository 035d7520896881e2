#include "ui/Training.h"

#include "ui/GameWindow.h"
#include "ui/Log.h"
#include "ui/PlayerKeymap.h"
#include "ui/TrainingWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

namespace keyfall {
namespace {

constexpr const char* kGroup = "Allenamento";
constexpr const char* kKind = "Scelta";
constexpr const char* kOwn = "Caratteri";

} // namespace

TrainingControl::TrainingControl(GameWindow& window, SettingsStore& store, KeymapHolder& keymap)
    : m_window(window), m_store(store), m_keymap(keymap), m_caption(window.label3()->text())
{
    qApp->installEventFilter(this);
    teach::TrainingChoice stored;
    stored.kind = teach::TrainingNamed(m_store.Get(kGroup, kKind, teach::StoredName(teach::Training::Specified)))
                      .value_or(teach::Training::Specified);
    stored.own = m_store.Get(kGroup, kOwn, "");
    // Only a set other than the options window's needs the keyboard read at start-up.
    if (!Apply(stored)) {
        qCWarning(lcSettings, "the training set kept in the settings cannot be typed on this keyboard; "
                              "the key sets of the options window apply");
        Apply({teach::Training::Specified, stored.own});
    }
}

TrainingControl::~TrainingControl()
{
    qApp->removeEventFilter(this);
    m_window.form().SetCharacters(nullptr);
}

bool TrainingControl::Apply(const teach::TrainingChoice& choice)
{
    std::unique_ptr<teach::UniformDraw> draw;
    if (choice.kind != teach::Training::Specified) {
        const teach::Keymap* keymap = m_keymap.Get();
        if (!keymap)
            return false;
        const teach::TrainingSet set = teach::CharactersOf(choice, *keymap);
        if (!set.problem.empty())
            return false;
        draw = std::make_unique<teach::UniformDraw>(set.characters, teach::KeySetOf(choice.kind));
    }
    m_window.form().SetCharacters(draw.get());
    m_draw = std::move(draw);
    m_choice = choice;
    // The caption keeps its font and its centre; only its words name the set.
    QLabel* caption = m_window.label3();
    const int centre = caption->geometry().center().x();
    const QString text =
        m_draw ? QStringLiteral("Allenamento: %1").arg(QString::fromStdString(teach::DisplayName(choice.kind)))
               : m_caption;
    if (caption->text() != text) {
        caption->setText(text);
        caption->adjustSize();
        caption->move(centre - caption->width() / 2, caption->y());
    }
    return true;
}

bool TrainingControl::Choose(const teach::TrainingChoice& choice)
{
    if (!Apply(choice))
        return false;
    m_store.Set(kGroup, kKind, teach::StoredName(choice.kind));
    m_store.Set(kGroup, kOwn, choice.own);
    m_store.Sync();
    return true;
}

void TrainingControl::Open()
{
    if (m_open || m_window.form().GameRunning)
        return;
    m_open = true;
    TrainingWindow window(m_choice, m_keymap.Get(), &m_window);
    if (window.exec() == QDialog::Accepted)
        Choose(window.Choice());
    m_open = false;
}

bool TrainingControl::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress && event->type() != QEvent::KeyRelease)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    const auto& key = static_cast<const QKeyEvent&>(*event);
    if (!widget || widget->window() != &m_window || key.key() != Qt::Key_F4)
        return false;
    // Opened once this key event is over, not inside it.
    if (event->type() == QEvent::KeyPress && !key.isAutoRepeat() && !m_window.form().GameRunning)
        QTimer::singleShot(0, this, &TrainingControl::Open);
    // F4 is the training window's: it never reaches the game.
    return true;
}

} // namespace keyfall
