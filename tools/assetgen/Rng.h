#pragma once

#include <cstdint>

namespace assetgen {

// A small seeded generator whose output is fixed by its own code: the standard
// distributions may differ between library versions, and the assets must come
// out byte-identical on every machine.
class Rng {
public:
    explicit Rng(std::uint64_t seed) : state_(seed) {}

    std::uint64_t next();
    double uniform();                     // [0, 1)
    double uniform(double lo, double hi); // [lo, hi)
    int below(int n);                     // [0, n)
    double gaussian();                    // mean 0, deviation 1

private:
    std::uint64_t state_;
};

// Smooth value noise in [0, 1]: the same (x, y, seed) always gives the same value.
double valueNoise(double x, double y, std::uint32_t seed);

// Fractal sum of value noise octaves, each twice as fine and half as strong,
// normalised back into [0, 1].
double fbm(double x, double y, std::uint32_t seed, int octaves);

} // namespace assetgen
