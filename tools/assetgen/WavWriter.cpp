#include "WavWriter.h"

#include "Bytes.h"
#include "ImageOut.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace assetgen {

namespace {

} // namespace

void writeWav(const std::vector<double>& samples, int sampleRate, double peakDbfs, const QString& path)
{
    double peak = 0.0;
    for (double s : samples)
        peak = std::max(peak, std::abs(s));
    if (peak <= 0.0)
        throw std::runtime_error("silent sound " + path.toStdString());
    const double gain = std::pow(10.0, peakDbfs / 20.0) / peak;

    const auto dataBytes = static_cast<std::uint32_t>(samples.size() * 2);
    QByteArray out;
    out.append("RIFF");
    put32(out, 36 + dataBytes);
    out.append("WAVE");
    out.append("fmt ");
    put32(out, 16);
    put16(out, 1); // PCM
    put16(out, 1); // mono
    put32(out, static_cast<std::uint32_t>(sampleRate));
    put32(out, static_cast<std::uint32_t>(sampleRate * 2));
    put16(out, 2); // bytes per frame
    put16(out, 16);
    out.append("data");
    put32(out, dataBytes);
    for (double s : samples) {
        const long v = std::lround(std::clamp(s * gain, -1.0, 1.0) * 32767.0);
        put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
    }

    makeParentDir(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace assetgen
