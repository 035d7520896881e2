// Cue files as players make them: the kinds sound editors write, and files that are too long,
// too big, cut short or not sound at all. The files are written here, in memory, with
// libsndfile itself.

#include "ui/CueSound.h"

#include <QTest>

#include <sndfile.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

using keyfall::CueSound;
using keyfall::DecodeCue;
using keyfall::SampleFormat;

Q_DECLARE_METATYPE(SampleFormat)

namespace {

// A file that libsndfile writes into memory.
struct MemoryFile {
    std::vector<std::byte> bytes;
    sf_count_t position = 0;
};

SF_VIRTUAL_IO MemoryIo()
{
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* user) { return static_cast<sf_count_t>(static_cast<MemoryFile*>(user)->bytes.size()); };
    io.seek = [](sf_count_t offset, int whence, void* user) {
        auto* file = static_cast<MemoryFile*>(user);
        const sf_count_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? file->position
                                                     : static_cast<sf_count_t>(file->bytes.size());
        file->position = base + offset;
        return file->position;
    };
    io.read = [](void* out, sf_count_t count, void* user) {
        auto* file = static_cast<MemoryFile*>(user);
        const sf_count_t n =
            std::clamp<sf_count_t>(static_cast<sf_count_t>(file->bytes.size()) - file->position, 0, count);
        std::memcpy(out, file->bytes.data() + file->position, static_cast<std::size_t>(n));
        file->position += n;
        return n;
    };
    io.write = [](const void* in, sf_count_t count, void* user) {
        auto* file = static_cast<MemoryFile*>(user);
        const auto end = static_cast<std::size_t>(file->position + count);
        if (file->bytes.size() < end)
            file->bytes.resize(end);
        std::memcpy(file->bytes.data() + file->position, in, static_cast<std::size_t>(count));
        file->position += count;
        return count;
    };
    io.tell = [](void* user) { return static_cast<MemoryFile*>(user)->position; };
    return io;
}

// `frames` frames of the given float samples per channel, written as `format`.
std::vector<std::byte> Encode(int format, int rate, int channels, const std::vector<float>& interleaved)
{
    MemoryFile file;
    SF_VIRTUAL_IO io = MemoryIo();
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE* out = sf_open_virtual(&io, SFM_WRITE, &info, &file);
    if (!out)
        qFatal("libsndfile cannot write format %x: %s", format, sf_strerror(nullptr));
    sf_writef_float(out, interleaved.data(), static_cast<sf_count_t>(interleaved.size()) / channels);
    sf_close(out);
    return file.bytes;
}

// A 440 Hz tone at half scale, the channels a little apart so a mix-up shows.
std::vector<float> Tone(int rate, int channels, std::size_t frames)
{
    std::vector<float> out(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            out[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] = static_cast<float>(
                0.5 * std::sin(2 * std::numbers::pi * 440 * static_cast<double>(i) / rate + c * 0.5));
    return out;
}

// Sample `i` (interleaved) of a decoded cue, -1..1.
float At(const CueSound& cue, std::size_t i)
{
    switch (cue.format) {
    case SampleFormat::Int16: {
        std::int16_t s;
        std::memcpy(&s, cue.samples.data() + i * 2, 2);
        return static_cast<float>(s) / 32768.0f;
    }
    case SampleFormat::Int32: {
        std::int32_t s;
        std::memcpy(&s, cue.samples.data() + i * 4, 4);
        return static_cast<float>(static_cast<double>(s) / 2147483648.0);
    }
    case SampleFormat::Float32: {
        float s;
        std::memcpy(&s, cue.samples.data() + i * 4, 4);
        return s;
    }
    }
    return 0;
}

std::optional<CueSound> Decode(const std::vector<std::byte>& file, std::string& why)
{
    return DecodeCue(std::span(file), why);
}

} // namespace

class CueSoundTest : public QObject {
    Q_OBJECT

private slots:
    // Each kind plays in its own rate, channels and the nearest sample format, sample for
    // sample what was written (within the format's own precision).
    void KindsPlayAsWritten_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("rate");
        QTest::addColumn<int>("channels");
        QTest::addColumn<SampleFormat>("expected");
        QTest::addColumn<double>("tolerance");
        QTest::addColumn<bool>("exactLength");
        QTest::newRow("16-bit 44.1 kHz mono")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_16) << 44100 << 1 << SampleFormat::Int16 << 1e-4 << true;
        QTest::newRow("24-bit 48 kHz stereo")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_24) << 48000 << 2 << SampleFormat::Int32 << 1e-6 << true;
        QTest::newRow("32-bit integer") << (SF_FORMAT_WAV | SF_FORMAT_PCM_32) << 44100 << 1 << SampleFormat::Int32
                                        << 1e-6 << true;
        QTest::newRow("32-bit float") << (SF_FORMAT_WAV | SF_FORMAT_FLOAT) << 44100 << 1 << SampleFormat::Float32
                                      << 1e-7 << true;
        QTest::newRow("64-bit float") << (SF_FORMAT_WAV | SF_FORMAT_DOUBLE) << 96000 << 2 << SampleFormat::Float32
                                      << 1e-7 << true;
        QTest::newRow("8-bit 8 kHz mono")
            << (SF_FORMAT_WAV | SF_FORMAT_PCM_U8) << 8000 << 1 << SampleFormat::Int16 << 1.0 / 100 << true;
        QTest::newRow("extensible 24-bit")
            << (SF_FORMAT_WAVEX | SF_FORMAT_PCM_24) << 48000 << 2 << SampleFormat::Int32 << 1e-6 << true;
        QTest::newRow("extensible float 5.1")
            << (SF_FORMAT_WAVEX | SF_FORMAT_FLOAT) << 48000 << 6 << SampleFormat::Float32 << 1e-7 << true;
        QTest::newRow("FLAC") << (SF_FORMAT_FLAC | SF_FORMAT_PCM_16) << 44100 << 2 << SampleFormat::Int16 << 1e-4
                              << true;
        QTest::newRow("Ogg Vorbis") << (SF_FORMAT_OGG | SF_FORMAT_VORBIS) << 44100 << 1 << SampleFormat::Float32 << 0.05
                                    << false;
    }

    void KindsPlayAsWritten()
    {
        QFETCH(int, format);
        QFETCH(int, rate);
        QFETCH(int, channels);
        QFETCH(SampleFormat, expected);
        QFETCH(double, tolerance);
        QFETCH(bool, exactLength);
        const std::size_t frames = static_cast<std::size_t>(rate) / 5;
        const std::vector<float> tone = Tone(rate, channels, frames);
        std::string why;
        const auto cue = Decode(Encode(format, rate, channels, tone), why);
        QVERIFY2(cue, why.c_str());
        QCOMPARE(cue->format, expected);
        QCOMPARE(cue->rate, rate);
        QCOMPARE(cue->channels, channels);
        if (exactLength)
            QCOMPARE(cue->Frames(), frames);
        else
            QVERIFY(cue->Frames() > frames / 2);
        // The middle of the sound, away from a lossy codec's edges.
        double worst = 0;
        const std::size_t n = std::min<std::size_t>(tone.size(), cue->Frames() * static_cast<std::size_t>(channels));
        for (std::size_t i = n / 4; i < n * 3 / 4; ++i)
            worst = std::max(worst, std::abs(static_cast<double>(At(*cue, i) - tone[i])));
        QVERIFY2(worst <= tolerance, qPrintable(QStringLiteral("off by %1").arg(worst)));
    }

    // Ten seconds is the longest cue, by the frame; above it nothing is decoded.
    void TenSecondsAtMost()
    {
        constexpr int rate = 8000;
        std::string why;
        QVERIFY(
            Decode(Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_U8, rate, 1, std::vector<float>(std::size_t{10} * rate)), why));
        const auto tooLong = Decode(
            Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_U8, rate, 1, std::vector<float>(std::size_t{10} * rate + 1)), why);
        QVERIFY(!tooLong);
        QVERIFY2(why.find("10 seconds") != std::string::npos, why.c_str());
    }

    // A file above 2 MB is refused whatever it holds, before libsndfile sees it.
    void TwoMegabytesAtMost()
    {
        std::vector<std::byte> file =
            Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 48000, 2, std::vector<float>(std::size_t{2} * 48000 * 5));
        QVERIFY(file.size() < keyfall::kMaxCueFileBytes);
        file.resize(keyfall::kMaxCueFileBytes + 1);
        std::string why;
        QVERIFY(!Decode(file, why));
        QVERIFY2(why.find("2 MB") != std::string::npos, why.c_str());
    }

    // What the server could not play is refused with a reason, never handed on.
    void UnplayableFilesRefused_data()
    {
        QTest::addColumn<QByteArray>("file");
        const auto bytes = [](const std::vector<std::byte>& b) {
            return QByteArray(reinterpret_cast<const char*>(b.data()), static_cast<qsizetype>(b.size()));
        };
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("text") << QByteArray("this is not a sound file, only some words in a row\n");
        QTest::newRow("header only") << bytes(Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, {}));
        QTest::newRow("rate below 1 kHz")
            << bytes(Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 500, 1, std::vector<float>(100)));
        QTest::newRow("rate above 192 kHz")
            << bytes(Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 384000, 1, std::vector<float>(100)));
        QTest::newRow("nine channels") << bytes(
            Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 9, std::vector<float>(std::size_t{9} * 100)));
        QByteArray riffOnly("RIFF\xff\xff\xff\x7fWAVEfmt ", 16);
        QTest::newRow("RIFF with nothing in it") << riffOnly;
    }

    void UnplayableFilesRefused()
    {
        QFETCH(QByteArray, file);
        std::string why;
        QVERIFY(!DecodeCue(std::as_bytes(std::span(file.constData(), static_cast<std::size_t>(file.size()))), why));
        QVERIFY(!why.empty());
    }

    // A file cut short (a copy that broke off) plays the frames it has.
    void TruncatedFilePlaysWhatItHas()
    {
        std::vector<std::byte> file = Encode(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 2, Tone(44100, 2, 4000));
        file.resize(file.size() - std::size_t{1000} * 4 - 3);
        std::string why;
        const auto cue = Decode(file, why);
        QVERIFY2(cue, why.c_str());
        QVERIFY(cue->Frames() >= 2990 && cue->Frames() < 3000);
        QCOMPARE(cue->samples.size() % cue->BytesPerFrame(), std::size_t{0});
    }

    // Floats outside -1..1 and values that are not numbers reach the server as sound.
    void FloatsKeptInRange()
    {
        const std::vector<float> wild{
            0.25f, 7.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(), -0.5f};
        std::string why;
        const auto cue = Decode(Encode(SF_FORMAT_WAV | SF_FORMAT_FLOAT, 44100, 1, wild), why);
        QVERIFY2(cue, why.c_str());
        const std::vector<float> expected{0.25f, 1.0f, -1.0f, 0.0f, 0.0f, -0.5f};
        QCOMPARE(cue->Frames(), expected.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            QCOMPARE(At(*cue, i), expected[i]);
    }
};

QTEST_GUILESS_MAIN(CueSoundTest)
#include "CueSoundTest.moc"
