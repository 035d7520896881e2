#include "Field.h"

#include "Rng.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

namespace assetgen {

QImage drawField()
{
    QImage image(kFieldWidth, kFieldHeight, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 300);
    sky.setColorAt(0.0, QColor(0x14, 0x0c, 0x34));
    sky.setColorAt(0.7, QColor(0x4a, 0x22, 0x70));
    sky.setColorAt(1.0, QColor(0x9a, 0x40, 0x88));
    p.fillRect(image.rect(), sky);
    p.fillRect(QRect(0, 300, kFieldWidth, kFieldHeight - 300), QColor(0x18, 0x10, 0x28));
    return image;
}

}  // namespace assetgen
