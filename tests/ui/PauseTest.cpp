// The pause of a running game, on the window's real timers: keys typed while paused cost
// nothing, no timer ticks, the field says how to go on, and a game that ends takes the pause
// with it.

#include "ui/Pause.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayField.h"

#include <QPushButton>
#include <QTest>

#include <array>
#include <memory>

using namespace keyfall;

namespace {

class CountingCues : public CuePlayer {
public:
    void PlayCue(Cue) override { ++played; }
    int played = 0;
};

std::array<float, kSlots> Tops(const FrmMain& form)
{
    std::array<float, kSlots> tops{};
    for (int i = 0; i < kSlots; ++i)
        tops[static_cast<std::size_t>(i)] = form.lblLetter[static_cast<std::size_t>(i)].Top;
    return tops;
}

} // namespace

class PauseTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{7};
    CountingCues m_cues;
    std::unique_ptr<GameWindow> m_window;
    std::unique_ptr<PauseControl> m_pause; // goes before the window

    FrmMain& Form() { return m_window->form(); }
    void Press(Qt::Key key) { QTest::keyClick(m_window->windowHandle(), key); }
    bool Overlaid() const
    {
        const auto overlays = m_window->picture2()->findChildren<PauseOverlay*>();
        return overlays.size() == 1 && overlays.front()->isVisible();
    }

    // A game on the hard level whose letters are already falling.
    void StartGame()
    {
        m_window->Handle([this] { Form().optDifficulty_Click(2); });
        m_window->Handle([this] { Form().cmdStart_Click(); });
        QVERIFY(Form().GameRunning);
        const auto launched = Tops(Form());
        QTRY_VERIFY_WITH_TIMEOUT(Tops(Form()) != launched, 10000);
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void init()
    {
        m_settings = {};
        m_store = {};
        m_cues.played = 0;
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues);
        m_pause = std::make_unique<PauseControl>(*m_window);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    void cleanup()
    {
        m_pause.reset();
        m_window.reset();
    }

    void pausedNothingFallsAndTypingCostsNothing()
    {
        StartGame();
        Press(Qt::Key_Pause);
        QVERIFY(m_pause->Paused());
        QVERIFY(Overlaid());
        const auto tops = Tops(Form());
        const std::int16_t total = Form().TotalScore;
        const int cues = m_cues.played;
        const std::string echo = Form().lblPress.Caption;
        // A palm on the keyboard while paused: misses, hits and echoes alike go nowhere.
        for (Qt::Key key : {Qt::Key_A, Qt::Key_Q, Qt::Key_5, Qt::Key_Space, Qt::Key_Return, Qt::Key_Z})
            Press(key);
        QTest::qWait(400); // sixteen ticks of the hard level
        QCOMPARE(Tops(Form()), tops);
        QCOMPARE(Form().TotalScore, total);
        QCOMPARE(m_cues.played, cues);
        QCOMPARE(Form().lblPress.Caption, echo);

        // F5 goes on as Pause does, and the letters fall again from where they stood.
        Press(Qt::Key_F5);
        QVERIFY(!m_pause->Paused());
        QVERIFY(!Overlaid());
        QTRY_VERIFY_WITH_TIMEOUT(Tops(Form()) != tops, 10000);
        // Typed again, a key that hits nothing costs the miss penalty as before.
        Press(Qt::Key_Exclam);
        QCOMPARE(Form().TotalScore, static_cast<std::int16_t>(total - kMissPenalty));
    }

    void betweenGamesThePauseKeysDoNothing()
    {
        const std::string echo = Form().lblPress.Caption;
        Press(Qt::Key_Pause);
        Press(Qt::Key_F5);
        QVERIFY(!m_pause->Paused());
        QVERIFY(!Overlaid());
        QCOMPARE(Form().lblPress.Caption, echo);
    }

    void aGameStoppedWhilePausedTakesThePauseWithIt()
    {
        StartGame();
        Press(Qt::Key_Pause);
        QVERIFY(m_pause->Paused());
        QTest::mouseClick(m_window->cmdStart(), Qt::LeftButton);
        QVERIFY(!Form().GameRunning);
        QTRY_VERIFY(!m_pause->Paused());
        QVERIFY(!Overlaid());
        // The next game's letters fall: no timer is still held.
        StartGame();
    }
};

QTEST_MAIN(PauseTest)
#include "PauseTest.moc"
