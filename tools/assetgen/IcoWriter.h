#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace assetgen {

// Qt's ICO writer always stores 32-bit colour; the game's icons are palette
// icons, so this writes a single-image ICO from an indexed image itself.
// `image` must be Format_Indexed8 with at most 16 colours (bitsPerPixel 4) or 256
// (bitsPerPixel 8); pixels whose palette entry has alpha 0 become transparent
// through the ICO's AND mask.
void writeIndexedIco(const QImage& image, int bitsPerPixel, const QString& path);

// Maps an ARGB image onto a palette for an indexed icon: entry 0 of the result is
// the transparent colour, used where alpha is below one half (ICO transparency is
// on or off); every other pixel takes the nearest of `opaqueColours`.
QImage quantize(const QImage& image, const QList<QRgb>& opaqueColours);

} // namespace assetgen
