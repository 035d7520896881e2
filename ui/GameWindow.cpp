#include "ui/GameWindow.h"

#include "ui/Cursors.h"
#include "ui/Fonts.h"
#include "ui/KeyMap.h"
#include "ui/OptionsDialog.h"
#include "ui/PlayField.h"
#include "ui/Widgets.h"

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
#include <QStyle>
#include <QTimer>

#include <algorithm>

namespace keyfall {
namespace {

void SetTextIfChanged(QLabel* label, const std::string& caption)
{
    const QString text = Text(caption);
    if (label->text() != text)
        label->setText(text);
}

} // namespace

QScreen* ScreenUnderPointer()
{
    QScreen* screen = QGuiApplication::screenAt(QCursor::pos());
    return screen ? screen : QGuiApplication::primaryScreen();
}

GameWindow::GameWindow(Settings& settings, SettingsStore& store, Random& random, CuePlayer& cues, QScreen* screen,
                       Presentation presentation)
    : QWidget(nullptr, presentation.Windowed ? Qt::Window : Qt::FramelessWindowHint), m_store(store), m_cues(cues),
      m_form(settings, store, random, m_cues, *this), m_screen(screen ? screen : ScreenUnderPointer()),
      m_presentation(presentation)
{
    setWindowTitle(QStringLiteral("Keyfall"));
    setWindowIcon(QIcon(QStringLiteral(":/icon.ico")));
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::black);
    setPalette(palette);
    setCursor(Qt::CrossCursor);
    BuildWidgets();

    // With no letter on the field the letters' timer would tick ten times a second for nothing;
    // with letters that all stand still its ticks would only time them, so they are counted
    // instead, and handed to the game before a typed key reads them.
    m_timers.Add(
        m_form.timerLetters, [this] { Tick([this] { m_form.timerLetters_Timer(); }); },
        [this] { return m_form.LettersShown(); }, [this] { return !m_form.LettersMoving(); },
        [this](std::int64_t ticks) { m_form.LetterTicksPassed(ticks); });
    m_timers.Add(m_form.TimerEsplosione, [this] { Tick([this] { m_form.TimerEsplosione_Timer(); }); });
    m_timers.Add(m_form.TimerRound, [this] { Tick([this] { m_form.TimerRound_Timer(); }); });
    m_timers.Add(m_form.timerScore, [this] { Tick([this] { m_form.timerScore_Timer(); }); });

    m_area = AvailableArea();
    m_metrics = Metrics(ChooseScale(m_area, SceneSize(), m_presentation.Scale));
    Handle([this] { m_form.Form_Load(); });
    ApplyLayout();
    if (m_presentation.Windowed)
        setFixedSize(m_area);
    else
        setGeometry(QRect(m_screen->geometry().topLeft(), m_area));
    m_picture1->setFocus(Qt::OtherFocusReason);

    WatchScreen(m_screen);
    // A monitor unplugged under the game: the platform moves the window to another one.
    connect(qApp, &QGuiApplication::screenRemoved, this, [this](QScreen* removed) {
        if (removed == m_screen)
            WatchScreen(QGuiApplication::primaryScreen());
    });

    // Key preview: the window sees every key before the focused control does, and the buttons'
    // mouse moves and presses for their pointers. Filters on the widgets themselves see each
    // delivery once; an application-wide filter can be handed the same key event twice.
    for (QWidget* child : findChildren<QWidget*>())
        child->installEventFilter(this);
    installEventFilter(this);
}

void GameWindow::WatchScreen(QScreen* screen)
{
    disconnect(m_screenWatch);
    m_screen = screen;
    if (!m_screen)
        return;
    // The layout follows the screen's size; the window follows the screen only when it covers it.
    m_screenWatch = connect(m_screen, &QScreen::geometryChanged, this, [this] { FitTo(AvailableArea()); });
    if (m_area != AvailableArea())
        FitTo(AvailableArea());
}

QSize GameWindow::AvailableArea() const
{
    if (!m_presentation.Windowed)
        return m_screen->geometry().size();
    // A window never larger than the desktop leaves room for: on a small screen it shrinks and
    // the scene with it.
    return kWindowSize.boundedTo(m_screen->availableGeometry().size());
}

QSizeF GameWindow::SceneSize() const
{
    const FrmMain& f = m_form;
    const float width = std::max({f.Picture2.Width, f.Picture1.Width, f.Label2.Width, f.Label3.Width});
    // The field is centred on the screen, the panel below it and the captions above it: the
    // screen must hold the field and twice the taller of the two.
    const float height = f.Picture2.Height + 2 * std::max(f.Picture1.Height, f.Label2.Height + f.Label3.Height);
    return {width / kTwipsPerPixel, height / kTwipsPerPixel};
}

void GameWindow::FitTo(const QSize& area)
{
    if (area.isEmpty())
        return;
    m_area = area;
    m_metrics = Metrics(ChooseScale(m_area, SceneSize(), m_presentation.Scale));
    Handle([this] { m_form.Form_Resize(); });
    ApplyLayout();
    if (m_presentation.Windowed)
        setFixedSize(m_area);
    else
        setGeometry(QRect(m_screen->geometry().topLeft(), m_area));
}

void GameWindow::BuildWidgets()
{
    m_picture2 = new PlayField(m_form, this);
    m_picture2->setFocusPolicy(Qt::StrongFocus);
    m_picture2->setCursor(Qt::ArrowCursor);

    m_picture1 = new QFrame(this);
    m_picture1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_picture1->setAutoFillBackground(true);
    m_picture1->setPalette(WhiteOnBlack(m_picture1->palette()));
    m_picture1->setFocusPolicy(Qt::StrongFocus);
    m_picture1->setCursor(Qt::ArrowCursor);

    m_cmdAdvanced = MakeButton(m_picture1);
    m_frame1 = new QGroupBox(QStringLiteral("LIVELLO"), m_picture1);
    m_frame1->setPalette(WhiteOnBlack(m_frame1->palette()));
    m_frame1->setFocusPolicy(Qt::NoFocus);
    for (std::size_t i = 0; i < m_optDifficulty.size(); ++i) {
        const OptionButton& design = m_form.optDifficulty[i];
        auto* option = new QRadioButton(Text(design.Caption), m_frame1);
        option->setPalette(OptionPalette(option->palette()));
        option->setChecked(design.Value);
        connect(option, &QRadioButton::clicked, this,
                [this, i] { Handle([this, i] { m_form.optDifficulty_Click(static_cast<std::int16_t>(i)); }); });
        m_optDifficulty[i] = option;
    }
    TabToSelectedOption(m_optDifficulty);
    m_cmdStart = MakeButton(m_picture1);
    // Clicks may focus it, the Tab key never does.
    m_cmdStart->setFocusPolicy(Qt::ClickFocus);
    m_cmdExit = MakeButton(m_picture1);
    for (QPushButton* button : {m_cmdAdvanced, m_cmdStart, m_cmdExit})
        button->setPalette(SilverFace(button->palette()));
    m_label1 = MakeLabel(m_picture1, m_form.Label1.Caption, Qt::white, Qt::AlignHCenter | Qt::AlignTop);
    m_lblTotal = MakeLabel(m_picture1, m_form.lblTotal.Caption, Qt::white, Qt::AlignHCenter | Qt::AlignTop);

    m_label3 = MakeLabel(this, m_form.Label3.Caption, QColor(0xFF, 0x00, 0x00), Qt::AlignLeft | Qt::AlignTop);
    m_label2 = MakeLabel(this, m_form.Label2.Caption, QColor(0x00, 0x00, 0xFF), Qt::AlignLeft | Qt::AlignTop);
    // The two one-line labels size themselves to their text; the start-up layout centres
    // them from these sizes, measured at the layout's own scale.
    m_label2->setText(tr("keyfall.example.org"));
    m_label3->setText(tr("Dieci dita, mille lettere: allenati giocando"));
    m_label2->setFont(Verdana(18, true, true));
    m_label3->setFont(Verdana(9.75, true));
    for (auto [label, design] : {std::pair{m_label2, &m_form.Label2}, std::pair{m_label3, &m_form.Label3}}) {
        label->adjustSize();
        design->Caption = label->text().toStdString();
        design->Width = static_cast<float>(label->width()) * kTwipsPerPixel;
        design->Height = static_cast<float>(label->height()) * kTwipsPerPixel;
    }

    connect(m_cmdStart, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdStart_Click(); }); });
    connect(m_cmdExit, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdExit_Click(); }); });
    connect(m_cmdAdvanced, &QPushButton::clicked, this, [this] { Handle([this] { m_form.cmdAdvanced_Click(); }); });

    // Tab cycles through the panel, the exit button, the selected level, the field and the
    // options button.
    setTabOrder(m_picture1, m_cmdExit);
    setTabOrder(m_cmdExit, m_optDifficulty[2]);
    setTabOrder(m_optDifficulty[2], m_optDifficulty[1]);
    setTabOrder(m_optDifficulty[1], m_optDifficulty[0]);
    setTabOrder(m_optDifficulty[0], m_picture2);
    setTabOrder(m_picture2, m_cmdAdvanced);
}

void GameWindow::ApplyLayout()
{
    const Metrics& m = m_metrics;
    m_picture2->SetMetrics(m);
    m_picture2->setGeometry(m.PxRect(m_form.Picture2));
    m_picture1->setLineWidth(m.Scaled(kBorderWidth));
    m_picture1->setGeometry(m.PxRect(m_form.Picture1));

    const QFont buttonFont = m.Font(Verdana(9.75, true));
    const std::array<std::pair<QPushButton*, const Button*>, 3> buttons{
        {{m_cmdAdvanced, &m_form.cmdAdvanced}, {m_cmdStart, &m_form.cmdStart}, {m_cmdExit, &m_form.cmdExit}}};
    for (const auto& [widget, design] : buttons) {
        widget->setFont(buttonFont);
        widget->setGeometry(m.PxRect(*design, kBorderWidth));
        SetCaption(widget, design->Caption);
    }
    m_frame1->setFont(buttonFont);
    m_frame1->setGeometry(m.PxRect(m_form.Frame1, kBorderWidth));
    // The style draws the options' circles at one size; scaled, they follow the captions.
    const int circle = m.Scaled(style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth));
    const QString circleSize =
        m.Scale() == 1.0 ? QString()
                         : QStringLiteral("QRadioButton::indicator { width: %1px; height: %1px; }").arg(circle);
    for (std::size_t i = 0; i < m_optDifficulty.size(); ++i) {
        m_optDifficulty[i]->setFont(m.Font(Verdana(9.75, false)));
        m_optDifficulty[i]->setGeometry(m.PxRect(m_form.optDifficulty[i]));
        m_optDifficulty[i]->setStyleSheet(circleSize);
    }
    m_label1->setFont(m.Font(Verdana(18, true)));
    m_label1->setGeometry(m.PxRect(m_form.Label1, kBorderWidth));
    m_lblTotal->setFont(m.Font(Verdana(20.25, true)));
    m_lblTotal->setGeometry(m.PxRect(m_form.lblTotal, kBorderWidth));
    m_label2->setFont(m.Font(Verdana(18, true, true)));
    m_label3->setFont(m.Font(Verdana(9.75, true)));
    for (QLabel* label : {m_label2, m_label3})
        label->adjustSize();
    Mirror();
}

void GameWindow::Handle(const std::function<void()>& handler, Repaint when)
{
    handler();
    Mirror(when);
}

void GameWindow::Tick(const std::function<void()>& handler)
{
    handler();
    Mirror(Repaint::Now);
}

void GameWindow::Mirror(Repaint when)
{
    m_timers.Sync();
    // The widgets are written only where the game's controls differ from what was last
    // written to them: a letter tick touches the field and nothing else, and a tick in which
    // nothing moves touches nothing.
    const Metrics& m = m_metrics;
    const std::array<QPoint, 4> places{
        QPoint(m.Px(m_form.Picture2.Left), m.Px(m_form.Picture2.Top)),
        QPoint(m.Px(m_form.Picture1.Left), m.Px(m_form.Picture1.Top)),
        QPoint(m.Px(m_form.Label2.Left), m.Px(m_form.Label2.Top)),
        QPoint(m.Px(m_form.Label3.Left), m.Px(m_form.Label3.Top)),
    };
    if (places != m_shown.places) {
        m_shown.places = places;
        m_picture2->move(places[0]);
        m_picture1->move(places[1]);
        m_label2->move(places[2]);
        m_label3->move(places[3]);
        m_picture2->RepaintAll();
    }
    if (m_shown.panel != m_form.Picture1.Visible) {
        m_shown.panel = m_form.Picture1.Visible;
        m_picture1->setVisible(m_shown.panel);
    }
    if (m_shown.startCaption != m_form.cmdStart.Caption) {
        m_shown.startCaption = m_form.cmdStart.Caption;
        SetCaption(m_cmdStart, m_shown.startCaption);
    }
    if (m_shown.total != m_form.lblTotal.Caption) {
        m_shown.total = m_form.lblTotal.Caption;
        SetTextIfChanged(m_lblTotal, m_shown.total);
    }
    std::array<bool, 3> levels{};
    for (std::size_t i = 0; i < levels.size(); ++i)
        levels[i] = m_form.optDifficulty[i].Value;
    if (levels != m_shown.levels) {
        m_shown.levels = levels;
        for (std::size_t i = 0; i < m_optDifficulty.size(); ++i) {
            if (m_optDifficulty[i]->isChecked() != levels[i])
                m_optDifficulty[i]->setChecked(levels[i]);
        }
        TabToSelectedOption(m_optDifficulty);
    }
    const std::array<std::pair<QPushButton*, const Button*>, 3> buttons{
        {{m_cmdAdvanced, &m_form.cmdAdvanced}, {m_cmdStart, &m_form.cmdStart}, {m_cmdExit, &m_form.cmdExit}}};
    for (std::size_t i = 0; i < buttons.size(); ++i) {
        const auto& [widget, design] = buttons[i];
        if (m_shown.icons[i] == design->MouseIcon)
            continue;
        m_shown.icons[i] = design->MouseIcon;
        if (const QCursor* cursor = CursorFor(design->MouseIcon))
            widget->setCursor(*cursor);
        else
            widget->unsetCursor();
    }
    // The greeting belongs to the finished game's end message and goes with it.
    if (m_form.GameRunning || !m_form.lblMessage.Visible || m_form.lblMessage.Caption != kGameOverText)
        m_picture2->SetRecordText({});
    m_picture2->Refresh(when);
    if (m_mirrored)
        m_mirrored();
}

void GameWindow::GreetRecord()
{
    if (!m_form.GameRunning && m_form.lblMessage.Visible && m_form.lblMessage.Caption == kGameOverText)
        m_picture2->SetRecordText(QStringLiteral("Nuovo record!"));
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
    // F2 types nothing, so opening the statistics between games costs the player nothing.
    // They open once this key event is over, not inside it.
    if (key->key() == Qt::Key_F2 && !key->isAutoRepeat() && !m_form.GameRunning && m_openStats)
        QTimer::singleShot(0, this, m_openStats);
    if (const auto typed = TypedCharacter(*key)) {
        // What the key hit is painted before this event returns, not on a later turn of the
        // event loop, and before its sound is queued.
        m_cues.Hold();
        m_timers.CatchUp();
        Handle([this, typed] { m_form.Form_KeyPress(*typed); }, Repaint::Now);
        m_cues.Release();
    }
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
    // The area in the scene's own pixels: the layout centres the scene in it at scale 1, and
    // the metrics draw the result at the scene's scale, centred in the real area.
    const double scale = m_metrics.Scale();
    return {static_cast<float>(m_area.width() / scale) * kTwipsPerPixel,
            static_cast<float>(m_area.height() / scale) * kTwipsPerPixel};
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
        OptionsDialog options(m_form.settings(), m_store, m_picture2, this, m_metrics);
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
