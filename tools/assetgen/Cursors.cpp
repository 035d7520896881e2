#include "Cursors.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>

#include <vector>

namespace assetgen {

namespace {

constexpr int kSize = 32;

QPainterPath finger(QPointF base, double width, double length, double degrees)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(-width / 2, -length, width, length + width), width / 2, width / 2);
    return QTransform().translate(base.x(), base.y()).rotate(degrees).map(path);
}

QPainterPath roundedRect(QRectF rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Which pixels a shape covers, decided without antialiasing: a cursor has no
// half-transparent pixels.
std::vector<bool> coverage(const QPainterPath &shape)
{
    QImage mask(kSize, kSize, QImage::Format_ARGB32);
    mask.fill(Qt::transparent);
    {
        QPainter p(&mask);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(shape);
    }
    std::vector<bool> covered(kSize * kSize);
    for (int y = 0; y < kSize; ++y)
        for (int x = 0; x < kSize; ++x)
            covered[y * kSize + x] = qAlpha(mask.pixel(x, y)) != 0;
    return covered;
}

// Paints the parts back to front, each white with a one-pixel black rim, so a
// part laid over another shows its own outline across it.
QImage layeredCursor(const std::vector<QPainterPath> &parts)
{
    QImage image(kSize, kSize, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (const QPainterPath &part : parts) {
        const std::vector<bool> inside = coverage(part);
        for (int y = 0; y < kSize; ++y) {
            for (int x = 0; x < kSize; ++x) {
                if (inside[y * kSize + x]) {
                    image.setPixel(x, y, qRgb(255, 255, 255));
                    continue;
                }
                bool touches = false;
                for (int dy = -1; dy <= 1 && !touches; ++dy)
                    for (int dx = -1; dx <= 1 && !touches; ++dx) {
                        const int nx = x + dx;
                        const int ny = y + dy;
                        touches = nx >= 0 && ny >= 0 && nx < kSize && ny < kSize && inside[ny * kSize + nx];
                    }
                if (touches)
                    image.setPixel(x, y, qRgb(0, 0, 0));
            }
        }
    }
    return image;
}

}  // namespace

QImage openHandCursor()
{
    // One silhouette: the spread fingers separate by themselves where they part.
    QPainterPath hand = roundedRect(QRectF(10, 9, 13, 13), 4);
    hand = hand.united(roundedRect(QRectF(11.5, 17, 10, 10), 2));
    hand = hand.united(finger(QPointF(11.8, 11), 3.4, 8.0, -14));
    hand = hand.united(finger(QPointF(15.2, 10), 3.4, 9.0, -3));
    hand = hand.united(finger(QPointF(18.6, 10), 3.4, 8.0, 8));
    hand = hand.united(finger(QPointF(21.4, 12), 3.2, 6.0, 20));
    hand = hand.united(finger(QPointF(11.5, 17), 3.6, 7.5, -55));
    return layeredCursor({hand});
}

QImage closedHandCursor()
{
    std::vector<QPainterPath> parts;
    parts.push_back(roundedRect(QRectF(10.5, 21, 10, 7), 1.5));
    parts.push_back(roundedRect(QRectF(8, 11, 15, 13), 4));
    for (int i = 0; i < 4; ++i)
        parts.push_back(roundedRect(QRectF(8.2 + i * 3.6, 8, 3.8, 8), 1.9));
    parts.push_back(finger(QPointF(10, 21), 3.6, 6.0, -60));
    return layeredCursor(parts);
}

}  // namespace assetgen
