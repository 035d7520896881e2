#pragma once
// The main window on screen. It owns the game's window logic (FrmMain), forwards every
// event to its handler and, after each one, mirrors the control state onto the widgets and
// the timers. It is also the game's Host: focus, the options window, quitting, the screen.

#include "game/FrmMain.h"
#include "ui/DeferredCues.h"
#include "ui/Metrics.h"
#include "ui/PlayField.h"
#include "ui/TimerDriver.h"

#include <QPoint>
#include <QWidget>

#include <array>
#include <functional>
#include <string>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace keyfall {

// Where the game is shown: over the whole screen, or in an ordinary window of the size of
// the smallest screen the layout is made for; and at what scale.
struct Presentation {
    bool Windowed = false;
    SceneScale Scale;
};

// The size of the game's own window, in logical pixels.
inline constexpr QSize kWindowSize{800, 600};

// The monitor the player is looking at: the one under the pointer, where the launcher was
// clicked, else the primary one.
QScreen* ScreenUnderPointer();
// The fewest bits per pixel a screen needs for the game's windows. On X11, Qt has no image
// format for a screen of fewer (8-bit colour, say): nothing it paints there reaches the screen,
// and its styles crash drawing frames into pictures they could not make.
inline constexpr int kLeastScreenDepth = 15;

class GameWindow : public QWidget, public Host {
    Q_OBJECT
public:
    GameWindow(Settings& settings, SettingsStore& store, Random& random, CuePlayer& cues, QScreen* screen = nullptr,
               Presentation presentation = {});

    FrmMain& form() { return m_form; }
    // The game's timers as they run on screen (a pause holds them).
    TimerDriver& timers() { return m_timers; }
    const Metrics& metrics() const { return m_metrics; }

    // Lays the scene out again for an area of `area` logical pixels (the new size of the
    // screen, or of the window), at the scale the player asked for, and takes that size.
    // The game goes on as it was. The screen's own size changes come here.
    void FitTo(const QSize& area);

    // Runs one handler of the game and mirrors what it changed; the field repaints `when` asked.
    void Handle(const std::function<void()>& handler, Repaint when = Repaint::Later);
    // Runs a timer's handler: what moved is painted before the tick returns.
    void Tick(const std::function<void()>& handler);

    // Called after the widgets have followed each handler and tick: what shows the game beside
    // the specified controls (the on-screen keyboard) follows it from here.
    void SetMirrored(std::function<void()> mirrored) { m_mirrored = std::move(mirrored); }

    // What F2 does when no game runs: open the statistics.
    void SetStatsOpener(std::function<void()> open) { m_openStats = std::move(open); }
    // Greets a new personal record under the end message, if the game that made it is still
    // the one on the screen.
    void GreetRecord();

    // Host
    ScreenTwips ScreenSize() const override;
    std::string GroupSeparator() const override;
    void FocusPanel() override;
    void ShowOptionsModal() override;
    void Quit() override;

    // The widgets, for the layout tests.
    PlayField* picture2() const { return m_picture2; }
    QFrame* picture1() const { return m_picture1; }
    QLabel* label2() const { return m_label2; }
    QLabel* label3() const { return m_label3; }
    QLabel* lblTotal() const { return m_lblTotal; }
    QPushButton* cmdStart() const { return m_cmdStart; }
    QPushButton* cmdExit() const { return m_cmdExit; }
    QPushButton* cmdAdvanced() const { return m_cmdAdvanced; }
    QRadioButton* optDifficulty(int index) const { return m_optDifficulty.at(static_cast<std::size_t>(index)); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;

private:
    void BuildWidgets();
    void ApplyLayout();
    // Mirrors what the handlers changed; the field repaints `when` asked.
    void Mirror(Repaint when = Repaint::Later);
    void WatchScreen(QScreen* screen);
    QSize AvailableArea() const;
    // The scene's extent at scale 1: field, panel and captions centred as the layout does.
    QSizeF SceneSize() const;
    bool PreviewKey(QObject* watched, QEvent* event);

    SettingsStore& m_store; // the options window saves into it
    DeferredCues m_cues;    // the game's cues, held while a typed key is painted
    FrmMain m_form;
    QScreen* m_screen;
    Presentation m_presentation;
    QSize m_area;
    Metrics m_metrics;
    QMetaObject::Connection m_screenWatch;
    TimerDriver m_timers;
    bool m_optionsOpen = false;
    std::function<void()> m_openStats;
    std::function<void()> m_mirrored;
    // What the widgets outside the field were last given, to compare the game's controls with.
    struct Shown {
        std::array<QPoint, 4> places{}; // Picture2, Picture1, Label2, Label3
        bool panel = true;
        std::string startCaption;
        std::string total;
        std::array<bool, 3> levels{};                              // optDifficulty's values
        std::array<int, 3> icons{NoPicture, NoPicture, NoPicture}; // cmdAdvanced, cmdStart, cmdExit
    } m_shown;

    PlayField* m_picture2 = nullptr;
    QFrame* m_picture1 = nullptr;
    QLabel* m_label2 = nullptr;
    QLabel* m_label3 = nullptr;
    QPushButton* m_cmdAdvanced = nullptr;
    QGroupBox* m_frame1 = nullptr;
    std::array<QRadioButton*, 3> m_optDifficulty{};
    QPushButton* m_cmdStart = nullptr;
    QPushButton* m_cmdExit = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_lblTotal = nullptr;
};

} // namespace keyfall
