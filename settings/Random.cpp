#include "settings/Random.h"

#include <cmath>
#include <stdexcept>

namespace keyfall {
std::uint64_t MixBits(std::uint64_t z)
{
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

Random::Random(std::uint64_t seed, Clock clock) : m_state(MixBits(seed)), m_clock(std::move(clock))
{
}

float Random::NextSingle()
{
    // A splitmix64 step. The clock reading is folded into the state instead of replacing it,
    // so draws within one clock reading still differ and the sequence never restarts.
    m_state += 0x9e3779b97f4a7c15ULL;
    if (m_clock)
        m_state ^= MixBits(m_clock());
    const std::uint64_t bits = MixBits(m_state);
    // The top 24 bits fill a float's mantissa exactly: 0 <= r < 1, never rounded up to 1.
    return static_cast<float>(bits >> 40) * 0x1.0p-24f;
}

std::int16_t Random::RandomBetween(std::int16_t lo, std::int16_t hi)
{
    const float r = NextSingle();
    const int span = static_cast<int>(hi) - lo;
    if (span < -32768 || span > 32767 || span + 1 > 32767)
        throw std::overflow_error("RandomBetween: bounds too far apart");
    const double x = static_cast<double>(span + 1) * static_cast<double>(r) + static_cast<double>(lo);
    return static_cast<std::int16_t>(std::floor(x));
}

} // namespace keyfall
