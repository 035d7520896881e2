#include "ui/Fonts.h"

#include <QFontMetrics>
#include <QStringList>

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

QString WrapToWidth(const QString& caption, const QFont& font, int width)
{
    const QFontMetrics metrics(font);
    QString wrapped;
    QString line;
    for (const QString& word : caption.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
        if (!line.isEmpty() && metrics.horizontalAdvance(candidate) > width) {
            wrapped += line + QLatin1Char('\n');
            line = word;
        } else {
            line = candidate;
        }
    }
    return wrapped + line;
}

} // namespace keyfall
