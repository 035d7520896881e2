#include "Field.h"

#include "Rng.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <vector>

namespace assetgen {

namespace {

constexpr int W = kFieldWidth;
constexpr int H = kFieldHeight;

// The town sits in the valley bottom, a little right of the middle.
constexpr double kTownX = 336.0;
constexpr double kTownY = 318.0;

struct Rgb {
    double r = 0, g = 0, b = 0;
};

Rgb operator+(Rgb a, Rgb b)
{
    return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Rgb operator*(Rgb a, double k)
{
    return {a.r * k, a.g * k, a.b * k};
}
Rgb mix(Rgb a, Rgb b, double t)
{
    return a * (1.0 - t) + b * t;
}

double smoothstep(double e0, double e1, double x)
{
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

// Linear-light would be more exact, but the picture is painted like a poster:
// working on the 0..255 values directly keeps the colours where they were chosen.
class Canvas {
public:
    Canvas() : pixels_(static_cast<std::size_t>(W * H)) {}

    Rgb& at(int x, int y) { return pixels_[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)]; }

    void blend(int x, int y, Rgb colour, double alpha)
    {
        if (x < 0 || y < 0 || x >= W || y >= H || alpha <= 0.0)
            return;
        Rgb& p = at(x, y);
        p = mix(p, colour, std::min(alpha, 1.0));
    }

    void add(int x, int y, Rgb light)
    {
        if (x < 0 || y < 0 || x >= W || y >= H)
            return;
        Rgb& p = at(x, y);
        p = p + light;
    }

    // A soft round light: a Gaussian of deviation `sigma` centred on a sub-pixel position.
    void addGlow(double cx, double cy, double sigma, Rgb light)
    {
        const int reach = static_cast<int>(std::ceil(sigma * 3.0));
        for (int y = static_cast<int>(cy) - reach; y <= static_cast<int>(cy) + reach; ++y)
            for (int x = static_cast<int>(cx) - reach; x <= static_cast<int>(cx) + reach; ++x) {
                const double dx = x + 0.5 - cx;
                const double dy = y + 0.5 - cy;
                add(x, y, light * std::exp(-(dx * dx + dy * dy) / (2.0 * sigma * sigma)));
            }
    }

    // Fills a vector shape, antialiased by Qt's rasteriser, with a colour that may
    // vary across it.
    void fill(const QPainterPath& path, const std::function<Rgb(int, int)>& colour, double opacity = 1.0)
    {
        const QRect box = path.boundingRect().toAlignedRect().adjusted(-1, -1, 1, 1).intersected(QRect(0, 0, W, H));
        if (box.isEmpty())
            return;
        QImage mask(box.size(), QImage::Format_ARGB32_Premultiplied);
        mask.fill(Qt::transparent);
        {
            QPainter p(&mask);
            p.setRenderHint(QPainter::Antialiasing);
            p.translate(-box.topLeft());
            p.setPen(Qt::NoPen);
            p.setBrush(Qt::black);
            p.drawPath(path);
        }
        for (int y = 0; y < box.height(); ++y) {
            const auto* line = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
            for (int x = 0; x < box.width(); ++x) {
                const int a = qAlpha(line[x]);
                if (a == 0)
                    continue;
                const int px = box.left() + x;
                const int py = box.top() + y;
                blend(px, py, colour(px, py), opacity * a / 255.0);
            }
        }
    }

    void fill(const QPainterPath& path, Rgb colour, double opacity = 1.0)
    {
        fill(
            path, [colour](int, int) { return colour; }, opacity);
    }

    // Quantises to 8 bits with a little noise, which hides banding in the long
    // gradients of the sky and gives the picture a faint film grain.
    QImage toImage(std::uint64_t seed) const
    {
        Rng rng(seed);
        QImage image(W, H, QImage::Format_RGB32);
        for (int y = 0; y < H; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < W; ++x) {
                const Rgb& c = pixels_[static_cast<std::size_t>(y) * W + static_cast<std::size_t>(x)];
                // Darkens the corners a little to hold the eye in the middle.
                const double dx = (x - W / 2.0) / (W / 2.0);
                const double dy = (y - H / 2.0) / (H / 2.0);
                const double vignette = 1.0 - 0.22 * std::pow(std::min(1.0, (dx * dx + dy * dy) / 2.0), 1.5);
                const double grain = rng.uniform(-1.6, 1.6);
                auto channel = [&](double v) {
                    return static_cast<int>(std::clamp(std::lround(v * vignette + grain), 0L, 255L));
                };
                line[x] = qRgb(channel(c.r), channel(c.g), channel(c.b));
            }
        }
        return image;
    }

private:
    std::vector<Rgb> pixels_;
};

Rgb skyColour(double y)
{
    struct Stop {
        double y;
        Rgb c;
    };
    static const std::array<Stop, 6> stops{{
        {0, {12, 7, 34}},
        {90, {26, 12, 62}},
        {170, {52, 22, 94}},
        {220, {96, 34, 116}},
        {258, {156, 56, 124}},
        {300, {196, 84, 128}},
    }};
    if (y <= stops.front().y)
        return stops.front().c;
    for (std::size_t i = 1; i < stops.size(); ++i)
        if (y <= stops[i].y)
            return mix(stops[i - 1].c, stops[i].c, smoothstep(stops[i - 1].y, stops[i].y, y));
    return stops.back().c;
}

void paintSky(Canvas& canvas)
{
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            Rgb c = skyColour(y);
            // The town's lights warm the haze just above the horizon.
            const double gx = (x - kTownX) / 260.0;
            const double gy = (y - 262.0) / 70.0;
            c = c + Rgb{46, 16, 6} * std::exp(-(gx * gx + gy * gy));
            // Thin streaks of cloud, lit pink from below near the horizon.
            const double n = fbm(x * 0.0045, y * 0.028, 11, 5);
            const double band = smoothstep(0.52, 0.74, n) * smoothstep(70, 150, y) * (1.0 - smoothstep(200, 250, y));
            const Rgb cloud = mix(Rgb{46, 22, 80}, Rgb{150, 64, 130}, smoothstep(100, 240, y));
            c = mix(c, cloud, 0.45 * band);
            canvas.at(x, y) = c;
        }
    }
}

// Distance from the faint band of the galaxy crossing the upper sky.
double milkyWayDistance(double x, double y)
{
    // The line from (40, -20) to (470, 190), as a unit normal and offset.
    const double nx = 210.0;
    const double ny = -430.0;
    const double length = std::hypot(nx, ny);
    return std::abs((x - 40.0) * nx + (y + 20.0) * ny) / length;
}

void paintStars(Canvas& canvas)
{
    Rng rng(0x57A125);
    for (int y = 0; y < 230; ++y)
        for (int x = 0; x < W; ++x) {
            const double d = milkyWayDistance(x, y) / 38.0;
            const double dust = fbm(x * 0.025, y * 0.025, 71, 5);
            const double fade = 1.0 - smoothstep(110, 230, y);
            canvas.add(x, y, Rgb{26, 18, 40} * (std::exp(-d * d) * smoothstep(0.35, 0.75, dust) * fade));
        }
    // Countless faint stars crowd the band.
    for (int i = 0; i < 700; ++i) {
        const double x = rng.uniform(0, W);
        const double y = rng.uniform(0, 230);
        const double d = milkyWayDistance(x, y) / 45.0;
        if (rng.uniform() > std::exp(-d * d))
            continue;
        canvas.addGlow(x, y, 0.4, Rgb{200, 190, 230} * (rng.uniform(0.12, 0.4) * (1.0 - smoothstep(110, 230, y))));
    }
    for (int i = 0; i < 320; ++i) {
        const double x = rng.uniform(0, W);
        // Denser high up, thinning out into the glow of the horizon.
        const double y = 250.0 * std::pow(rng.uniform(), 1.5);
        const double fade = 1.0 - smoothstep(120, 250, y);
        const double brightness = (0.25 + 0.75 * std::pow(rng.uniform(), 4.0)) * fade;
        const double hue = rng.uniform();
        const Rgb tint = hue < 0.25 ? Rgb{200, 215, 255} : hue < 0.4 ? Rgb{255, 235, 200} : Rgb{245, 240, 255};
        canvas.addGlow(x, y, 0.45, tint * (brightness * 1.4));
        if (brightness > 0.6)
            canvas.addGlow(x, y, 1.6, tint * (brightness * 0.08));
    }
}

void paintMoon(Canvas& canvas)
{
    const double mx = 512.0;
    const double my = 64.0;
    const double radius = 14.5;
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const double dx = x + 0.5 - mx;
            const double dy = y + 0.5 - my;
            const double d = std::hypot(dx, dy);
            // A wide faint halo and a tighter bright one.
            canvas.add(x, y,
                       Rgb{34, 26, 48} * std::exp(-d / 70.0)
                           + Rgb{70, 60, 80} * std::exp(-std::max(0.0, d - radius) / 9.0));
            const double coverage = std::clamp(radius + 0.5 - d, 0.0, 1.0);
            if (coverage > 0.0) {
                const double maria = fbm(dx * 0.16 + 3, dy * 0.16 + 7, 23, 4);
                const double limb = std::sqrt(std::max(0.0, 1.0 - (d / radius) * (d / radius)));
                const double shade = (0.78 + 0.22 * limb) * (1.0 - 0.22 * smoothstep(0.45, 0.7, maria));
                canvas.blend(x, y, Rgb{255, 246, 222} * shade, coverage);
            }
        }
    }
}

// A ridge line: y for each column, shaped by `base` plus ridged fractal noise.
std::vector<double> ridge(const std::function<double(double)>& base, double amplitude, double scale, std::uint32_t seed)
{
    std::vector<double> heights(W + 1);
    for (int x = 0; x <= W; ++x) {
        const double n = fbm(x / scale, 0.5, seed, 5);
        const double ridged = 1.0 - std::abs(2.0 * n - 1.0);
        heights[static_cast<std::size_t>(x)] = base(x) - amplitude * ridged;
    }
    return heights;
}

QPainterPath belowRidge(const std::vector<double>& heights)
{
    QPainterPath path;
    path.moveTo(0, H + 2);
    for (int x = 0; x <= W; ++x)
        path.lineTo(x, heights[static_cast<std::size_t>(x)]);
    path.lineTo(W, H + 2);
    path.closeSubpath();
    return path;
}

// Small firs standing along a ridge, seen from far away.
void addDistantTrees(QPainterPath& land, const std::vector<double>& heights, Rng& rng, int from, int to, double density,
                     double size)
{
    for (int x = from; x < to; ++x) {
        if (rng.uniform() > density)
            continue;
        const double h = size * rng.uniform(0.6, 1.3);
        const double y = heights[static_cast<std::size_t>(x)] + 1.0;
        QPainterPath tree;
        tree.moveTo(x - h * 0.28, y);
        tree.lineTo(x, y - h);
        tree.lineTo(x + h * 0.28, y);
        tree.closeSubpath();
        land = land.united(tree);
    }
}

void paintHills(Canvas& canvas)
{
    auto valley = [](double x, double floorY, double rimY, double halfWidth) {
        return rimY + (floorY - rimY) * (1.0 - smoothstep(0.0, halfWidth, std::abs(x - kTownX)));
    };

    // Far range: hazy, just darker than the glowing sky behind it.
    const auto far = ridge([](double) { return 246.0; }, 48.0, 120.0, 31);
    canvas.fill(belowRidge(far), [&](int x, int y) {
        const double depth = y - far[static_cast<std::size_t>(x)];
        const double texture = fbm(x * 0.03, y * 0.05, 37, 4) - 0.5;
        return mix(Rgb{70, 34, 98}, Rgb{104, 44, 112}, smoothstep(0, 50, depth)) + Rgb{10, 5, 10} * texture;
    });

    // Middle hills frame the valley; the lowest ones carry a few far-off firs.
    Rng rng(0x41115);
    const auto mid = ridge([&](double x) { return valley(x, 304.0, 262.0, 300.0); }, 22.0, 70.0, 41);
    QPainterPath midLand = belowRidge(mid);
    addDistantTrees(midLand, mid, rng, 0, W, 0.18, 7.0);
    canvas.fill(midLand, [&](int x, int y) {
        const double depth = y - mid[static_cast<std::size_t>(x)];
        const double texture = fbm(x * 0.06, y * 0.09, 43, 4) - 0.5;
        const double gx = (x - kTownX) / 170.0;
        const double gy = (y - kTownY) / 40.0;
        const double townLight = std::exp(-(gx * gx + gy * gy));
        return mix(Rgb{38, 20, 58}, Rgb{56, 28, 72}, smoothstep(0, 40, depth)) + Rgb{18, 10, 16} * texture
               + Rgb{70, 34, 14} * townLight;
    });
}

void paintTown(Canvas& canvas)
{
    Rng rng(0x7011);

    // Houses first, dark against the lit valley floor, each with a window or two.
    const Rgb wall{62, 36, 44};
    const Rgb roofColour{34, 20, 36};
    const Rgb window{255, 206, 110};
    for (int i = 0; i < 34; ++i) {
        const double hx = kTownX + rng.gaussian() * 58.0;
        const double hy = kTownY + 6.0 + rng.gaussian() * 7.0 + std::abs(hx - kTownX) * -0.05;
        const double w = rng.uniform(5.0, 11.0);
        const double h = rng.uniform(3.0, 6.0);
        QPainterPath house;
        house.addRect(QRectF(hx - w / 2, hy - h, w, h));
        QPainterPath roof;
        roof.moveTo(hx - w / 2 - 1, hy - h);
        roof.lineTo(hx, hy - h - w * 0.35);
        roof.lineTo(hx + w / 2 + 1, hy - h);
        roof.closeSubpath();
        canvas.fill(house, wall);
        canvas.fill(roof, roofColour);
        const int windows = 1 + rng.below(3);
        for (int k = 0; k < windows; ++k) {
            const int wx = static_cast<int>(hx - w / 2 + 1 + rng.uniform(0, w - 2));
            const int wy = static_cast<int>(hy - h + 1 + rng.uniform(0, h - 2));
            canvas.blend(wx, wy, window, 0.9);
            canvas.addGlow(wx + 0.5, wy + 0.5, 1.2, Rgb{60, 34, 10});
        }
    }
    // A church spire rises over the roofs.
    QPainterPath church;
    church.addRect(QRectF(kTownX + 14, kTownY - 6, 7, 12));
    church.moveTo(kTownX + 13.5, kTownY - 6);
    church.lineTo(kTownX + 17.5, kTownY - 26);
    church.lineTo(kTownX + 21.5, kTownY - 6);
    canvas.fill(church, roofColour);
    canvas.blend(static_cast<int>(kTownX + 17), static_cast<int>(kTownY - 3), window, 0.8);

    // A warm dot with a halo; most are yellow lamps, some orange windows.
    auto light = [&](double x, double y, double strength) {
        const double warmth = rng.uniform();
        const Rgb core = warmth < 0.7 ? Rgb{255, 214, 130} : Rgb{255, 170, 80};
        canvas.addGlow(x, y, 0.55, core * (1.6 * strength));
        canvas.addGlow(x, y, 2.4, Rgb{120, 60, 18} * (0.35 * strength));
    };
    // Streets: one along the valley and a few climbing the near side, lamps spaced along each.
    for (int street = 0; street < 7; ++street) {
        const double angle = street == 0 ? 0.0 : rng.uniform(-0.5, 0.5) + (street % 2 ? 1.2 : -1.2);
        const double length = street == 0 ? 210.0 : rng.uniform(18.0, 40.0);
        const double ox = street == 0 ? kTownX - 105 : kTownX + rng.gaussian() * 45.0;
        const double oy = street == 0 ? kTownY + 2 : kTownY + rng.uniform(-4.0, 6.0);
        for (double d = 0; d < length; d += rng.uniform(3.0, 6.0)) {
            const double x = ox + std::cos(angle) * d;
            const double y = oy + std::sin(angle) * d * 0.25 + (street == 0 ? 3.0 * std::sin(d * 0.03) : 0.0);
            light(x, y, rng.uniform(0.5, 1.0));
        }
    }
    // Windows too small to show a house, thickest in the middle of town.
    for (int i = 0; i < 170; ++i) {
        const double x = kTownX + rng.gaussian() * 55.0;
        const double y = kTownY + rng.gaussian() * 7.0 + 0.04 * std::abs(x - kTownX);
        light(x, y, rng.uniform(0.25, 0.9));
    }
    // A road winding out of the valley to the left, lamps along it.
    for (int i = 0; i < 26; ++i) {
        const double t = i / 25.0;
        const double x = kTownX - 80 - t * 160;
        const double y = kTownY + 8 - t * 26 + 4 * std::sin(t * 7.0);
        light(x + rng.uniform(-1, 1), y, 0.55);
    }
    // Lone farms on the slopes.
    for (int i = 0; i < 14; ++i) {
        const double x = rng.uniform(170, 520);
        const double y = 300 + rng.uniform(-8, 16);
        light(x, y, rng.uniform(0.3, 0.7));
    }
    // Light spilling into the evening mist above the rooftops.
    for (int y = 240; y < 370; ++y)
        for (int x = 100; x < 580; ++x) {
            const double gx = (x - kTownX) / 120.0;
            const double gy = (y - kTownY + 6) / 26.0;
            const double mist = 0.6 + 0.8 * fbm(x * 0.02, y * 0.06, 53, 4);
            canvas.add(x, y, Rgb{40, 20, 8} * (mist * std::exp(-(gx * gx + gy * gy))));
        }
}

void paintForeground(Canvas& canvas)
{
    // The near slope the viewer stands on, dipping in the middle to show the town.
    const auto near = ridge(
        [](double x) {
            const double d = std::abs(x - kTownX);
            return 352.0 - 70.0 * smoothstep(80.0, 330.0, d);
        },
        14.0, 50.0, 61);
    canvas.fill(belowRidge(near), [&](int x, int y) {
        const double depth = y - near[static_cast<std::size_t>(x)];
        const double texture = fbm(x * 0.08, y * 0.08, 67, 3) - 0.5;
        return mix(Rgb{26, 16, 36}, Rgb{10, 8, 16}, smoothstep(0, 40, depth)) + Rgb{8, 6, 8} * texture;
    });
}

// A fir seen against the sky: tiers of drooping branches, wider towards the ground.
QPainterPath firTree(Rng& rng, double x, double groundY, double height)
{
    const double top = groundY - height;
    const double maxHalf = height * rng.uniform(0.17, 0.21);
    const int tiers = std::max(5, static_cast<int>(height / 11.0));
    std::vector<QPointF> right;
    std::vector<QPointF> left;
    right.emplace_back(x, top);
    for (int side = 0; side < 2; ++side) {
        auto& points = side == 0 ? right : left;
        const double dir = side == 0 ? 1.0 : -1.0;
        for (int i = 1; i <= tiers; ++i) {
            const double t = static_cast<double>(i) / tiers;
            const double y = top + height * 0.93 * std::pow(t, 0.92);
            const double half = maxHalf * std::pow(t, 0.85) * rng.uniform(0.8, 1.15) + 2.0;
            const double droop = rng.uniform(1.5, 4.0) + height * 0.012;
            const double notch = half * rng.uniform(0.3, 0.5);
            const double prevY = top + height * 0.93 * std::pow((i - 1.0) / tiers, 0.92);
            points.emplace_back(x + dir * notch, y - (y - prevY) * 0.55);
            // Ragged needles along the underside of the branch.
            points.emplace_back(x + dir * half * 0.55, y - (y - prevY) * 0.25 + rng.uniform(-1, 1));
            points.emplace_back(x + dir * half * 0.8, y - 1 + rng.uniform(-1, 1));
            points.emplace_back(x + dir * half, y + droop);
            points.emplace_back(x + dir * half * 0.7, y + droop * 0.6 + rng.uniform(0, 1.5));
            points.emplace_back(x + dir * half * 0.45, y + droop * 0.7);
        }
    }
    QPainterPath path;
    path.moveTo(right.front());
    for (std::size_t i = 1; i < right.size(); ++i)
        path.lineTo(right[i]);
    path.lineTo(x + 3, groundY + 4);
    path.lineTo(x - 3, groundY + 4);
    std::for_each(left.rbegin(), left.rend(), [&path](const QPointF& point) { path.lineTo(point); });
    path.closeSubpath();
    return path;
}

void paintTrees(Canvas& canvas)
{
    Rng rng(0xF12);
    struct Tree {
        double x, height;
    };
    // Tallest at the edges, shrinking towards the valley, leaving the middle open;
    // drawn small to large, as the big ones stand nearer.
    const std::array<Tree, 12> trees{{
        {178, 120},
        {468, 126},
        {146, 180},
        {500, 190},
        {104, 250},
        {-20, 250},
        {540, 262},
        {660, 260},
        {58, 330},
        {584, 340},
        {8, 400},
        {632, 410},
    }};
    const Rgb needle{7, 15, 12};
    for (const Tree& t : trees) {
        const QPainterPath tree = firTree(rng, t.x, H + 6, t.height);
        // The edges facing the town catch a faint rim of whatever light is behind
        // them, so the rim shows against the sky but not against another tree.
        const double towardTown = t.x < kTownX ? 1.2 : -1.2;
        canvas.fill(tree, [&](int x, int y) { return mix(needle, canvas.at(x, y), 0.3); });
        canvas.fill(tree.translated(-towardTown, 1.0), needle);
    }
}

} // namespace

QImage drawField()
{
    Canvas canvas;
    paintSky(canvas);
    paintStars(canvas);
    paintMoon(canvas);
    paintHills(canvas);
    paintTown(canvas);
    paintForeground(canvas);
    paintTrees(canvas);
    return canvas.toImage(0xF1E1D);
}

} // namespace assetgen
