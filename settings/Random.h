#pragma once
// The game's one random generator. It never reads a clock itself: the program hands it a
// clock to mix in at every draw, tests seed it and leave the clock out.

#include <cstdint>
#include <functional>

namespace keyfall {

// The splitmix64 finaliser: every bit of `z` reaches every bit of the result. The generator
// below and the asset generator's noise both draw from it.
std::uint64_t MixBits(std::uint64_t z);

class Random {
public:
    using Clock = std::function<std::uint64_t()>;

    explicit Random(std::uint64_t seed = 0, Clock clock = {});

    // A whole number from lo to hi inclusive; for hi < lo the same formula gives a value from
    // hi + 1 to lo. Throws std::overflow_error when hi - lo or hi - lo + 1 leaves the signed
    // 16-bit range.
    std::int16_t RandomBetween(std::int16_t lo, std::int16_t hi);

    // A uniform single-precision value, 0 <= r < 1.
    float NextSingle();

private:
    std::uint64_t m_state;
    Clock m_clock;
};

} // namespace keyfall
