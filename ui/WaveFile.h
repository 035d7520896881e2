#pragma once
// Reads a PCM wave file into the one sample format the cue mixer plays: 16-bit mono at
// kMixRate. Cue files are a few kilobytes, so they are converted once, when loaded.

#include <QByteArray>

#include <cstdint>
#include <optional>
#include <vector>

namespace keyfall {

inline constexpr int kMixRate = 44100;

using Samples = std::vector<std::int16_t>;

// Nothing for anything but an uncompressed 8- or 16-bit PCM RIFF/WAVE file with one or two
// channels and a sane rate; stereo is mixed down, other rates are resampled linearly.
std::optional<Samples> DecodeWave(const QByteArray& file);

} // namespace keyfall
