#pragma once
// A cue's sound as the sound server is handed it: the file's own sample rate and channels,
// and its samples in the nearest format the server takes, so that the server does any
// conversion. Decoding goes through libsndfile, which reads every PCM and float wave file
// (WAVE_FORMAT_EXTENSIBLE too), FLAC and Ogg; no Qt here, so the fuzzer links this alone.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace keyfall {

// A cue is a short sound: a file above either limit is refused, not played. Both keep a
// player's stray recording from costing seconds of start-up and hundreds of megabytes.
inline constexpr std::uint64_t kMaxCueFileBytes = std::uint64_t{2} * 1024 * 1024;
inline constexpr std::uint64_t kMaxCueSeconds = 10;
// Rates and channel counts the sound server accepts.
inline constexpr int kMinCueRate = 1000;
inline constexpr int kMaxCueRate = 192000;
inline constexpr int kMaxCueChannels = 8;

enum class SampleFormat {
    Int16,  // files of up to 16 bits
    Int32,  // 24- and 32-bit integer files, the samples left-aligned in 32 bits
    Float32 // float and double files, and compressed ones
};

struct CueSound {
    SampleFormat format = SampleFormat::Int16;
    int rate = 0;     // kMinCueRate <= rate <= kMaxCueRate
    int channels = 0; // 1 <= channels <= kMaxCueChannels
    // Interleaved, native byte order; a whole number of frames, at least one.
    std::vector<std::byte> samples;

    std::size_t BytesPerFrame() const;
    std::uint64_t Frames() const { return samples.size() / BytesPerFrame(); }
};

// The sound of a whole cue file held in memory, or nothing with the reason in `why` (a
// short English phrase for the program's standard error).
std::optional<CueSound> DecodeCue(std::span<const std::byte> file, std::string& why);

} // namespace keyfall
