#include "ui/WaveFile.h"

#include <QTest>
#include <QtEndian>

using keyfall::DecodeWave;
using keyfall::Samples;

namespace {

void Put16(QByteArray& out, quint16 v)
{
    char b[2];
    qToLittleEndian(v, b);
    out.append(b, 2);
}

void Put32(QByteArray& out, quint32 v)
{
    char b[4];
    qToLittleEndian(v, b);
    out.append(b, 4);
}

QByteArray Chunk(const char* id, const QByteArray& body)
{
    QByteArray out(id, 4);
    Put32(out, static_cast<quint32>(body.size()));
    out += body;
    if (body.size() % 2)
        out.append('\0');
    return out;
}

QByteArray Wave(int format, int channels, int rate, int bits, const QByteArray& pcm, const QByteArray& extra = {})
{
    QByteArray fmt;
    Put16(fmt, static_cast<quint16>(format));
    Put16(fmt, static_cast<quint16>(channels));
    Put32(fmt, static_cast<quint32>(rate));
    Put32(fmt, static_cast<quint32>(rate * channels * bits / 8));
    Put16(fmt, static_cast<quint16>(channels * bits / 8));
    Put16(fmt, static_cast<quint16>(bits));
    const QByteArray body = QByteArray("WAVE") + Chunk("fmt ", fmt) + extra + Chunk("data", pcm);
    QByteArray out("RIFF");
    Put32(out, static_cast<quint32>(body.size()));
    return out + body;
}

QByteArray Pcm16(std::initializer_list<int> samples)
{
    QByteArray out;
    for (int s : samples)
        Put16(out, static_cast<quint16>(static_cast<qint16>(s)));
    return out;
}

} // namespace

class WaveFileTest : public QObject {
    Q_OBJECT
private slots:
    void monoSixteenBitAtTheMixRateIsTakenAsItIs()
    {
        const auto samples = DecodeWave(Wave(1, 1, 44100, 16, Pcm16({0, 1000, -32768, 32767})));
        QVERIFY(samples);
        QCOMPARE(*samples, (Samples{0, 1000, -32768, 32767}));
    }

    void stereoIsMixedDownAndEightBitWidened()
    {
        const auto stereo = DecodeWave(Wave(1, 2, 44100, 16, Pcm16({1000, 3000, -200, 200})));
        QVERIFY(stereo);
        QCOMPARE(*stereo, (Samples{2000, 0}));
        const auto eight = DecodeWave(Wave(1, 1, 44100, 8, QByteArray("\x80\xff\x00", 3)));
        QVERIFY(eight);
        QCOMPARE(*eight, (Samples{0, 127 * 256, -128 * 256}));
    }

    void otherRatesAreResampled()
    {
        QByteArray pcm;
        for (int i = 0; i < 2205; ++i)
            pcm += Pcm16({i});
        const auto samples = DecodeWave(Wave(1, 1, 22050, 16, pcm));
        QVERIFY(samples);
        QCOMPARE(samples->size(), std::size_t{4410});
        QCOMPARE((*samples)[100], std::int16_t{50});
        QCOMPARE((*samples)[101], std::int16_t{50}); // halfway between 50 and 51
    }

    void otherChunksAndOddLengthsAreSkipped()
    {
        const QByteArray list = Chunk("LIST", QByteArray("abc", 3));
        const auto samples = DecodeWave(Wave(1, 1, 44100, 16, Pcm16({7, 8}), list));
        QVERIFY(samples);
        QCOMPARE(*samples, (Samples{7, 8}));
    }

    void aFileCutShortPlaysWhatItHas()
    {
        QByteArray file = Wave(1, 1, 44100, 16, Pcm16({1, 2, 3, 4}));
        file.chop(3);
        const auto samples = DecodeWave(file);
        QVERIFY(samples);
        QCOMPARE(*samples, (Samples{1, 2}));
    }

    void anythingElseIsRefused()
    {
        QVERIFY(!DecodeWave(QByteArray()));
        QVERIFY(!DecodeWave(QByteArray("not a wave file at all")));
        QVERIFY(!DecodeWave(Wave(3, 1, 44100, 32, Pcm16({0, 0}))));    // floating point
        QVERIFY(!DecodeWave(Wave(1, 6, 44100, 16, Pcm16({0, 0}))));    // six channels
        QVERIFY(!DecodeWave(Wave(1, 1, 0, 16, Pcm16({0}))));           // no rate
        QVERIFY(!DecodeWave(Wave(1, 1, 44100, 24, Pcm16({0, 0, 0})))); // 24-bit
        QByteArray noData = Wave(1, 1, 44100, 16, {});
        noData.chop(8);
        QVERIFY(!DecodeWave(noData));
    }
};

QTEST_GUILESS_MAIN(WaveFileTest)
#include "WaveFileTest.moc"
