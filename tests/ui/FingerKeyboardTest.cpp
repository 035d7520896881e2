// The on-screen keyboard as it follows a game on the virtual clock: the key of the lowest
// falling character is lit with the modifier it needs, the light moves when that character is
// hit, and a tick that leaves the light where it is costs the keyboard no paint.

#include "ui/FingerKeyboard.h"
#include "game/VirtualClock.h"
#include "settings/MemoryStore.h"
#include "teach/Keymap.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/KeyboardGuide.h"
#include "ui/PlayerKeymap.h"

#include <QPaintEvent>
#include <QTest>

#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

class PaintCounter : public QObject {
public:
    int paints = 0;
    QRegion region;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            ++paints;
            region += static_cast<QPaintEvent*>(event)->region();
        }
        return false;
    }
};

teach::KeymapResult Italian()
{
    return teach::KeymapFromNames({}, "pc105", "it");
}

} // namespace

class FingerKeyboardTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{99};
    SilentCues m_cues;
    std::unique_ptr<KeymapHolder> m_keymap;
    std::unique_ptr<GameWindow> m_window;
    std::unique_ptr<VirtualClock> m_clock;
    std::unique_ptr<KeyboardGuide> m_guide; // goes before the window

    FrmMain& Form() { return m_window->form(); }

    void Open(const char* keySet)
    {
        m_store = {};
        for (const char* set : {"Maiu", "Minu", "Nume", "MaiuMinu", "MaiuMinuNume"})
            m_store.Set("Selezione", set, set == std::string(keySet) ? "True" : "False");
        m_store.Set("Tastiera", "Mostra", "true");
        // Every letter falls at the same speed, so the lowest stays the lowest until it is hit.
        m_store.Set("FallRates", "HardLow", "20");
        m_store.Set("FallRates", "HardHigh", "20");
        m_store.Sync();
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues);
        m_keymap = std::make_unique<KeymapHolder>(Italian);
        m_guide = std::make_unique<KeyboardGuide>(*m_window, m_store, *m_keymap);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_clock = std::make_unique<VirtualClock>(Form());
        m_clock->SetAfterTick([this] { m_window->Tick([] {}); });
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void cleanup()
    {
        m_clock.reset();
        m_guide.reset();
        m_window.reset();
    }

    void theLowestCharactersKeyIsLitAndFollowsTheHits()
    {
        Open("Maiu");
        FingerKeyboard* keyboard = m_guide->keyboard();
        QVERIFY(keyboard && keyboard->isVisible());
        QVERIFY(keyboard->litKey().empty());
        m_window->Handle([this] { Form().optDifficulty_Click(2); });
        m_window->Handle([this] { Form().cmdStart_Click(); });
        const teach::KeymapResult model = Italian();
        for (int hit = 0; hit < 6 && Form().LowestLetter() >= 0; ++hit) {
            const Label& lowest = Form().lblLetter[static_cast<std::size_t>(Form().LowestLetter())];
            const auto stroke = model.keymap->StrokeFor(lowest.Caption);
            QVERIFY(stroke);
            QCOMPARE(keyboard->litKey(), stroke->key->name);
            // Capitals: the letter's key with Shift.
            QCOMPARE(keyboard->litModifiers(), teach::Modifiers::Shift);
            const char32_t typed = static_cast<unsigned char>(lowest.Caption[0]);
            m_window->Handle([this, typed] { Form().Form_KeyPress(typed); });
        }
        // The wave is over or its lowest letter moved on: the light is never left on a hit letter.
        const int next = Form().LowestLetter();
        if (next < 0)
            QVERIFY(keyboard->litKey().empty());
        else
            QCOMPARE(keyboard->litKey(),
                     model.keymap->StrokeFor(Form().lblLetter[static_cast<std::size_t>(next)].Caption)->key->name);
    }

    void aLitKeyThatStaysCostsNoPaint()
    {
        Open("Minu");
        FingerKeyboard* keyboard = m_guide->keyboard();
        QVERIFY(keyboard);
        m_window->Handle([this] { Form().optDifficulty_Click(2); });
        m_window->Handle([this] { Form().cmdStart_Click(); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        PaintCounter counter;
        keyboard->installEventFilter(&counter);
        const std::string lit = keyboard->litKey();
        QVERIFY(!lit.empty());
        QCOMPARE(keyboard->litModifiers(), teach::Modifiers::None);
        // Letters fall, the lowest stays the lowest: nothing to paint.
        const int lowest = Form().LowestLetter();
        m_clock->Advance(250);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QCOMPARE(Form().LowestLetter(), lowest);
        QCOMPARE(counter.paints, 0);
        // A hit moves the light: the two keys are repainted, not the whole keyboard.
        const char32_t typed =
            static_cast<unsigned char>(Form().lblLetter[static_cast<std::size_t>(lowest)].Caption[0]);
        m_window->Handle([this, typed] { Form().Form_KeyPress(typed); });
        QCoreApplication::sendPostedEvents(nullptr, QEvent::UpdateRequest);
        QVERIFY(keyboard->litKey() != lit);
        QVERIFY(counter.paints >= 1);
        QVERIFY(counter.region.intersects(keyboard->KeyRect(lit)));
        QVERIFY(counter.region.intersects(keyboard->KeyRect(keyboard->litKey())));
        qint64 area = 0;
        for (const QRect& r : counter.region)
            area += qint64{r.width()} * r.height();
        QVERIFY(area < qint64{keyboard->width()} * keyboard->height() / 8);
    }

    void f3ShowsAndHidesItAndTheChoiceIsKept()
    {
        Open("Maiu");
        QVERIFY(m_guide->Wanted());
        QTest::keyClick(m_window->windowHandle(), Qt::Key_F3);
        QVERIFY(!m_guide->Wanted());
        QVERIFY(!m_guide->keyboard()->isVisible());
        QCOMPARE(m_store.Get("Tastiera", "Mostra", ""), std::string("false"));
        // F3 types nothing: the game never saw it.
        QVERIFY(Form().lblPress.Caption != "r");
        QTest::keyClick(m_window->windowHandle(), Qt::Key_F3);
        QVERIFY(m_guide->Wanted() && m_guide->keyboard()->isVisible());
        QCOMPARE(m_store.Get("Tastiera", "Mostra", ""), std::string("true"));
    }

    void aScreenWithNoRoomBelowThePanelHidesItAndSaysSo()
    {
        Open("Maiu");
        m_window->FitTo(QSize(800, 600));
        QVERIFY(m_guide->Wanted());
        QVERIFY(!m_guide->keyboard()->isVisible());
        QVERIFY(!m_guide->Hidden().isEmpty());
        m_window->FitTo(QSize(1920, 1080));
        QVERIFY(m_guide->keyboard()->isVisible());
        QVERIFY(m_guide->Hidden().isEmpty());
        QVERIFY(m_guide->keyboard()->geometry().top() > m_window->picture1()->geometry().bottom());
        QVERIFY(m_guide->keyboard()->geometry().bottom() < m_window->height());
    }
};

QTEST_MAIN(FingerKeyboardTest)
#include "FingerKeyboardTest.moc"
