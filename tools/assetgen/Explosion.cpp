#include "Explosion.h"

#include "Rng.h"

#include <QColor>
#include <QList>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace assetgen {

namespace {

constexpr int kSize = 32;

// Heat 0 is cold smoke, 1 the white-hot core; the palette is this ramp sampled
// 255 times, with entry 0 kept for transparency.
QRgb fireColour(double heat)
{
    struct Stop {
        double at;
        int r, g, b;
    };
    static constexpr Stop stops[] = {
        {0.00, 38, 30, 32},  {0.12, 78, 40, 30},   {0.28, 150, 30, 12}, {0.45, 220, 70, 14},
        {0.62, 250, 140, 26}, {0.78, 255, 206, 64}, {0.90, 255, 244, 170}, {1.00, 255, 255, 255},
    };
    heat = std::clamp(heat, 0.0, 1.0);
    for (std::size_t i = 1; i < std::size(stops); ++i) {
        if (heat <= stops[i].at) {
            const Stop &a = stops[i - 1];
            const Stop &b = stops[i];
            const double t = (heat - a.at) / (b.at - a.at);
            return qRgb(static_cast<int>(std::lround(a.r + (b.r - a.r) * t)),
                        static_cast<int>(std::lround(a.g + (b.g - a.g) * t)),
                        static_cast<int>(std::lround(a.b + (b.b - a.b) * t)));
        }
    }
    return qRgb(255, 255, 255);
}

QList<QRgb> firePalette()
{
    QList<QRgb> table{qRgba(0, 0, 0, 0)};
    for (int i = 0; i < 255; ++i)
        table.append(fireColour(i / 254.0));
    return table;
}

uchar indexFor(double heat) { return static_cast<uchar>(1 + std::lround(std::clamp(heat, 0.0, 1.0) * 254.0)); }

}  // namespace

QImage explosionFrame(int frame)
{
    Rng rng(0xF1AE00u + static_cast<std::uint64_t>(frame) * 977u);
    const auto seed = static_cast<std::uint32_t>(rng.next());
    const double cx = 15.5 + rng.uniform(-1.5, 1.5);
    const double cy = 15.5 + rng.uniform(-1.5, 1.5);
    const double radius = rng.uniform(9.0, 14.0);
    const double lumpiness = rng.uniform(0.3, 0.6);

    QImage image(kSize, kSize, QImage::Format_Indexed8);
    image.setColorTable(firePalette());
    image.fill(0);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double dx = x - cx;
            const double dy = y - cy;
            const double angle = std::atan2(dy, dx);
            const double edge = radius
                * (1.0 - lumpiness / 2 + lumpiness * fbm(std::cos(angle) * 1.6 + 5, std::sin(angle) * 1.6 + 5, seed, 3));
            const double u = std::hypot(dx, dy) / edge;
            if (u >= 1.0)
                continue;
            const double turbulence = fbm(x * 0.22, y * 0.22, seed + 1, 3) - 0.5;
            image.setPixel(x, y, indexFor(1.0 - u + 0.5 * turbulence));
        }
    }
    return image;
}

}  // namespace assetgen
