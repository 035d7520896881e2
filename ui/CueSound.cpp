#include "ui/CueSound.h"

#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

namespace keyfall {
namespace {

// Whatever the duration, the decoded sound stays below this: ten seconds of an eight-channel
// 192 kHz file would be 61 MB for a beep.
constexpr std::uint64_t kMaxCueBytes = std::uint64_t{16} * 1024 * 1024;

// libsndfile reads the file from memory through these.
struct Source {
    std::span<const std::byte> bytes;
    sf_count_t position = 0;
};

sf_count_t Length(void* user)
{
    return static_cast<sf_count_t>(static_cast<Source*>(user)->bytes.size());
}

sf_count_t Seek(sf_count_t offset, int whence, void* user)
{
    auto* source = static_cast<Source*>(user);
    const auto size = static_cast<sf_count_t>(source->bytes.size());
    sf_count_t base = 0;
    if (whence == SEEK_CUR)
        base = source->position;
    else if (whence == SEEK_END)
        base = size;
    else if (whence != SEEK_SET)
        return -1;
    if (offset < -base)
        return -1;
    // Offsets come from the file's own headers: compared, never added, so none overflows.
    source->position = offset > size - base ? size : base + offset;
    return source->position;
}

sf_count_t Read(void* out, sf_count_t count, void* user)
{
    auto* source = static_cast<Source*>(user);
    const auto size = static_cast<sf_count_t>(source->bytes.size());
    const sf_count_t n = std::clamp<sf_count_t>(count, 0, size - source->position);
    if (n > 0)
        std::memcpy(out, source->bytes.data() + source->position, static_cast<std::size_t>(n));
    source->position += n;
    return n;
}

sf_count_t Write(const void*, sf_count_t, void*)
{
    return 0;
}

sf_count_t Tell(void* user)
{
    return static_cast<Source*>(user)->position;
}

SampleFormat FormatOf(int sndfileFormat)
{
    switch (sndfileFormat & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
    case SF_FORMAT_PCM_16:
    case SF_FORMAT_ULAW:
    case SF_FORMAT_ALAW: return SampleFormat::Int16;
    case SF_FORMAT_PCM_24:
    case SF_FORMAT_PCM_32: return SampleFormat::Int32;
    default: return SampleFormat::Float32;
    }
}

struct Closer {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

} // namespace

std::size_t CueSound::BytesPerFrame() const
{
    const std::size_t sampleBytes = format == SampleFormat::Int16 ? 2 : 4;
    return sampleBytes * static_cast<std::size_t>(std::max(channels, 1));
}

std::optional<CueSound> DecodeCue(std::span<const std::byte> file, std::string& why)
{
    if (file.size() > kMaxCueFileBytes) {
        why = "larger than 2 MB";
        return std::nullopt;
    }
    Source source{file};
    SF_VIRTUAL_IO io{Length, Seek, Read, Write, Tell};
    SF_INFO info{};
    const std::unique_ptr<SNDFILE, Closer> sound(sf_open_virtual(&io, SFM_READ, &info, &source));
    if (!sound) {
        why = sf_strerror(nullptr);
        return std::nullopt;
    }
    if (info.samplerate < kMinCueRate || info.samplerate > kMaxCueRate) {
        why = "sample rate " + std::to_string(info.samplerate) + " Hz is out of range";
        return std::nullopt;
    }
    if (info.channels < 1 || info.channels > kMaxCueChannels) {
        why = std::to_string(info.channels) + " channels are too many";
        return std::nullopt;
    }
    CueSound cue;
    cue.format = FormatOf(info.format);
    cue.rate = info.samplerate;
    cue.channels = info.channels;
    const std::uint64_t maxFrames =
        std::min(kMaxCueSeconds * static_cast<std::uint64_t>(cue.rate), kMaxCueBytes / cue.BytesPerFrame());
    if (info.frames <= 0) {
        why = "holds no sound";
        return std::nullopt;
    }
    if (static_cast<std::uint64_t>(info.frames) > maxFrames) {
        why = "longer than 10 seconds";
        return std::nullopt;
    }
    const auto frames = static_cast<std::size_t>(info.frames);
    cue.samples.resize(frames * cue.BytesPerFrame());
    sf_count_t read = 0;
    switch (cue.format) {
    case SampleFormat::Int16:
        read = sf_readf_short(sound.get(), reinterpret_cast<short*>(cue.samples.data()), info.frames);
        break;
    case SampleFormat::Int32:
        read = sf_readf_int(sound.get(), reinterpret_cast<int*>(cue.samples.data()), info.frames);
        break;
    case SampleFormat::Float32: {
        auto* samples = reinterpret_cast<float*>(cue.samples.data());
        read = sf_readf_float(sound.get(), samples, info.frames);
        // The server takes floats as they come; what is not a sound in -1..1 becomes one.
        const auto count = static_cast<std::size_t>(std::max<sf_count_t>(read, 0)) * cue.BytesPerFrame() / 4;
        std::transform(samples, samples + count, samples,
                       [](float s) { return std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f; });
        break;
    }
    }
    // A file cut short plays what it has.
    if (read <= 0) {
        why = "holds no sound";
        return std::nullopt;
    }
    cue.samples.resize(static_cast<std::size_t>(read) * cue.BytesPerFrame());
    return cue;
}

} // namespace keyfall
