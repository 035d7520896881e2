#include "ui/Metrics.h"

#include <algorithm>
#include <cmath>

namespace keyfall {

Metrics::Metrics(double scale) : m_scale(scale > 0 ? scale : 1.0)
{
}

int Metrics::Px(float twips) const
{
    return static_cast<int>(std::lround(PxF(twips)));
}

qreal Metrics::PxF(float twips) const
{
    return static_cast<qreal>(twips) / kTwipsPerPixel * m_scale;
}

QRect Metrics::PxRect(const Control& c, int offset) const
{
    const int shift = offset == 0 ? 0 : Scaled(offset);
    return {Px(c.Left) + shift, Px(c.Top) + shift, Px(c.Width), Px(c.Height)};
}

int Metrics::Scaled(int pixels) const
{
    return std::max(1, static_cast<int>(std::lround(pixels * m_scale)));
}

QFont Metrics::Font(QFont font) const
{
    if (font.pixelSize() > 0)
        font.setPixelSize(Scaled(font.pixelSize()));
    else
        font.setPointSizeF(font.pointSizeF() * m_scale);
    return font;
}

double ChooseScale(const QSizeF& area, const QSizeF& scene, const SceneScale& wanted)
{
    if (scene.isEmpty() || area.isEmpty())
        return 1.0;
    const double fit = std::min(area.width() / scene.width(), area.height() / scene.height());
    switch (wanted.Mode) {
    case ScaleMode::Fit: return fit;
    case ScaleMode::Factor: return std::min(wanted.Factor > 0 ? wanted.Factor : 1.0, fit);
    case ScaleMode::Natural: break;
    }
    return std::min(1.0, fit);
}

} // namespace keyfall
