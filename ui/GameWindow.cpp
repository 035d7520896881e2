#include "ui/GameWindow.h"

#include "ui/Cursors.h"
#include "ui/Fonts.h"
#include "ui/KeyMap.h"
#include "ui/OptionsDialog.h"
#include "ui/PlayField.h"

#include <QApplication>
#include <QCursor>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QPixmapCache>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include <cmath>

namespace keyfall {
namespace {

constexpr int kPanelBorder = 2; // sunken border of the picture boxes: children sit inside it

int Px(float twips)
{
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

QRect PxRect(const Control& c, int offset = 0)
{
    return {Px(c.Left) + offset, Px(c.Top) + offset, Px(c.Width), Px(c.Height)};
}

QString Text(const std::string& utf8)
{
    return QString::fromStdString(utf8);
}

void SetTextIfChanged(QLabel* label, const std::string& caption)
{
    const QString text = Text(caption);
    if (label->text() != text)
        label->setText(text);
}

QPalette WhiteOnBlack(QPalette palette)
{
    for (auto role : {QPalette::Window, QPalette::Base})
        palette.setColor(role, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text})
        palette.setColor(role, Qt::white);
    return palette;
}

// Option buttons: white caption on black, with the usual white circle and dark dot.
QPalette OptionPalette(QPalette palette)
{
    palette = WhiteOnBlack(palette);
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    return palette;
}

QLabel* MakeLabel(QWidget* parent, const Label& design, const QFont& font, const QColor& color, Qt::Alignment alignment,
                  int offset)
{
    auto* label = new QLabel(Text(design.Caption), parent);
    label->setFont(font);
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, color);
    label->setPalette(palette);
    label->setAlignment(alignment);
    label->setGeometry(PxRect(design, offset));
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

void SetTextIfChanged(QPushButton* button, const std::string& caption)
{
    constexpr int kMargin = 8;
    const QString text = WrapToWidth(Text(caption), button->font(), button->width() - kMargin);
    if (button->text() != text)
        button->setText(text);
}

QPushButton* MakeButton(QWidget* parent, const Button& design, bool silverFace)
{
    auto* button = new QPushButton(parent);
    button->setFont(Verdana(9.75, true));
    button->setGeometry(PxRect(design, kPanelBorder));
    SetTextIfChanged(button, design.Caption);
    if (silverFace) {
        QPalette palette = button->palette();
        palette.setColor(QPalette::Button, QColor(0xC0, 0xC0, 0xC0));
        palette.setColor(QPalette::ButtonText, Qt::black);
        button->setPalette(palette);
    }
    // Hover feedback needs mouse moves without a pressed button.
    button->setMouseTracking(true);
    return button;
}

// The monitor the player is looking at: the one under the pointer, where the launcher was
// clicked, else the primary one.
QScreen* ScreenUnderPointer()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

} // namespace

GameWindow::GameWindow(Settings& settings, SettingsStore& store, Random& random, CuePlayer& cues, QScreen* screen)
    : QWidget(nullptr, Qt::FramelessWindowHint), m_store(store), m_form(settings, store, random, cues, *this),
      m_screen(screen ? screen : ScreenUnderPointer())
{
    setWindowTitle(QStringLiteral("Keyfall"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setCursor(Qt::CrossCursor);
    BuildWidgets();

    m_timers.Add(m_form.timerLetters, [this] { Handle([this] { m_form.timerLetters_Timer(); }); });
    m_timers.Add(m_form.TimerEsplosione, [this] { Handle([this] { m_form.TimerEsplosione_Timer(); }); });
    m_timers.Add(m_form.TimerRound, [this] { Handle([this] { m_form.TimerRound_Timer(); }); });
    m_timers.Add(m_form.timerScore, [this] { Handle([this] { m_form.timerScore_Timer(); }); });

    Handle([this] { m_form.Form_Load(); });
    setGeometry(QRect(m_screen->geometry().topLeft(), QSize(Px(m_form.Width), Px(m_form.Height))));
    m_picture1->setFocus(Qt::OtherFocusReason);

    // Key preview: the window sees every key before the focused control does, and the buttons'
    // mouse moves and presses for their pointers. Filters on the widgets themselves see each
    // delivery once; an application-wide filter can be handed the same key event twice.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    installEventFilter(this);
}

void GameWindow::BuildWidgets()
{
    m_picture2 = new PlayField(m_form, this);
    m_picture2->setGeometry(PxRect(m_form.Picture2));
    m_picture2->setFocusPolicy(Qt::StrongFocus);
    m_picture2->setCursor(Qt::ArrowCursor);

    m_picture1 = new QFrame(this);
    m_picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture1->setLineWidth(kPanelBorder);
    m_picture1->setGeometry(PxRect(m_form.Picture1));
    m_picture1->setAutoFillBackground(true);
    m_picture1->setPalette(WhiteOnBlack(m_picture1->palette()));
    m_picture1->setFocusPolicy(Qt::StrongFocus);
    m_picture1->setCursor(Qt::ArrowCursor);

    m_cmdAdvanced = MakeButton(m_picture1, m_form.cmdAdvanced, true);
    m_frame1 = new QGroupBox(QStringLiteral("LIVELLO"), m_picture1);
    m_frame1->setGeometry(PxRect(m_form.Frame1, kPanelBorder));
    m_frame1->setFont(Verdana(9.75, true));
    m_frame1->setPalette(WhiteOnBlack(m_frame1->palette()));
    m_frame1->setFocusPolicy(Qt::NoFocus);
    for (std::size_t i = 0; i < m_optDifficulty.size(); ++i) {
        const OptionButton& design = m_form.optDifficulty[i];
        auto* option = new QRadioButton(Text(design.Caption), m_frame1);
        option->setFont(Verdana(9.75, false));
        option->setPalette(OptionPalette(option->palette()));
        option->setGeometry(PxRect(design));
        option->setChecked(design.Value);
        connect(option, &QRadioButton::clicked, this,
                [this, i] { Handle([this, i] { m_form.optDifficulty_Click(static_cast<std::int16_t>(i)); }); });
        m_optDifficulty[i] = option;
    }
    m_cmdStart = MakeButton(m_picture1, m_form.cmdStart, true);
    // Clicks may focus it, the Tab key never does.
    m_cmdStart->setFocusPolicy(Qt::ClickFocus);
    m_cmdExit = MakeButton(m_picture1, m_form.cmdExit, true);
    m_label1 = MakeLabel(m_picture1, m_form.Label1, Verdana(18, true), Qt::white, Qt::AlignHCenter | Qt::AlignTop,
                         kPanelBorder);
    m_lblTotal = MakeLabel(m_picture1, m_form.lblTotal, Verdana(20.25, true), Qt::white,
                           Qt::AlignHCenter | Qt::AlignTop, kPanelBorder);

    m_label3 =
        MakeLabel(this, m_form.Label3, Verdana(9.75, true), QColor(0xFF, 0x00, 0x00), Qt::AlignLeft | Qt::AlignTop, 0);
    m_label2 = MakeLabel(this, m_form.Label2, Verdana(18, true, true), QColor(0x00, 0x00, 0xFF),
                         Qt::AlignLeft | Qt::AlignTop, 0);
    // The two one-line labels size themselves to their text; the start-up layout centres
    // them from these sizes.
    m_label2->setText(tr("keyfall.example.org"));
    m_label3->setText(tr("Dieci dita, mille lettere: allenati giocando"));
    for (auto [label, design] : {std::pair{m_label2, &m_form.Label2}, std::pair{m_label3, &m_form.Label3}}) {
        label->adjustSize();
        design->Caption = label->text().toStdString();
        design->Width = static_cast<float>(label->width()) * kTwipsPerPixel;
        design->Height = static_cast<float>(label->height()) * kTwipsPerPixel;
    }

    connect(m_cmdStart, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdStart_Click(); }); });
    connect(m_cmdExit, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdExit_Click(); }); });
    connect(m_cmdAdvanced, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdAdvanced_Click(); }); });

    // Tab cycles through the panel, the exit button, the level, the field and the options button.
    setTabOrder(m_picture1, m_cmdExit);
    setTabOrder(m_cmdExit, m_optDifficulty[2]);
    setTabOrder(m_optDifficulty[2], m_optDifficulty[1]);
    setTabOrder(m_optDifficulty[1], m_optDifficulty[0]);
    setTabOrder(m_optDifficulty[0], m_picture2);
    setTabOrder(m_picture2, m_cmdAdvanced);
}

void GameWindow::Handle(const std::function<void()>& handler)
{
    handler();
    Mirror();
}

void GameWindow::Mirror()
{
    m_timers.Sync();
    // Only what the handlers changed is written to the widgets: a letter tick touches the
    // field and nothing else, and a tick in which nothing moves touches nothing.
    const ChangeSet changes = m_form.TakeChanges();
    if (changes.layout) {
        m_picture2->move(Px(m_form.Picture2.Left), Px(m_form.Picture2.Top));
        m_picture1->move(Px(m_form.Picture1.Left), Px(m_form.Picture1.Top));
        m_label2->move(Px(m_form.Label2.Left), Px(m_form.Label2.Top));
        m_label3->move(Px(m_form.Label3.Left), Px(m_form.Label3.Top));
    }
    if (changes.panel)
        m_picture1->setVisible(m_form.Picture1.Visible);
    if (changes.startCaption)
        SetTextIfChanged(m_cmdStart, m_form.cmdStart.Caption);
    if (changes.total)
        SetTextIfChanged(m_lblTotal, m_form.lblTotal.Caption);
    if (changes.difficulty) {
        for (std::size_t i = 0; i < m_optDifficulty.size(); ++i) {
            if (m_optDifficulty[i]->isChecked() != m_form.optDifficulty[i].Value)
                m_optDifficulty[i]->setChecked(m_form.optDifficulty[i].Value);
        }
    }
    if (changes.cursors) {
        const std::array<std::pair<QPushButton*, const Button*>, 3> buttons{
            {{m_cmdAdvanced, &m_form.cmdAdvanced}, {m_cmdStart, &m_form.cmdStart}, {m_cmdExit, &m_form.cmdExit}}};
        for (const auto& [widget, design] : buttons) {
            const QCursor* cursor = CursorFor(design->MouseIcon);
            if (cursor && (!widget->testAttribute(Qt::WA_SetCursor) || widget->cursor() != *cursor))
                widget->setCursor(*cursor);
            else if (!cursor && widget->testAttribute(Qt::WA_SetCursor))
                widget->unsetCursor();
        }
    }
    m_picture2->Invalidate(changes);
}

bool GameWindow::eventFilter(QObject* watched, QEvent* event)
{
    const auto type = event->type();
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease)
        return PreviewKey(watched, event);
    if (type == QEvent::MouseMove || type == QEvent::MouseButtonPress) {
        const bool move = type == QEvent::MouseMove;
        if (watched == m_cmdAdvanced)
            Handle([this, move] { move ? m_form.cmdAdvanced_MouseMove() : m_form.cmdAdvanced_MouseDown(); });
        else if (watched == m_cmdStart)
            Handle([this, move] { move ? m_form.cmdStart_MouseMove() : m_form.cmdStart_MouseDown(); });
        else if (watched == m_cmdExit)
            Handle([this, move] { move ? m_form.cmdExit_MouseMove() : m_form.cmdExit_MouseDown(); });
    }
    return QWidget::eventFilter(watched, event);
}

bool GameWindow::PreviewKey(QObject* watched, QEvent* event)
{
    // A key event goes first to the focused widget and then, if ignored, up to its parents;
    // the window handles it once, at its first stop, and never consumes it.
    auto* widget = qobject_cast<QWidget*>(watched);
    QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : this;
    if (!widget || widget != target || widget->window() != this)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    // Tab moves the focus between the controls; it is not part of the game.
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)
        return false;
    if (event->type() == QEvent::KeyRelease) {
        if (!key->isAutoRepeat()) {
            const auto code = VirtualKeyCode(*key).value_or(0);
            Handle([this, code, key] { m_form.Form_KeyUp(code, ShiftState(key->modifiers())); });
        }
        return false;
    }
    if (const auto code = VirtualKeyCode(*key))
        Handle([this, code, key] { m_form.Form_KeyDown(*code, ShiftState(key->modifiers())); });
    if (const auto typed = TypedCharacter(*key))
        Handle([this, typed] { m_form.Form_KeyPress(*typed); });
    return false;
}

bool GameWindow::event(QEvent* event)
{
    // While the options window is open this window cannot become the active one. An
    // activation that the platform still delivers then (the click that opened the options
    // window activates this one, and the event arrives inside the modal loop) would bring the
    // panel back over a game that is still behind the options window.
    if (event->type() == QEvent::WindowActivate && !m_optionsOpen)
        Handle([this] { m_form.Form_Activate(); });
    return QWidget::event(event);
}

ScreenTwips GameWindow::ScreenSize() const
{
    const QSize size = m_screen->geometry().size();
    return {static_cast<float>(size.width()) * kTwipsPerPixel, static_cast<float>(size.height()) * kTwipsPerPixel};
}

std::string GameWindow::GroupSeparator() const
{
    const QString separator = QLocale().groupSeparator();
    // A locale without one still groups the digits, with the plain comma.
    return separator.isEmpty() ? std::string(",") : separator.toStdString();
}

void GameWindow::FocusPanel()
{
    m_picture1->setFocus(Qt::OtherFocusReason);
}

void GameWindow::ShowOptionsModal()
{
    // The panel must be gone from the screen before the modal loop starts.
    Mirror();
    {
        // Created afresh at each opening, exactly over the playing field. Its nested event
        // loop keeps delivering this window's timer ticks, so the game goes on behind it.
        OptionsDialog options(m_form.settings(), m_store, m_picture2, this);
        m_optionsOpen = true;
        options.exec();
        m_optionsOpen = false;
    }
    // The style keeps its drawings of buttons, bars and options in Qt's pixmap cache, filed
    // under each widget's palette. The options window's palettes are new at every opening, so
    // its drawings would pile up there, to the cache's 10 MB, never to be used again.
    QPixmapCache::clear();
    // Coming back from the options window activates this window again. Not every platform
    // reports that activation (offscreen, some Wayland compositors), so it is handled here too;
    // showing the panel twice is harmless.
    m_form.Form_Activate();
}

void GameWindow::Quit()
{
    QCoreApplication::exit(0);
}

} // namespace keyfall
