#include "ui/SoundPlayer.h"

#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaDevices>
#include <QTimer>

#include <cstdio>

namespace keyfall {
namespace {

constexpr std::array kCues{Cue::Explode, Cue::LaserFire, Cue::Miss, Cue::Blip, Cue::Sound24, Cue::Sound25};

// How long a stream stays open after its cue's own length: more than any sound server holds.
constexpr int kDrainMs = 1000;

QString FindCue(const QString& fileName, const QStringList& directories)
{
    for (const QString& dir : directories) {
        const QFileInfo candidate(QDir(dir), fileName);
        if (candidate.isFile())
            return candidate.absoluteFilePath();
    }
    return {};
}

} // namespace

struct SoundPlayer::Stream {
    std::unique_ptr<QBuffer> data;
    std::unique_ptr<QAudioSink> sink;
};

QStringList SoundPlayer::DefaultDirectories()
{
    const QString exeDir = QCoreApplication::applicationDirPath();
    return {exeDir, QDir::cleanPath(exeDir + QStringLiteral("/../share/keyfall"))};
}

SoundPlayer::SoundPlayer(const QStringList& directories) : m_device(QMediaDevices::defaultAudioOutput())
{
    static_assert(kCues.size() == std::tuple_size_v<decltype(m_cues)>);
    m_format.setSampleRate(kMixRate);
    m_format.setChannelCount(1);
    m_format.setSampleFormat(QAudioFormat::Int16);
    for (const Cue cue : kCues) {
        const auto name = CueFileName(cue);
        const QString fileName = QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
        const QString path = FindCue(fileName, directories);
        if (path.isEmpty()) {
            std::fprintf(stderr, "keyfall: sound %s is missing; that cue stays silent\n", qPrintable(fileName));
            continue;
        }
        QFile file(path);
        const auto samples = file.open(QIODevice::ReadOnly) ? DecodeWave(file.readAll()) : std::nullopt;
        if (!samples || samples->empty()) {
            std::fprintf(stderr, "keyfall: sound %s cannot be played; that cue stays silent\n", qPrintable(path));
            continue;
        }
        m_cues[static_cast<std::size_t>(cue)] =
            QByteArray(reinterpret_cast<const char*>(samples->data()), static_cast<qsizetype>(samples->size() * 2));
    }
}

SoundPlayer::~SoundPlayer()
{
    for (const auto& stream : m_streams)
        stream->sink->stop();
}

void SoundPlayer::PlayCue(Cue cue)
{
    const QByteArray& pcm = m_cues[static_cast<std::size_t>(cue)];
    if (pcm.isEmpty() || m_device.isNull())
        return;
    if (m_streams.size() >= kMaxStreams)
        Close(m_streams.front().get());

    auto stream = std::make_unique<Stream>();
    stream->data = std::make_unique<QBuffer>();
    stream->data->setData(pcm); // shares the bytes, copies nothing
    stream->data->open(QIODevice::ReadOnly);
    stream->sink = std::make_unique<QAudioSink>(m_device, m_format);
    stream->sink->start(stream->data.get());

    const auto lengthMs = static_cast<int>(m_format.durationForBytes(static_cast<qint32>(pcm.size())) / 1000);
    Stream* raw = stream.get();
    // Tied to the sink, so a stream closed early (too many at once) cancels its own closing.
    QTimer::singleShot(lengthMs + kDrainMs, raw->sink.get(), [this, raw] { Close(raw); });
    m_streams.push_back(std::move(stream));
}

void SoundPlayer::Close(Stream* stream)
{
    const auto it =
        std::find_if(m_streams.begin(), m_streams.end(), [stream](const auto& s) { return s.get() == stream; });
    if (it == m_streams.end())
        return;
    (*it)->sink->stop();
    m_streams.erase(it);
}

} // namespace keyfall
