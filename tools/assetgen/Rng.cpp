#include "Rng.h"

#include "settings/Random.h"

#include <cmath>
#include <numbers>

namespace assetgen {

namespace {

double latticeValue(std::int64_t ix, std::int64_t iy, std::uint32_t seed)
{
    const std::uint64_t key = static_cast<std::uint64_t>(ix) * 0x9E3779B97F4A7C15ULL
                              ^ static_cast<std::uint64_t>(iy) * 0xC2B2AE3D27D4EB4FULL
                              ^ static_cast<std::uint64_t>(seed) * 0x165667B19E3779F9ULL;
    return static_cast<double>(keyfall::MixBits(key) >> 11) * 0x1.0p-53;
}

double smooth(double t)
{
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

} // namespace

std::uint64_t Rng::next()
{
    state_ += 0x9E3779B97F4A7C15ULL;
    return keyfall::MixBits(state_);
}

double Rng::uniform()
{
    return static_cast<double>(next() >> 11) * 0x1.0p-53;
}

double Rng::uniform(double lo, double hi)
{
    return lo + (hi - lo) * uniform();
}

int Rng::below(int n)
{
    return static_cast<int>(uniform() * n);
}

double Rng::gaussian()
{
    // Box-Muller; 1 - uniform() keeps the logarithm away from zero.
    const double u = 1.0 - uniform();
    const double v = uniform();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(2.0 * std::numbers::pi * v);
}

double valueNoise(double x, double y, std::uint32_t seed)
{
    const double fx = std::floor(x);
    const double fy = std::floor(y);
    const auto ix = static_cast<std::int64_t>(fx);
    const auto iy = static_cast<std::int64_t>(fy);
    const double tx = smooth(x - fx);
    const double ty = smooth(y - fy);
    const double a = latticeValue(ix, iy, seed);
    const double b = latticeValue(ix + 1, iy, seed);
    const double c = latticeValue(ix, iy + 1, seed);
    const double d = latticeValue(ix + 1, iy + 1, seed);
    const double top = a + (b - a) * tx;
    const double bottom = c + (d - c) * tx;
    return top + (bottom - top) * ty;
}

double fbm(double x, double y, std::uint32_t seed, int octaves)
{
    double sum = 0.0;
    double amplitude = 1.0;
    double total = 0.0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x, y, seed + static_cast<std::uint32_t>(i) * 7919u);
        total += amplitude;
        amplitude *= 0.5;
        x *= 2.0;
        y *= 2.0;
    }
    return sum / total;
}

} // namespace assetgen
