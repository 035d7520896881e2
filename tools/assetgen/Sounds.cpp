#include "Sounds.h"

#include "Rng.h"
#include "WavWriter.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace assetgen {

namespace {

constexpr int kRate = 44100;
constexpr double kPeakDbfs = -3.0;
constexpr double kTwoPi = 2.0 * std::numbers::pi;

std::vector<double> silence(double seconds)
{
    return std::vector<double>(static_cast<std::size_t>(std::lround(seconds * kRate)));
}

double timeOf(std::size_t i)
{
    return static_cast<double>(i) / kRate;
}

// Raised-cosine ramps at both ends, so no cue starts or stops with a click.
void fadeEnds(std::vector<double>& s, double inSeconds, double outSeconds)
{
    const auto in = static_cast<std::size_t>(inSeconds * kRate);
    const auto out = static_cast<std::size_t>(outSeconds * kRate);
    for (std::size_t i = 0; i < in && i < s.size(); ++i)
        s[i] *= 0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(in));
    for (std::size_t i = 0; i < out && i < s.size(); ++i)
        s[s.size() - 1 - i] *=
            0.5 - 0.5 * std::cos(std::numbers::pi * static_cast<double>(i) / static_cast<double>(out));
}

// One-pole low-pass whose cutoff may change from sample to sample.
class LowPass {
public:
    double process(double x, double cutoffHz)
    {
        const double a = 1.0 - std::exp(-kTwoPi * cutoffHz / kRate);
        y_ += a * (x - y_);
        return y_;
    }

private:
    double y_ = 0.0;
};

// A struck bell-like note: a few slightly inharmonic partials, the higher ones dying sooner.
void addBell(std::vector<double>& s, double start, double freq, double decay, double level)
{
    struct Partial {
        double ratio, amplitude, decayScale;
    };
    static constexpr Partial partials[] = {
        {1.0, 1.0, 1.0}, {2.0, 0.45, 0.6}, {3.01, 0.18, 0.4}, {4.17, 0.08, 0.25}, {5.43, 0.04, 0.18},
    };
    const auto first = static_cast<std::size_t>(start * kRate);
    for (std::size_t i = first; i < s.size(); ++i) {
        const double t = timeOf(i - first);
        const double attack = std::min(1.0, t / 0.004);
        double v = 0.0;
        for (const Partial& p : partials)
            v += p.amplitude * std::exp(-t / (decay * p.decayScale)) * std::sin(kTwoPi * freq * p.ratio * t);
        s[i] += level * attack * v;
    }
}

std::vector<double> explode()
{
    auto s = silence(0.6);
    Rng rng(0xE4B10DE);
    LowPass body1;
    LowPass body2;
    LowPass rumble;
    double thumpPhase = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double white = rng.uniform(-1.0, 1.0);
        // The burst starts bright and closes down to a rumble as it dies.
        const double cutoff = 180.0 + 4200.0 * std::exp(-t / 0.06);
        const double noise = body2.process(body1.process(white, cutoff), cutoff);
        const double low = rumble.process(white, 120.0);
        const double noiseEnv = std::min(1.0, t / 0.003) * std::exp(-t / 0.16);
        // A sine dropping from about 130 Hz to 45 Hz gives the blast its weight.
        const double thumpFreq = 45.0 + 85.0 * std::exp(-t / 0.04);
        thumpPhase += kTwoPi * thumpFreq / kRate;
        const double thump = std::sin(thumpPhase) * std::min(1.0, t / 0.002) * std::exp(-t / 0.11);
        s[i] = 1.3 * noise * noiseEnv + 4.0 * low * std::exp(-t / 0.25) + 0.9 * thump;
    }
    fadeEnds(s, 0.001, 0.03);
    return s;
}

std::vector<double> laserFire()
{
    auto s = silence(0.2);
    const double duration = 0.2;
    double phase = 0.0;
    double phase2 = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double freq = 2000.0 * std::pow(300.0 / 2000.0, t / duration);
        phase += kTwoPi * freq / kRate;
        phase2 += kTwoPi * freq * 1.012 / kRate;
        const double tone =
            std::sin(phase) + 0.35 * std::sin(2.0 * phase) + 0.18 * std::sin(3.0 * phase) + 0.4 * std::sin(phase2);
        const double env = std::min(1.0, t / 0.002) * std::pow(1.0 - t / duration, 1.4);
        s[i] = tone * env;
    }
    fadeEnds(s, 0.001, 0.01);
    return s;
}

std::vector<double> miss()
{
    auto s = silence(0.2);
    Rng rng(0x3155);
    LowPass tone1;
    LowPass tone2;
    LowPass knock1;
    LowPass knock2;
    double phase = 0.0;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double freq = 135.0 - 30.0 * (t / 0.2);
        phase += kTwoPi * freq / kRate;
        // A soft-clipped sine is square-ish; two low-passes take off its buzz edge.
        const double buzz = std::tanh(3.0 * std::sin(phase));
        const double dull = tone2.process(tone1.process(buzz, 700.0), 700.0);
        const double hit = knock2.process(knock1.process(rng.uniform(-1.0, 1.0), 350.0), 350.0) * std::exp(-t / 0.015);
        const double env = std::min(1.0, t / 0.004) * std::exp(-t / 0.07);
        s[i] = dull * env + 6.0 * hit;
    }
    fadeEnds(s, 0.001, 0.02);
    return s;
}

std::vector<double> blip()
{
    auto s = silence(0.08);
    for (std::size_t i = 0; i < s.size(); ++i) {
        const double t = timeOf(i);
        const double tone = std::sin(kTwoPi * 1200.0 * t) + 0.2 * std::sin(kTwoPi * 2400.0 * t);
        s[i] = tone * std::min(1.0, t / 0.002) * std::exp(-t / 0.022);
    }
    fadeEnds(s, 0.001, 0.01);
    return s;
}

constexpr double kC5 = 523.25;
constexpr double kE5 = 659.26;
constexpr double kG5 = 783.99;
constexpr double kC6 = 1046.50;

std::vector<double> rising()
{
    auto s = silence(0.8);
    addBell(s, 0.00, kC5, 0.25, 0.8);
    addBell(s, 0.13, kE5, 0.25, 0.8);
    addBell(s, 0.26, kG5, 0.35, 0.9);
    addBell(s, 0.26, kC6, 0.20, 0.15);
    fadeEnds(s, 0.001, 0.06);
    return s;
}

std::vector<double> falling()
{
    auto s = silence(0.9);
    addBell(s, 0.00, kG5, 0.22, 0.8);
    addBell(s, 0.18, kE5, 0.22, 0.8);
    addBell(s, 0.36, kC5, 0.40, 1.0);
    fadeEnds(s, 0.001, 0.08);
    return s;
}

} // namespace

void writeSounds(const QString& dir)
{
    writeWav(explode(), kRate, kPeakDbfs, dir + "/Explode.wav");
    writeWav(laserFire(), kRate, kPeakDbfs, dir + "/LaserFire.wav");
    writeWav(miss(), kRate, kPeakDbfs, dir + "/Miss.wav");
    writeWav(blip(), kRate, kPeakDbfs, dir + "/blip.wav");
    writeWav(rising(), kRate, kPeakDbfs, dir + "/sound24.wav");
    writeWav(falling(), kRate, kPeakDbfs, dir + "/sound25.wav");
}

} // namespace assetgen
