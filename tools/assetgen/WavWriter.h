#pragma once

#include <QString>

#include <vector>

namespace assetgen {

// Scales `samples` so the loudest one sits at `peakDbfs`, then writes them as a
// mono 16-bit PCM WAV file. Throws on failure.
void writeWav(const std::vector<double>& samples, int sampleRate, double peakDbfs, const QString& path);

} // namespace assetgen
