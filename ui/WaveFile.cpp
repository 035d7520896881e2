#include "ui/WaveFile.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>

namespace keyfall {
namespace {

struct Format {
    int channels = 0;
    int rate = 0;
    int bits = 0;
};

std::uint32_t U32(const char* p)
{
    return qFromLittleEndian<quint32>(p);
}

std::uint16_t U16(const char* p)
{
    return qFromLittleEndian<quint16>(p);
}

// One frame of the file as a mono 16-bit sample.
std::int16_t Frame(const char* p, const Format& f)
{
    int sum = 0;
    for (int c = 0; c < f.channels; ++c) {
        if (f.bits == 8)
            sum += (static_cast<unsigned char>(p[c]) - 128) * 256;
        else
            sum += static_cast<std::int16_t>(U16(p + 2 * static_cast<std::ptrdiff_t>(c)));
    }
    return static_cast<std::int16_t>(sum / f.channels);
}

} // namespace

std::optional<Samples> DecodeWave(const QByteArray& file)
{
    const char* data = file.constData();
    const qsizetype size = file.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return std::nullopt;

    Format format;
    const char* pcm = nullptr;
    qsizetype pcmBytes = 0;
    for (qsizetype at = 12; at + 8 <= size;) {
        const qsizetype length = U32(data + at + 4);
        const qsizetype body = at + 8;
        const qsizetype available = std::min<qsizetype>(length, size - body);
        if (std::memcmp(data + at, "fmt ", 4) == 0 && available >= 16) {
            if (U16(data + body) != 1) // 1: uncompressed PCM
                return std::nullopt;
            format = {U16(data + body + 2), static_cast<int>(U32(data + body + 4)), U16(data + body + 14)};
        } else if (std::memcmp(data + at, "data", 4) == 0) {
            pcm = data + body;
            pcmBytes = available; // a file cut short still plays what it has
        }
        at = body + length + (length & 1); // chunks are padded to even lengths
    }
    if (!pcm || (format.bits != 8 && format.bits != 16) || format.channels < 1 || format.channels > 2
        || format.rate < 4000 || format.rate > 192000)
        return std::nullopt;

    const qsizetype frameBytes = format.channels * format.bits / 8;
    const qsizetype frames = pcmBytes / frameBytes;
    Samples mono(static_cast<std::size_t>(frames));
    for (qsizetype i = 0; i < frames; ++i)
        mono[static_cast<std::size_t>(i)] = Frame(pcm + i * frameBytes, format);
    if (format.rate == kMixRate || mono.empty())
        return mono;

    const double step = static_cast<double>(format.rate) / kMixRate;
    const auto outFrames = static_cast<std::size_t>(static_cast<double>(mono.size()) / step);
    Samples out(outFrames);
    for (std::size_t i = 0; i < outFrames; ++i) {
        const double position = static_cast<double>(i) * step;
        const auto left = static_cast<std::size_t>(position);
        const std::size_t right = std::min(left + 1, mono.size() - 1);
        const double t = position - static_cast<double>(left);
        out[i] = static_cast<std::int16_t>(mono[left] + t * (mono[right] - mono[left]));
    }
    return out;
}

} // namespace keyfall
