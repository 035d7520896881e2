// The cue player over an output of the test's own: which files it plays, how many playbacks
// it keeps, and an output that calls back into the player while a playback is opened or
// closed, as Qt's sound sink did when it ran events in its destructor.

#include "ui/SoundPlayer.h"

#include "support/Messages.h"

#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <cstdio>
#include <functional>
#include <random>

#include <unistd.h>

using keyfall::AudioOutput;
using keyfall::Cue;
using keyfall::CueSound;
using keyfall::Playback;
using keyfall::SoundPlayer;

namespace {

struct Ledger {
    std::vector<int> opened; // playback ids, in order
    std::vector<int> closed; // likewise
    std::vector<int> rates;  // the rate of each opened sound: which file it came from
    std::size_t live = 0;
    std::size_t mostLive = 0;
    std::function<void()> onOpen;  // runs inside Open
    std::function<void()> onClose; // runs inside a playback's destructor
};

class FakePlayback : public Playback {
public:
    FakePlayback(Ledger& ledger, int id) : m_ledger(ledger), m_id(id) {}
    ~FakePlayback() override
    {
        m_ledger.closed.push_back(m_id);
        --m_ledger.live;
        if (m_ledger.onClose)
            m_ledger.onClose();
    }
    FakePlayback(const FakePlayback&) = delete;
    FakePlayback& operator=(const FakePlayback&) = delete;
    bool Finished() const override { return finished; }
    bool finished = false;

private:
    Ledger& m_ledger;
    int m_id;
};

class FakeOutput : public AudioOutput {
public:
    explicit FakeOutput(Ledger& ledger, std::vector<FakePlayback*>* handles = nullptr)
        : m_ledger(ledger), m_handles(handles)
    {
    }
    // The player closes every playback before its output.
    ~FakeOutput() override { QCOMPARE(m_ledger.live, std::size_t{0}); }
    FakeOutput(const FakeOutput&) = delete;
    FakeOutput& operator=(const FakeOutput&) = delete;

    std::unique_ptr<Playback> Open(std::shared_ptr<const CueSound> sound) override
    {
        if (m_ledger.onOpen)
            m_ledger.onOpen();
        const int id = static_cast<int>(m_ledger.opened.size());
        m_ledger.opened.push_back(id);
        m_ledger.rates.push_back(sound->rate);
        m_ledger.mostLive = std::max(m_ledger.mostLive, ++m_ledger.live);
        auto playback = std::make_unique<FakePlayback>(m_ledger, id);
        if (m_handles)
            m_handles->push_back(playback.get());
        return playback;
    }

private:
    Ledger& m_ledger;
    std::vector<FakePlayback*>* m_handles;
};

// A short 16-bit wave file; its rate tells which file a playback came from.
void WriteCue(const QString& path, int rate, std::size_t frames = 100)
{
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* out = sf_open(qPrintable(path), SFM_WRITE, &info);
    QVERIFY(out);
    const std::vector<short> samples(frames, 1000);
    sf_writef_short(out, samples.data(), static_cast<sf_count_t>(frames));
    sf_close(out);
}

const char* const kNames[] = {"Explode.wav", "LaserFire.wav", "Miss.wav", "blip.wav", "sound24.wav", "sound25.wav"};

// Six cue files in one folder, the n-th at 8000 + n Hz.
void WriteAllCues(const QString& dir)
{
    for (int i = 0; i < 6; ++i)
        WriteCue(dir + QLatin1Char('/') + QLatin1String(kNames[i]), 8000 + i);
}

} // namespace

class SoundPlayerTest : public QObject {
    Q_OBJECT

private slots:
    // The first folder with a file wins, per file; a missing, oversized or broken file is one
    // message and silence for that cue alone.
    void LoadsWhatItCanAndSaysWhatItCannot()
    {
        QTemporaryDir first;
        QTemporaryDir second;
        WriteAllCues(second.path());
        WriteCue(first.path() + QStringLiteral("/Miss.wav"), 22050);
        QFile::remove(second.path() + QStringLiteral("/Explode.wav"));
        QFile big(second.path() + QStringLiteral("/blip.wav"));
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(static_cast<qint64>(keyfall::kMaxCueFileBytes) + 1));
        big.close();
        QFile broken(second.path() + QStringLiteral("/sound24.wav"));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("RIFF....WAVEnot a sound at all");
        broken.close();

        Ledger ledger;
        keyfall::test::CapturedMessages errors;
        {
            SoundPlayer player({first.path(), second.path()}, std::make_unique<FakeOutput>(ledger));
            for (const Cue cue : {Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25})
                player.PlayCue(cue);
        }
        const QStringList lines = errors.Lines();
        errors.Restore();
        QCOMPARE(ledger.rates, (std::vector<int>{8001, 22050, 8005}));
        QCOMPARE(lines.size(), 3);
        QVERIFY2(lines[0].contains(QLatin1String("Explode.wav is missing")), qPrintable(lines[0]));
        QVERIFY2(lines[1].contains(QLatin1String("blip.wav")) && lines[1].contains(QLatin1String("2 MB")),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].contains(QLatin1String("sound24.wav cannot be played")), qPrintable(lines[2]));
    }

    // Past the cap the oldest playback is cut off, never a newer one; finished playbacks are
    // closed at the next cue, so they do not count against it.
    void CapClosesTheOldest()
    {
        QTemporaryDir dir;
        WriteAllCues(dir.path());
        Ledger ledger;
        std::vector<FakePlayback*> handles;
        SoundPlayer player({dir.path()}, std::make_unique<FakeOutput>(ledger, &handles));
        for (int i = 0; i < 20; ++i)
            player.PlayCue(Cue::LaserFire);
        QCOMPARE(ledger.mostLive, SoundPlayer::kMaxPlaybacks);
        QCOMPARE(ledger.closed, (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7}));

        // Three of the open ones end by themselves: the next cue closes them and no other.
        handles[10]->finished = true;
        handles[15]->finished = true;
        handles[19]->finished = true;
        player.PlayCue(Cue::Miss);
        QCOMPARE(std::vector<int>(ledger.closed.begin() + 8, ledger.closed.end()), (std::vector<int>{10, 15, 19}));
        QCOMPARE(player.OpenPlaybacks(), std::size_t{10});
    }

    // An output that calls the player back while it opens a playback and while it closes one,
    // tens of thousands of times: the player stays whole, never exceeds its cap, and closes
    // every playback exactly once. Under AddressSanitizer a touch of a half-erased list fails.
    void ReentrantOutputStress()
    {
        QTemporaryDir dir;
        WriteAllCues(dir.path());
        Ledger ledger;
        std::vector<FakePlayback*> handles;
        std::mt19937 random(20261208);
        constexpr std::array cues{Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25};
        int calls = 0;
        {
            SoundPlayer player({dir.path()}, std::make_unique<FakeOutput>(ledger, &handles));
            const auto again = [&] {
                ++calls;
                player.PlayCue(cues[random() % cues.size()]);
            };
            ledger.onClose = [&] {
                again();
                if (random() % 2)
                    again();
            };
            ledger.onOpen = [&] {
                if (random() % 4 == 0)
                    again();
            };
            for (int i = 0; i < 20000; ++i) {
                ++calls;
                player.PlayCue(cues[random() % cues.size()]);
                // Some end by themselves, so both ways of closing run.
                if (random() % 3 == 0 && !handles.empty())
                    handles.back()->finished = true;
                QVERIFY(player.OpenPlaybacks() <= SoundPlayer::kMaxPlaybacks);
            }
            handles.clear();
        }
        QVERIFY(calls > 40000);
        QCOMPARE(ledger.mostLive, SoundPlayer::kMaxPlaybacks);
        QCOMPARE(ledger.live, std::size_t{0});
        std::vector<int> closed = ledger.closed;
        std::sort(closed.begin(), closed.end());
        QCOMPARE(closed, ledger.opened);
    }

    // Without a sound server: one message of ours, no other, and the cues are
    // silence. The connection fails in the background, so the line is waited for.
    void NoServerIsOneLineAndSilence()
    {
        QTemporaryDir dir;
        WriteAllCues(dir.path());
        const QByteArray savedServer = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", QByteArray("unix:" + QFile::encodeName(dir.path()) + "/no-server-here"));
        keyfall::test::CapturedMessages errors;
        {
            SoundPlayer player({dir.path()});
            QTRY_VERIFY_WITH_TIMEOUT(!errors.Lines().isEmpty(), 30000);
            for (int i = 0; i < 100; ++i)
                player.PlayCue(Cue::Miss);
        }
        const QStringList lines = errors.Lines();
        errors.Restore();
        if (savedServer.isNull())
            qunsetenv("PULSE_SERVER");
        else
            qputenv("PULSE_SERVER", savedServer);
        QCOMPARE(lines.join(QLatin1Char('\n')), QStringLiteral("no sound output; playing silently"));
    }
};

QTEST_GUILESS_MAIN(SoundPlayerTest)
#include "SoundPlayerTest.moc"
