#include "ui/GameWindow.h"
#include "settings/MemoryStore.h"
#include "support/Doubles.h"
#include "ui/Fonts.h"
#include "ui/PlayField.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTest>

#include <algorithm>
#include <cctype>
#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue cue) override
    {
        played.push_back(cue);
        if (log)
            log->push_back("cue");
    }
    std::vector<Cue> played;
    std::vector<std::string>* log = nullptr;
};

// Writes "paint" into a log each time the widget it watches is painted.
class PaintLog : public QObject {
public:
    explicit PaintLog(std::vector<std::string>& log) : m_log(log) {}
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            m_log.emplace_back("paint");
        return false;
    }

private:
    std::vector<std::string>& m_log;
};

} // namespace

class GameWindowTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{17};
    SilentCues m_cues;
    std::unique_ptr<GameWindow> m_window;

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void init()
    {
        m_settings = {};
        m_store = {};
        m_cues.played.clear();
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues);
        m_window->show();
        m_window->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    }

    // Keys go in through the window, as the platform delivers them, so that they reach the
    // focused control exactly as a real key press does.
    void Type(Qt::Key key) { QTest::keyClick(m_window->windowHandle(), key); }

    void cleanup() { m_window.reset(); }

    void windowCoversTheScreenWithTheFieldCentred()
    {
        const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
        QCOMPARE(m_window->size(), screen);
        // Field and panel are 644 pixels wide; the field is 430 high, the panel 73.
        const int left = (screen.width() * 15 - 9660) / 2 / 15;
        const int top = static_cast<int>(std::lround((screen.height() * 15 - 6450) / 2.0 / 15));
        QCOMPARE(m_window->picture2()->geometry(), QRect(left, top, 644, 430));
        QCOMPARE(m_window->picture1()->geometry(), QRect(left, top + 430, 644, 73));
        QCOMPARE(m_window->label3()->geometry().bottom() + 1, top);
        QCOMPARE(m_window->label2()->geometry().bottom() + 1, m_window->label3()->y());
        QCOMPARE(m_window->label2()->x(), (screen.width() - m_window->label2()->width() + 1) / 2);
    }

    void fontsMapToTheDebianFamilies()
    {
        QCOMPARE(QFontInfo(Verdana(24, true)).family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(QFontInfo(Arial(12, true)).family(), QStringLiteral("Liberation Sans"));
        QCOMPARE(QFontInfo(Verdana(24, true)).pixelSize(), 32);
    }

    void startsIdleWithTheMediumLevel()
    {
        QVERIFY(m_window->optDifficulty(1)->isChecked());
        QCOMPARE(m_window->cmdStart()->text(), QStringLiteral("VIA"));
        QCOMPARE(m_window->lblTotal()->text(), QStringLiteral("0"));
        QCOMPARE(QApplication::focusWidget(), m_window->picture1());
        QCOMPARE(m_window->cursor().shape(), Qt::CrossCursor);
        QVERIFY(m_window->picture1()->isVisible());
    }

    void tabSkipsTheStartButton()
    {
        QSet<QWidget*> reached;
        for (int i = 0; i < 8; ++i) {
            Type(Qt::Key_Tab);
            reached.insert(QApplication::focusWidget());
        }
        QVERIFY(!reached.contains(m_window->cmdStart()));
        QVERIFY(reached.contains(m_window->cmdExit()));
        QVERIFY(reached.contains(m_window->cmdAdvanced()));
        // Tab moves the focus; it is not a miss.
        QCOMPARE(m_window->form().TotalScore, std::int16_t{0});
    }

    void tabReachesOnlyTheSelectedLevel()
    {
        // "Medio", in the middle of its group, is selected: Tab goes from the exit button to it
        // and on to the field, past "Difficile" and "Facile".
        const std::vector<QWidget*> cycle{m_window->cmdExit(), m_window->optDifficulty(1), m_window->picture2(),
                                          m_window->cmdAdvanced(), m_window->picture1()};
        for (QWidget* expected : cycle) {
            Type(Qt::Key_Tab);
            QCOMPARE(QApplication::focusWidget(), expected);
        }
        // Backtab goes the same way back.
        for (auto it = cycle.rbegin() + 1; it != cycle.rend(); ++it) {
            QTest::keyClick(m_window->windowHandle(), Qt::Key_Backtab, Qt::ShiftModifier);
            QCOMPARE(QApplication::focusWidget(), *it);
        }
        // Tab, Tab, Space from the panel presses the option already selected.
        m_window->picture1()->setFocus();
        Type(Qt::Key_Tab);
        Type(Qt::Key_Tab);
        Type(Qt::Key_Space);
        QVERIFY(m_window->optDifficulty(1)->isChecked());
        QCOMPARE(m_window->form().Difficulty, std::int16_t{50});

        // The arrow keys move within the group and select as they go; Tab then follows the
        // new choice.
        Type(Qt::Key_Right);
        QVERIFY(m_window->optDifficulty(2)->isChecked());
        QCOMPARE(m_window->form().Difficulty, std::int16_t{25});
        m_window->picture1()->setFocus();
        Type(Qt::Key_Tab);
        Type(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_window->optDifficulty(2));
        // A click on another level focuses and selects it.
        QTest::mouseClick(m_window->optDifficulty(0), Qt::LeftButton);
        QCOMPARE(QApplication::focusWidget(), m_window->optDifficulty(0));
        QCOMPARE(m_window->form().Difficulty, std::int16_t{100});
        Type(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), m_window->picture2());
    }

    void keysReachTheGameBeforeTheFocusedControl()
    {
        m_window->cmdExit()->setFocus();
        Type(Qt::Key_Q);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{-30});
        QCOMPARE(m_window->lblTotal()->text(), QStringLiteral("-30"));
        QVERIFY(m_window->isVisible());

        // Space still reaches the focused option afterwards and selects it.
        m_window->optDifficulty(0)->setFocus();
        Type(Qt::Key_Space);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{-60});
        QVERIFY(m_window->optDifficulty(0)->isChecked());
        QCOMPARE(m_window->form().Difficulty, std::int16_t{100});
    }

    void aHitIsPaintedBeforeTheKeyReturnsAndBeforeItsSound()
    {
        FrmMain& form = m_window->form();
        m_window->Handle([&] { form.cmdStart_Click(); });
        QCoreApplication::processEvents();
        const auto letter =
            std::find_if(form.lblLetter.begin(), form.lblLetter.end(), [](const Label& l) { return l.Visible; });
        QVERIFY(letter != form.lblLetter.end());
        const QString typed = QString::fromStdString(letter->Caption);
        const auto slot = static_cast<std::size_t>(letter - form.lblLetter.begin());

        std::vector<std::string> log;
        m_cues.log = &log;
        PaintLog paints(log);
        m_window->picture2()->installEventFilter(&paints);
        QWidget* focused = QApplication::focusWidget() ? QApplication::focusWidget() : m_window.get();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
        QApplication::sendEvent(focused, &press);
        m_cues.log = nullptr;
        // Nothing else ran meanwhile: no turn of the event loop came between the key and this.
        QVERIFY(form.Star[slot].Visible);
        QVERIFY2(!log.empty() && log.front() == "paint", "the star is on the screen when the key event returns");
        QCOMPARE(std::count(log.begin(), log.end(), "cue"), 1);
        QCOMPARE(m_cues.played.back(), Cue::LaserFire);
        QCOMPARE(log.back(), std::string("cue"));
    }

    void lettersThatStandStillWakeNobodyAndAreTimedAllTheSame()
    {
        m_store.Set("FallRates", "MedLow", "0");
        m_store.Set("FallRates", "MedHigh", "0");
        m_store.Sync();
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues);
        test::RecordingEvents events;
        FrmMain& form = m_window->form();
        form.SetEvents(events);
        QTimer* letters = m_window->timers().findChildren<QTimer*>().front();
        QElapsedTimer clock;
        clock.start();
        m_window->Handle([&] { form.cmdStart_Click(); });
        QVERIFY(form.LettersShown());
        QVERIFY2(!letters->isActive(), "no tick while nothing moves");
        QTest::qWait(300);
        const auto letter =
            std::find_if(form.lblLetter.begin(), form.lblLetter.end(), [](const Label& l) { return l.Visible; });
        QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString::fromStdString(letter->Caption));
        QApplication::sendEvent(m_window.get(), &press);
        const auto hit = std::find_if(events.events.begin(), events.events.end(),
                                      [](const auto& e) { return e.kind == test::RecordingEvents::Hit_; });
        QVERIFY(hit != events.events.end());
        // Timed as if the medium level's 50 ms ticks had come all along.
        QVERIFY2(hit->ticks >= 300 / 50 && hit->ticks <= clock.elapsed() / 50, qPrintable(QString::number(hit->ticks)));
        QCOMPARE(letter->Top, 0.0f);
    }

    void onlyKeysThatTypeACharacterCount()
    {
        // Delete, Alt and Meta chords and Ctrl alone type nothing, so they cost nothing.
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Delete);
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Q, Qt::AltModifier);
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Q, Qt::MetaModifier);
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Control, Qt::ControlModifier);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{0});
        // Backspace, Enter and Escape are typed characters: each is a miss.
        Type(Qt::Key_Backspace);
        Type(Qt::Key_Return);
        Type(Qt::Key_Escape);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{-90});
        // In a game, Alt with a falling letter's key hits nothing and leaves it falling.
        m_window->form().cmdStart_Click();
        int slot = 0;
        while (!m_window->form().lblLetter[slot].Visible)
            ++slot;
        const QString letter = QString::fromStdString(m_window->form().lblLetter[slot].Caption);
        QTest::keyClick(m_window->windowHandle(), letter.at(0).toLatin1(), Qt::AltModifier);
        QVERIFY(m_window->form().lblLetter[slot].Visible);
        QVERIFY(!m_window->form().Star[slot].Visible);
    }

    void ctrlChordsAreTypedKeysThatHitNothing()
    {
        // Ctrl+letter and Ctrl+Return type control characters: each is a miss.
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
        QTest::keyClick(m_window->windowHandle(), Qt::Key_Return, Qt::ControlModifier);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{-60});
        QCOMPARE(std::count(m_cues.played.begin(), m_cues.played.end(), Cue::Miss), 2);
        // In a game, Ctrl with a falling letter's key is a miss too: the letter goes on falling.
        m_window->form().cmdStart_Click();
        int slot = 0;
        while (!m_window->form().lblLetter[slot].Visible)
            ++slot;
        const char letter = m_window->form().lblLetter[slot].Caption.at(0);
        const auto key = static_cast<Qt::Key>(std::toupper(static_cast<unsigned char>(letter)));
        QTest::keyClick(m_window->windowHandle(), key, Qt::ControlModifier);
        QVERIFY(m_window->form().lblLetter[slot].Visible);
        QVERIFY(!m_window->form().Star[slot].Visible);
        QCOMPARE(m_window->form().TotalScore, std::int16_t{-30});
    }

    void startButtonStartsAndStopsAGame()
    {
        QTest::mouseClick(m_window->cmdStart(), Qt::LeftButton);
        QVERIFY(m_window->form().GameRunning);
        // Captions wider than the button break between words.
        QCOMPARE(m_window->cmdStart()->text().replace(QLatin1Char('\n'), QLatin1Char(' ')), QStringLiteral("DA CAPO"));
        QCOMPARE(QApplication::focusWidget(), m_window->picture1());
        // The letter timer really runs the wave: some letter moves down. The wait ends at the
        // first move; its length only gives a loaded machine time to schedule the tick.
        QTRY_VERIFY_WITH_TIMEOUT(std::any_of(m_window->form().lblLetter.begin(), m_window->form().lblLetter.end(),
                                             [](const Label& l) { return l.Visible && l.Top > 0; }),
                                 30000);

        // The echo follows the held key; a typed letter hits or misses.
        QTest::keyPress(m_window->windowHandle(), Qt::Key_K);
        QCOMPARE(QString::fromStdString(m_window->form().lblPress.Caption), QStringLiteral("K"));
        QTest::keyRelease(m_window->windowHandle(), Qt::Key_K);
        QCOMPARE(QString::fromStdString(m_window->form().lblPress.Caption), QString());

        QTest::mouseClick(m_window->cmdStart(), Qt::LeftButton);
        QVERIFY(!m_window->form().GameRunning);
        QCOMPARE(m_window->cmdStart()->text(), QStringLiteral("VIA"));
    }

    void fieldPaintsTheLettersItShows()
    {
        QTest::mouseClick(m_window->cmdStart(), Qt::LeftButton);
        FrmMain& form = m_window->form();
        int slot = -1;
        for (int i = 0; i < kSlots; ++i) {
            if (form.lblLetter[i].Visible)
                slot = i;
        }
        QVERIFY(slot >= 0);
        // The letter is painted red in its own column.
        const QImage shot = m_window->picture2()->grab().toImage();
        const int column = 2 + static_cast<int>(form.lblLetter[slot].Left / 15);
        const int row = 2 + static_cast<int>(form.lblLetter[slot].Top / 15);
        int red = 0;
        for (int y = row; y < row + 38 && y < shot.height(); ++y) {
            for (int x = column; x < column + 27; ++x) {
                const QColor c = shot.pixelColor(x, y);
                red += (c.red() > 200 && c.green() < 60 && c.blue() < 60) ? 1 : 0;
            }
        }
        QVERIFY2(red > 20, "no red letter pixels in the letter's column");
    }
};

QTEST_MAIN(GameWindowTest)
#include "GameWindowTest.moc"
