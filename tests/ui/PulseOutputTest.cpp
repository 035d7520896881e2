// The sound server's output against a real server (a null sink of the test's own, set up by
// with_sound_server.sh): a cue asked for while the connection is still being made plays to its
// end instead of being dropped, and playbacks closed before the connection is up leave nothing
// behind for it to reach.

#include "ui/AudioOutput.h"

#include "support/Messages.h"

#include <QTest>

#include <cmath>
#include <cstring>

using keyfall::AudioOutput;
using keyfall::CueSound;
using keyfall::Playback;

namespace {

// A tenth of a second of a quiet tone, mono 16-bit at 44.1 kHz.
std::shared_ptr<const CueSound> Tone()
{
    auto sound = std::make_shared<CueSound>();
    sound->format = keyfall::SampleFormat::Int16;
    sound->rate = 44100;
    sound->channels = 1;
    std::vector<std::int16_t> samples(4410);
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<std::int16_t>(2000 * std::sin(static_cast<double>(i) * 0.06));
    sound->samples.resize(samples.size() * sizeof(std::int16_t));
    std::memcpy(sound->samples.data(), samples.data(), sound->samples.size());
    return sound;
}

} // namespace

class PulseOutputTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { QVERIFY2(qEnvironmentVariableIsSet("PULSE_SERVER"), "run through with_sound_server.sh"); }

    // Asked for at once, before the connection can have been made: it plays, is drained
    // and ends, with no complaint.
    void CueAskedWhileConnectingPlays()
    {
        keyfall::test::CapturedMessages errors;
        {
            const std::unique_ptr<AudioOutput> output = keyfall::MakeServerOutput();
            const std::unique_ptr<Playback> playback = output->Open(Tone());
            QVERIFY(playback);
            QTRY_VERIFY_WITH_TIMEOUT(playback->Finished(), 30000);
        }
        const QStringList lines = errors.Lines();
        errors.Restore();
        QVERIFY2(lines.isEmpty(), qPrintable(lines.join(QLatin1Char('\n'))));
    }

    // Playbacks closed while they still wait for the connection are gone from its list: the
    // connection, once up, starts only the one still open, which plays to its end.
    void PlaybacksClosedWhileWaitingAreForgotten()
    {
        const std::unique_ptr<AudioOutput> output = keyfall::MakeServerOutput();
        for (int i = 0; i < 50; ++i)
            output->Open(Tone()).reset();
        const std::unique_ptr<Playback> kept = output->Open(Tone());
        QVERIFY(kept);
        for (int i = 0; i < 50; ++i)
            output->Open(Tone()).reset();
        QTRY_VERIFY_WITH_TIMEOUT(kept->Finished(), 30000);
    }
};

QTEST_GUILESS_MAIN(PulseOutputTest)
#include "PulseOutputTest.moc"
