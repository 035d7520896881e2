// The field repaints only the places that changed. Whatever it leaves out stays on screen
// from an earlier frame, so a rectangle too small shows as a smear or a ghost letter. Here a
// scripted game runs on the virtual clock, and after every event the window's backing store
// (what the partial repaints built up) must equal a full repaint of the whole field.

#include "game/VirtualClock.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayField.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QTest>

#include <array>
#include <memory>
#include <optional>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

// Counts the paint events a widget receives and the pixels they cover.
class PaintCounter : public QObject {
public:
    int paints = 0;
    qint64 area = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            for (const QRect& rect : static_cast<QPaintEvent*>(event)->region())
                area += qint64{rect.width()} * rect.height();
        }
        return false;
    }
};

} // namespace

class PartialRepaintTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{4242};
    SilentCues m_cues;
    std::unique_ptr<GameWindow> m_window;
    std::unique_ptr<VirtualClock> m_clock;
    // The field's controls at the last compared frame: a frame in which none of them changed
    // was compared already.
    struct FieldState {
        std::array<Label, kSlots> letters;
        std::array<Image, kSlots> explosions;
        std::array<Image, kSlots> stars;
        std::array<Label, kSlots> scores;
        Label message;
        Label press;
        QString record;
        bool operator==(const FieldState&) const = default;
    };
    std::optional<FieldState> m_compared;
    int m_frames = 0;
    bool m_compare = true; // off where a test counts the field's paint events
    QString m_failure;

    FrmMain& Form() { return m_window->form(); }

    // The scene at `scale` times its own size: letters then sit on fractions of a pixel.
    void Open(int hardLow, int hardHigh, int rounds, double scale = 1.0)
    {
        m_store = {};
        m_store.Set("FallRates", "HardLow", std::to_string(hardLow));
        m_store.Set("FallRates", "HardHigh", std::to_string(hardHigh));
        m_store.Set("Rounds", "Max", std::to_string(rounds));
        m_store.Sync();
        const Presentation presentation{false, {scale == 1.0 ? ScaleMode::Natural : ScaleMode::Factor, scale}};
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues, nullptr, presentation);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        // From here on the virtual clock runs the game's timers, and the window mirrors and
        // paints each tick as its real timers would have it do; the event loop is never entered, so the
        // real timers never fire.
        m_clock = std::make_unique<VirtualClock>(Form());
        m_clock->SetAfterTick([this] {
            m_window->Tick([] {});
            CheckFrame();
        });
        Flush();
    }

    // Lets the window paint what it has marked, as the event loop would: only the pending
    // update requests are delivered, no timer and no input.
    static void Flush() { QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest); }

    // What is on screen now against a full repaint of the field in the same state.
    void CheckFrame()
    {
        Flush();
        ++m_frames;
        // Grabbing repaints the field, which a test that counts paints must not see.
        if (!m_compare || !m_failure.isEmpty())
            return;
        const FrmMain& f = Form();
        FieldState state{
            f.lblLetter, f.Explode, f.Star, f.Score, f.lblMessage, f.lblPress, m_window->picture2()->recordText()};
        if (m_compared == state)
            return;
        m_compared = std::move(state);
        PlayField* field = m_window->picture2();
        const qreal ratio = m_window->devicePixelRatioF();
        const QRect area(field->mapTo(m_window.get(), QPoint(0, 0)), field->size());
        const QImage onScreen = m_window->windowHandle()
                                    ->screen()
                                    ->grabWindow(m_window->winId(), area.x(), area.y(), area.width(), area.height())
                                    .toImage()
                                    .convertToFormat(QImage::Format_RGB32);
        const QImage full = field->grab().toImage().convertToFormat(QImage::Format_RGB32);
        if (onScreen.size() != full.size()) {
            m_failure = QStringLiteral("sizes differ: %1x%2 on screen, %3x%4 repainted, ratio %5")
                            .arg(onScreen.width())
                            .arg(onScreen.height())
                            .arg(full.width())
                            .arg(full.height())
                            .arg(ratio);
            return;
        }
        for (int y = 0; y < full.height(); ++y) {
            const auto* a = reinterpret_cast<const QRgb*>(onScreen.constScanLine(y));
            const auto* b = reinterpret_cast<const QRgb*>(full.constScanLine(y));
            for (int x = 0; x < full.width(); ++x) {
                if (a[x] != b[x]) {
                    m_failure = QStringLiteral("frame %1 (%2 ms of play): pixel (%3, %4) is %5 on screen, %6 "
                                               "in a full repaint")
                                    .arg(m_frames)
                                    .arg(m_clock->Now())
                                    .arg(x)
                                    .arg(y)
                                    .arg(a[x], 6, 16, QLatin1Char('0'))
                                    .arg(b[x], 6, 16, QLatin1Char('0'));
                    return;
                }
            }
        }
    }

    // A handler as the window runs it, then the frame it leaves.
    void Event(const std::function<void()>& handler)
    {
        m_window->Handle(handler);
        CheckFrame();
    }

    // A key as a player types it: echo on the way down, the character, echo gone on release.
    void Type(char32_t ch)
    {
        const auto code = static_cast<std::int16_t>(ch >= U'a' && ch <= U'z' ? ch - U'a' + U'A' : ch);
        Event([&] { Form().Form_KeyDown(code, 0); });
        Event([&] { Form().Form_KeyPress(ch); });
        Event([&] { Form().Form_KeyUp(code, 0); });
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void init()
    {
        m_frames = 0;
        m_compared.reset();
        m_compare = true;
        m_failure.clear();
    }

    void cleanup()
    {
        m_clock.reset();
        m_window.reset();
    }

    void everyFrameOfAGameEqualsAFullRepaint_data()
    {
        QTest::addColumn<double>("scale");
        QTest::newRow("own size") << 1.0;
        QTest::newRow("scaled down") << 0.7;
    }

    void everyFrameOfAGameEqualsAFullRepaint()
    {
        QFETCH(double, scale);
        Open(40, 70, 3, scale);
        QCOMPARE(m_window->metrics().Scale(), scale);
        Event([&] { Form().optDifficulty_Click(2); });
        Event([&] { Form().cmdStart_Click(); });
        int hits = 0;
        int wavesWithHits = 0;
        bool inPlay = false;
        // Each wave: the lowest letter is hit at two heights, each time with a key that
        // misses after it; the others land and explode. Then the tally, the round messages
        // and the next wave.
        while (Form().GameRunning && m_clock->Now() < 300000) {
            m_clock->Advance(25);
            QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
            if (!Form().WaveInPlay()) {
                wavesWithHits += inPlay && hits > 0 ? 1 : 0;
                inPlay = false;
                hits = 0;
                continue;
            }
            inPlay = true;
            const int lowest = Form().LowestLetter();
            if (hits < 2 && lowest >= 0 && Form().lblLetter[lowest].Top > (hits == 0 ? 2000.0f : 4000.0f)) {
                const std::string caption = Form().lblLetter[lowest].Caption;
                Type(static_cast<unsigned char>(caption[0]));
                Type(U'#'); // never falls: a miss
                ++hits;
            }
        }
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
        QVERIFY(!Form().GameRunning);
        QCOMPARE(Form().WavesLaunched(), 3);
        QCOMPARE(wavesWithHits, 3);
        QVERIFY(m_frames > 500);
        QVERIFY(m_compared.has_value());

        // A new record is greeted under the end message; the next game takes the line away.
        m_window->GreetRecord();
        QVERIFY(!m_window->picture2()->recordText().isEmpty());
        CheckFrame();
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));

        // The game is over; a new one starts, and is stopped in the middle of its wave.
        Event([&] { Form().cmdStart_Click(); });
        QVERIFY(m_window->picture2()->recordText().isEmpty());
        m_clock->Advance(1000);
        Event([&] { Form().cmdStart_Click(); });
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
    }

    void aNewTextWithinTheSameBoundsIsDrawn()
    {
        Open(0, 0, 8);
        // Only the round's number differs: the message covers the same pixels, with new text.
        for (const char* caption : {"Il giro 1 è finito", "Il giro 2 è finito", "Il giro 7 è finito"}) {
            Event([&] {
                Form().lblMessage.Caption = caption;
                Form().lblMessage.Visible = true;
            });
            QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
        }
    }

    void lettersAtRestCostNoPaint()
    {
        Open(0, 0, 8);
        m_compare = false;
        Event([&] { Form().optDifficulty_Click(2); });
        Event([&] { Form().cmdStart_Click(); });
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        m_clock->Advance(2000);
        QCOMPARE(counter.paints, 0);
        // A key that misses changes the total below the field, not the field; its echo does.
        Type(U'#');
        QCOMPARE(counter.paints, 2);
    }

    void aLetterPaintsOnlyWhenItReachesAnotherPixel()
    {
        Open(1, 1, 8); // a fifteenth of a pixel a tick
        m_compare = false;
        Event([&] { Form().optDifficulty_Click(2); });
        Event([&] { Form().cmdStart_Click(); });
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        m_clock->Advance(std::int64_t{30} * 25);
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
        // Thirty ticks take the wave two pixels down: two paints, give or take the first.
        QVERIFY2(counter.paints >= 1 && counter.paints <= 3, qPrintable(QString::number(counter.paints)));
    }

    void aTickRepaintsWhereLettersAreNotTheRowsBetween()
    {
        Open(10, 14, 8);
        m_compare = false;
        Event([&] { Form().optDifficulty_Click(2); });
        Event([&] { Form().cmdStart_Click(); });
        // Letters of different speeds drift apart: after a while they are spread over many rows.
        m_clock->Advance(3000);
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        m_clock->Advance(std::int64_t{10} * 25);
        QVERIFY(counter.paints > 0);
        // Eighteen letters' old and new places are about a twentieth of the field; full-width
        // bands over the rows they span were three times that.
        const QSize field = m_window->picture2()->contentsRect().size();
        const double fieldArea = static_cast<double>(field.width()) * field.height();
        const double share = static_cast<double>(counter.area) / counter.paints / fieldArea;
        QVERIFY2(share < 0.08, qPrintable(QString::number(share)));
    }

    // Handlers that write a control with the value it already has: nothing on screen changes,
    // so nothing is painted or written to a widget.
    void restatedValuesCostNothing()
    {
        Open(0, 0, 8);
        m_compare = false;
        Event([&] { Form().cmdStart_Click(); });
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        // A held key: the first press shows its echo, the auto-repeats restate it.
        Event([&] { Form().Form_KeyDown(75, 0); });
        QCOMPARE(counter.paints, 1);
        for (int repeat = 0; repeat < 5; ++repeat)
            Event([&] { Form().Form_KeyDown(75, 0); });
        QCOMPARE(counter.paints, 1);
        Event([&] { Form().Form_KeyUp(75, 0); });
        Event([&] { Form().Form_KeyUp(75, 0); });
        QCOMPARE(counter.paints, 2);
        // Every mouse move over a button asks for the open hand again, and activation shows
        // the panel that is already shown.
        PaintCounter panel;
        m_window->picture1()->installEventFilter(&panel);
        Event([&] { Form().cmdExit_MouseMove(); });
        const Qt::CursorShape shape = m_window->cmdExit()->cursor().shape();
        for (int move = 0; move < 5; ++move)
            Event([&] { Form().cmdExit_MouseMove(); });
        Event([&] { Form().Form_Activate(); });
        QCOMPARE(m_window->cmdExit()->cursor().shape(), shape);
        QCOMPARE(counter.paints, 2);
        QCOMPARE(panel.paints, 0);
    }

    // An explosion is repainted when it shows another frame, and only then.
    void anExplosionRepaintsOnlyForANewFrame()
    {
        Open(0, 0, 8);
        m_compare = false;
        Event([&] { Form().optDifficulty_Click(2); });
        Event([&] { Form().cmdStart_Click(); });
        const int slot = Form().LowestLetter();
        QVERIFY(slot >= 0);
        const auto s = static_cast<std::size_t>(slot);
        Event([&] {
            Form().Explode[s].Visible = true;
            Form().Explode[s].Picture = FirstExplosionFrame;
        });
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        int newFrames = 0;
        for (int tick = 0; tick < 40; ++tick) {
            const int before = Form().Explode[s].Picture;
            const int paints = counter.paints;
            m_window->Tick([&] { Form().TimerEsplosione_Timer(); });
            Flush();
            const bool isNew = Form().Explode[s].Picture != before;
            QCOMPARE(counter.paints - paints, isNew ? 1 : 0);
            newFrames += isNew ? 1 : 0;
        }
        QVERIFY(newFrames > 0 && newFrames < 40);
    }

    // Laying a caption out costs more than drawing it, and the echo of every typed key lies in
    // the path from the key to its star: a caption drawn before in the same font is not laid
    // out again.
    void aCaptionDrawnBeforeIsNotLaidOutAgain()
    {
        Open(0, 0, 8);
        Event([&] { Form().cmdStart_Click(); });
        const PlayField* field = m_window->picture2();
        Type(U'#');
        const std::size_t once = field->LayoutsMade();
        for (int again = 0; again < 5; ++again)
            Type(U'#');
        QCOMPARE(field->LayoutsMade(), once);
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
    }

    // At another scale the captions are laid out again in its fonts: a layout kept from the old
    // scale would repaint too small a place for the new text and leave part of it behind.
    void aNewScaleLaysCaptionsOutAgain()
    {
        Open(0, 0, 8);
        Event([&] { Form().cmdStart_Click(); });
        Type(U'W');
        const std::size_t before = m_window->picture2()->LayoutsMade();
        m_window->picture2()->SetMetrics(Metrics(2.0));
        CheckFrame();
        Type(U'W');
        QVERIFY(m_window->picture2()->LayoutsMade() > before);
        QVERIFY2(m_failure.isEmpty(), qPrintable(m_failure));
    }

    void anIdleWindowPaintsNothing()
    {
        Open(35, 50, 8);
        m_compare = false;
        PaintCounter counter;
        m_window->picture2()->installEventFilter(&counter);
        m_clock->Advance(5000);
        QCOMPARE(counter.paints, 0);
    }
};

QTEST_MAIN(PartialRepaintTest)
#include "PartialRepaintTest.moc"
