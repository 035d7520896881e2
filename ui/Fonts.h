#pragma once
// The game's fonts. The layout names Verdana and Arial; Debian has neither, so they map to
// DejaVu Sans and Liberation Sans. Sizes are points at 96 dots per inch, turned into pixel
// sizes so that every screen and every Qt scale factor shows the same layout.

#include <QFont>

namespace keyfall {

void InstallFontSubstitutes();
QFont Verdana(double points, bool bold, bool italic = false);
QFont Arial(double points, bool bold);

// A push button's caption, broken between words where it is wider than `width` pixels, as
// "OPZIONI AVANZATE" and "APPLICA LE OPZIONI" must be.
QString WrapToWidth(const QString& caption, const QFont& font, int width);

} // namespace keyfall
