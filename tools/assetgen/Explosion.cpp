#include "Explosion.h"

#include "Rng.h"

#include <QColor>
#include <QList>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

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
        {0.00, 38, 30, 32},   {0.12, 78, 40, 30},   {0.28, 150, 30, 12},   {0.45, 220, 70, 14},
        {0.62, 250, 140, 26}, {0.78, 255, 206, 64}, {0.90, 255, 244, 170}, {1.00, 255, 255, 255},
    };
    heat = std::clamp(heat, 0.0, 1.0);
    for (std::size_t i = 1; i < std::size(stops); ++i) {
        if (heat <= stops[i].at) {
            const Stop& a = stops[i - 1];
            const Stop& b = stops[i];
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

uchar indexFor(double heat)
{
    return static_cast<uchar>(1 + std::lround(std::clamp(heat, 0.0, 1.0) * 254.0));
}

} // namespace

namespace {

struct Blob {
    double x, y, radius;
    std::uint32_t seed;
};

// How far inside the blob a point lies: 1 at the centre, 0 on its ragged edge.
double inside(const Blob& b, double x, double y, double spikes, double lumps)
{
    const double dx = x - b.x;
    const double dy = y - b.y;
    const double angle = std::atan2(dy, dx);
    const double cx = std::cos(angle);
    const double cy = std::sin(angle);
    // Slow noise round the rim makes lumps; fast noise makes flame tongues.
    const double slow = fbm(cx * 1.3 + 7, cy * 1.3 + 7, b.seed, 3) - 0.5;
    const double fast = fbm(cx * 5.0 + 3, cy * 5.0 + 3, b.seed + 9, 2) - 0.5;
    const double edge = b.radius * (1.0 + 2.0 * lumps * slow + 2.0 * spikes * fast);
    return 1.0 - std::hypot(dx, dy) / std::max(edge, 1.0);
}

} // namespace

QImage explosionFrame(int frame)
{
    Rng rng(0xF1AE00u + static_cast<std::uint64_t>(frame) * 977u);
    // Each frame is a different moment of a blast: a young one is small, hot and
    // spiky, an old one wide, hollow and smoky. Shown in random order they flicker.
    const double age = std::fmod(frame * 0.382 + 0.1, 1.0);
    const double spikes = rng.uniform(0.05, 0.3) * (1.0 - age);
    const double lumps = rng.uniform(0.15, 0.3);
    const double size = 6.5 + 7.0 * age + rng.uniform(-0.5, 1.0);

    std::vector<Blob> blobs;
    const double cx = 15.5 + rng.uniform(-1.0, 1.0);
    const double cy = 15.5 + rng.uniform(-1.0, 1.0);
    blobs.push_back({cx, cy, size, static_cast<std::uint32_t>(rng.next())});
    // Some frames throw off one or two smaller fireballs.
    const int extra = rng.below(3);
    for (int i = 0; i < extra; ++i) {
        const double a = rng.uniform(0.0, 2.0 * std::numbers::pi);
        const double d = size * rng.uniform(0.45, 0.75);
        blobs.push_back({cx + std::cos(a) * d, cy + std::sin(a) * d, size * rng.uniform(0.4, 0.6),
                         static_cast<std::uint32_t>(rng.next())});
    }
    const auto textureSeed = static_cast<std::uint32_t>(rng.next());
    const double hotness = 1.2 - 0.3 * age;

    QImage image(kSize, kSize, QImage::Format_Indexed8);
    image.setColorTable(firePalette());
    image.fill(0);
    for (int y = 0; y < kSize; ++y) {
        for (int x = 0; x < kSize; ++x) {
            const double px = x + 0.5;
            const double py = y + 0.5;
            double depth = -1.0;
            for (const Blob& b : blobs)
                depth = std::max(depth, inside(b, px, py, spikes, lumps));
            const double turbulence = fbm(px * 0.28, py * 0.28, textureSeed, 3) - 0.5;
            depth += 0.25 * turbulence;
            if (depth <= 0.0)
                continue;
            // Hottest in the middle; an old blast has burnt out there and glows as a ring.
            const double core = std::pow(depth, 0.8);
            const double burntOut = 0.5 * std::clamp((age - 0.55) / 0.45, 0.0, 1.0);
            const double hollow = 1.0 - burntOut * std::clamp((depth - 0.3) / 0.6, 0.0, 1.0);
            double heat = hotness * core * hollow + 0.45 * turbulence;
            // A thin fringe of cooler smoke round the outside.
            if (depth < 0.16)
                heat = std::min(heat, depth * 1.2);
            image.setPixel(x, y, indexFor(heat));
        }
    }

    // Sparks flung out past the fire, a short streak each.
    const int sparks = 3 + rng.below(6);
    for (int i = 0; i < sparks; ++i) {
        const double a = rng.uniform(0.0, 2.0 * std::numbers::pi);
        const double d = size * rng.uniform(0.9, 1.35);
        const double length = rng.uniform(0.0, 2.5);
        for (double t = 0.0; t <= length; t += 0.5) {
            const int x = static_cast<int>(cx + std::cos(a) * (d + t));
            const int y = static_cast<int>(cy + std::sin(a) * (d + t));
            if (x >= 0 && y >= 0 && x < kSize && y < kSize)
                image.setPixel(x, y, indexFor(t == 0.0 ? 0.92 : 0.78));
        }
    }
    return image;
}

} // namespace assetgen
