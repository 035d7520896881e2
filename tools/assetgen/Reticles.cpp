#include "Reticles.h"

#include "IcoWriter.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace assetgen {

namespace {

// The gun sight's proportions, as fractions of the square it is drawn in.
struct Sight {
    double centre; // pixels from the top-left corner
    double ringRadius;
    double ringWidth;
    double armWidth;
    double armInner; // where each cross-hair arm starts, leaving the centre open
    double armOuter;
};

Sight sightFor(double size)
{
    // Arms are an even number of pixels wide so that, centred on the middle of an
    // even-sized square, they cover whole pixels and stay crisp at every size.
    const double arm = 2.0 * std::max(1.0, std::floor(size / 32.0));
    return {size / 2.0, size * 0.30, std::max(1.5, size * 0.075), arm, size * 0.13, size * 0.47};
}

QPainterPath armsPath(const Sight& s)
{
    QPainterPath path;
    const double c = s.centre;
    const double h = s.armWidth / 2.0;
    path.addRect(QRectF(c - h, c - s.armOuter, s.armWidth, s.armOuter - s.armInner));
    path.addRect(QRectF(c - h, c + s.armInner, s.armWidth, s.armOuter - s.armInner));
    path.addRect(QRectF(c - s.armOuter, c - h, s.armOuter - s.armInner, s.armWidth));
    path.addRect(QRectF(c + s.armInner, c - h, s.armOuter - s.armInner, s.armWidth));
    return path;
}

QPainterPath ringPath(const Sight& s)
{
    QPainterPath ring;
    ring.addEllipse(QPointF(s.centre, s.centre), s.ringRadius + s.ringWidth / 2, s.ringRadius + s.ringWidth / 2);
    ring.addEllipse(QPointF(s.centre, s.centre), s.ringRadius - s.ringWidth / 2, s.ringRadius - s.ringWidth / 2);
    return ring;
}

// Paints the sight: an edge of width `edge` (none if 0) in a contrasting colour
// around every stroke, the body filled with `body`, so it stands out against any
// background.
void paintSight(QPainter& p, const Sight& s, const QBrush& body, const QColor& edgeColour, double edge)
{
    const QPainterPath shape = ringPath(s).united(armsPath(s));
    if (edge > 0.0) {
        p.setPen(QPen(edgeColour, 2.0 * edge, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
    }
    p.setPen(Qt::NoPen);
    p.setBrush(body);
    p.drawPath(shape);
}

QImage transparentCanvas(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

} // namespace

QImage windowIconReticle()
{
    QImage image = transparentCanvas(32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        const Sight s = sightFor(32);
        QRadialGradient body(QPointF(16, 16), 15);
        body.setColorAt(0.0, QColor(0x70, 0xc8, 0xff));
        body.setColorAt(1.0, QColor(0x10, 0x78, 0xff));
        paintSight(p, s, body, QColor(0x00, 0x18, 0x58), 1.0);
    }
    return quantize(image, {
                               qRgb(0x00, 0x18, 0x58),
                               qRgb(0x00, 0x2c, 0x88),
                               qRgb(0x04, 0x44, 0xb8),
                               qRgb(0x08, 0x5c, 0xe0),
                               qRgb(0x10, 0x78, 0xff),
                               qRgb(0x28, 0x8c, 0xff),
                               qRgb(0x40, 0xa0, 0xff),
                               qRgb(0x58, 0xb4, 0xff),
                               qRgb(0x70, 0xc8, 0xff),
                               qRgb(0x98, 0xdc, 0xff),
                               qRgb(0x20, 0x38, 0x80),
                               qRgb(0x30, 0x60, 0xc0),
                               qRgb(0x48, 0x88, 0xe8),
                               qRgb(0xc8, 0xec, 0xff),
                               qRgb(0xff, 0xff, 0xff),
                           });
}

QImage starReticle()
{
    QImage image = transparentCanvas(32);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        Sight s = sightFor(32);
        s.armInner = 7.5;
        // Navy alone would vanish into the night sky, so it gets a pale edge.
        paintSight(p, s, QColor(0x00, 0x10, 0x80), QColor(0xa8, 0xb8, 0xff), 1.0);
    }
    // The flash in the open centre is placed pixel by pixel: antialiased thin rays
    // would be lost to the icon's on-or-off transparency.
    static const char* const flash[] = {
        ".....yy.....", ".....YY.....", ".....WW.....", "..y..WW..y..", "...YWWWWY...", "yYWWWWWWWWYy",
        "yYWWWWWWWWYy", "...YWWWWY...", "..y..WW..y..", ".....WW.....", ".....YY.....", ".....yy.....",
    };
    for (int row = 0; row < 12; ++row)
        for (int col = 0; col < 12; ++col) {
            const char k = flash[row][col];
            if (k != '.')
                image.setPixel(10 + col, 10 + row,
                               k == 'W'   ? qRgb(0xff, 0xff, 0xff)
                               : k == 'Y' ? qRgb(0xff, 0xf4, 0xb8)
                                          : qRgb(0xff, 0xd8, 0x70));
        }
    return quantize(image, {
                               qRgb(0x00, 0x10, 0x80),
                               qRgb(0x00, 0x08, 0x58),
                               qRgb(0x10, 0x20, 0x98),
                               qRgb(0x30, 0x40, 0xb0),
                               qRgb(0x50, 0x64, 0xc8),
                               qRgb(0x78, 0x8c, 0xe0),
                               qRgb(0xa8, 0xb8, 0xff),
                               qRgb(0xc8, 0xd4, 0xff),
                               qRgb(0xe4, 0xea, 0xff),
                               qRgb(0xff, 0xff, 0xff),
                               qRgb(0xff, 0xf4, 0xb8),
                               qRgb(0xff, 0xd8, 0x70),
                               qRgb(0x40, 0x30, 0x90),
                               qRgb(0x60, 0x60, 0x80),
                               qRgb(0x90, 0x90, 0xb0),
                           });
}

QImage appIcon(int size)
{
    QImage image = transparentCanvas(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const double n = size;

    // A dark rounded square keeps the blue sight readable on light and dark desktops.
    const double margin = std::floor(n / 32.0);
    const QRectF tile(margin, margin, n - 2 * margin, n - 2 * margin);
    QLinearGradient tileFill(tile.topLeft(), tile.bottomLeft());
    tileFill.setColorAt(0.0, QColor(0x24, 0x1c, 0x48));
    tileFill.setColorAt(1.0, QColor(0x0e, 0x0b, 0x20));
    p.setPen(Qt::NoPen);
    p.setBrush(tileFill);
    p.drawRoundedRect(tile, n * 0.18, n * 0.18);
    if (size >= 48) {
        // A faint light rim gives the tile an edge on dark panels.
        const double rim = n / 64.0;
        p.setPen(QPen(QColor(0xff, 0xff, 0xff, 36), rim));
        p.setBrush(Qt::NoBrush);
        p.drawRoundedRect(tile.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2), n * 0.18, n * 0.18);
        p.setPen(Qt::NoPen);
    }

    Sight s = sightFor(n);
    s.ringRadius = n * 0.28;
    s.armOuter = n * 0.42;
    if (size < 32) {
        // Too few pixels for arms inside the ring: they would fill the sight.
        // The ticks stay outside it and the centre is left open.
        s.ringRadius = 4.4;
        s.ringWidth = 1.5;
        s.armInner = 3.8;
        s.armOuter = 7.6;
    }
    if (size >= 48) {
        QRadialGradient glow(QPointF(s.centre, s.centre), n * 0.45);
        glow.setColorAt(0.0, QColor(0x30, 0x90, 0xff, 90));
        glow.setColorAt(1.0, QColor(0x30, 0x90, 0xff, 0));
        p.setBrush(glow);
        p.drawEllipse(QPointF(s.centre, s.centre), n * 0.45, n * 0.45);
    }
    QRadialGradient body(QPointF(s.centre, s.centre), n * 0.45);
    body.setColorAt(0.0, QColor(0x90, 0xd8, 0xff));
    body.setColorAt(1.0, QColor(0x18, 0x80, 0xff));
    // Below 32 pixels a dark edge would only blur the strokes; the tile is dark anyway.
    if (size >= 32)
        paintSight(p, s, body, QColor(0x00, 0x10, 0x40), n / 64.0);
    else
        paintSight(p, s, body, QColor(), 0.0);
    return image;
}

} // namespace assetgen
