#include "ui/Fonts.h"

#include <cmath>

namespace keyfall {
namespace {

QFont Make(const QString& family, double points, bool bold, bool italic)
{
    QFont font(family);
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

} // namespace

void InstallFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
}

QFont Verdana(double points, bool bold, bool italic)
{
    return Make(QStringLiteral("Verdana"), points, bold, italic);
}

QFont Arial(double points, bool bold)
{
    return Make(QStringLiteral("Arial"), points, bold, false);
}

} // namespace keyfall
