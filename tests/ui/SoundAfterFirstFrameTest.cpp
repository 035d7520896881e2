// The sound opened after the window's first frame: nothing is read or connected before the
// window paints, the cues asked for meanwhile play once it opens, in order, and a window that
// is never painted still gets its sound.

#include "ui/SoundAfterFirstFrame.h"

#include "support/Doubles.h"

#include <QTest>
#include <QWidget>

#include <chrono>

using keyfall::Cue;
using keyfall::SoundAfterFirstFrame;
using keyfall::test::RecordingCues;
using namespace std::chrono_literals;

namespace {

// Counts the players it makes and keeps a view of the last one's cues.
struct Opener {
    int made = 0;
    RecordingCues* player = nullptr;

    SoundAfterFirstFrame::Opener Make()
    {
        return [this] {
            ++made;
            auto cues = std::make_unique<RecordingCues>();
            player = cues.get();
            return cues;
        };
    }
};

} // namespace

class SoundAfterFirstFrameTest : public QObject {
    Q_OBJECT

private slots:
    // A cue asked for before the window has a frame waits; the first paint opens the sound
    // once, and from then on every cue goes straight through.
    void OpensOnceAfterTheFirstPaint()
    {
        Opener opener;
        SoundAfterFirstFrame sound(opener.Make(), 1h);
        QWidget window;
        window.resize(200, 100);
        sound.OpenAfterFirstPaint(window);
        sound.PlayCue(Cue::Miss);
        sound.PlayCue(Cue::Blip);
        QCoreApplication::processEvents();
        QCOMPARE(opener.made, 0);

        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(sound.IsOpen(), 30000);
        QCOMPARE(opener.player->played, (std::vector<Cue>{Cue::Miss, Cue::Blip}));
        sound.PlayCue(Cue::LaserFire);
        QCOMPARE(opener.player->played, (std::vector<Cue>{Cue::Miss, Cue::Blip, Cue::LaserFire}));

        window.repaint();
        window.hide();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCoreApplication::processEvents();
        QCOMPARE(opener.made, 1);
    }

    // A palm on the keyboard before the sound opens: the newest cues play, no more of them
    // than the cue player would keep sounding at once.
    void KeepsTheNewestWaitingCues()
    {
        Opener opener;
        SoundAfterFirstFrame sound(opener.Make(), 1h);
        QWidget window;
        sound.OpenAfterFirstPaint(window);
        constexpr Cue kinds[] = {Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25};
        std::vector<Cue> asked;
        for (int i = 0; i < 20; ++i) {
            asked.push_back(kinds[(i * 5) % 6]);
            sound.PlayCue(asked.back());
        }
        window.show();
        QTRY_VERIFY_WITH_TIMEOUT(sound.IsOpen(), 30000);
        const std::vector<Cue> newest(asked.end() - SoundAfterFirstFrame::kMostWaiting, asked.end());
        QCOMPARE(opener.player->played, newest);
    }

    // A window that is never painted (opened on a desktop nobody looks at) has its sound all
    // the same, with what it was asked for.
    void OpensAtTheLatestWithoutAPaint()
    {
        Opener opener;
        SoundAfterFirstFrame sound(opener.Make(), 10ms);
        QWidget window;
        sound.OpenAfterFirstPaint(window);
        sound.PlayCue(Cue::Explode);
        QTRY_VERIFY_WITH_TIMEOUT(sound.IsOpen(), 30000);
        QCOMPARE(opener.player->played, std::vector<Cue>{Cue::Explode});
        QCOMPARE(opener.made, 1);
    }
};

QTEST_MAIN(SoundAfterFirstFrameTest)
#include "SoundAfterFirstFrameTest.moc"
