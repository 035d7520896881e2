#include "IcoWriter.h"

#include "Bytes.h"
#include "ImageOut.h"

#include <QFile>

#include <cstdint>
#include <stdexcept>
#include <string>

namespace assetgen {

namespace {

// Bitmap rows are padded to whole 32-bit words.
int rowBytes(int width, int bits)
{
    return ((width * bits + 31) / 32) * 4;
}

} // namespace

void writeIndexedIco(const QImage& image, int bitsPerPixel, const QString& path)
{
    if (image.format() != QImage::Format_Indexed8)
        throw std::runtime_error("ICO source must be indexed: " + path.toStdString());
    if (bitsPerPixel != 4 && bitsPerPixel != 8)
        throw std::runtime_error("ICO depth must be 4 or 8 bits");
    const int paletteSize = 1 << bitsPerPixel;
    const QList<QRgb> colours = image.colorTable();
    if (colours.size() > paletteSize)
        throw std::runtime_error("too many colours for " + path.toStdString());
    const int w = image.width();
    const int h = image.height();
    if (w > 256 || h > 256)
        throw std::runtime_error("ICO images are at most 256 pixels wide");

    const int xorRow = rowBytes(w, bitsPerPixel);
    const int andRow = rowBytes(w, 1);
    const auto bitmapSize = static_cast<std::uint32_t>((xorRow + andRow) * h);
    const std::uint32_t dataSize = 40 + 4 * static_cast<std::uint32_t>(paletteSize) + bitmapSize;

    QByteArray out;
    // ICONDIR with one entry.
    put16(out, 0);
    put16(out, 1);
    put16(out, 1);
    out.append(static_cast<char>(w == 256 ? 0 : w));
    out.append(static_cast<char>(h == 256 ? 0 : h));
    out.append(static_cast<char>(paletteSize >= 256 ? 0 : paletteSize));
    out.append('\0');
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bitsPerPixel));
    put32(out, dataSize);
    put32(out, 6 + 16);

    // BITMAPINFOHEADER: the height counts the colour bitmap and the mask together.
    put32(out, 40);
    put32(out, static_cast<std::uint32_t>(w));
    put32(out, static_cast<std::uint32_t>(2 * h));
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bitsPerPixel));
    put32(out, 0);
    put32(out, bitmapSize);
    put32(out, 0);
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(paletteSize));
    put32(out, 0);

    for (int i = 0; i < paletteSize; ++i) {
        // Transparent entries are black, which is what the AND/XOR scheme needs to
        // leave the screen untouched under a masked pixel.
        const QRgb c = i < colours.size() && qAlpha(colours[i]) != 0 ? colours[i] : qRgb(0, 0, 0);
        out.append(static_cast<char>(qBlue(c)));
        out.append(static_cast<char>(qGreen(c)));
        out.append(static_cast<char>(qRed(c)));
        out.append('\0');
    }

    auto transparent = [&](int x, int y) { return qAlpha(colours[image.pixelIndex(x, y)]) == 0; };

    // Both bitmaps are stored bottom row first.
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(xorRow, '\0');
        for (int x = 0; x < w; ++x) {
            const int index = image.pixelIndex(x, y);
            if (bitsPerPixel == 8)
                row[x] = static_cast<char>(index);
            else
                row[x / 2] = static_cast<char>(row[x / 2] | (x % 2 == 0 ? index << 4 : index));
        }
        out.append(row);
    }
    for (int y = h - 1; y >= 0; --y) {
        QByteArray row(andRow, '\0');
        for (int x = 0; x < w; ++x) {
            if (transparent(x, y))
                row[x / 8] = static_cast<char>(row[x / 8] | (0x80 >> (x % 8)));
        }
        out.append(row);
    }

    makeParentDir(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(out) != out.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QImage quantize(const QImage& image, const QList<QRgb>& opaqueColours)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    QImage out(argb.size(), QImage::Format_Indexed8);
    QList<QRgb> table{qRgba(0, 0, 0, 0)};
    table.append(opaqueColours);
    out.setColorTable(table);
    for (int y = 0; y < argb.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        uchar* dst = out.scanLine(y);
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = line[x];
            if (qAlpha(c) < 128) {
                dst[x] = 0;
                continue;
            }
            int best = 1;
            long bestDistance = -1;
            for (int i = 1; i < table.size(); ++i) {
                const long dr = qRed(c) - qRed(table[i]);
                const long dg = qGreen(c) - qGreen(table[i]);
                const long db = qBlue(c) - qBlue(table[i]);
                // Weighted by how strongly the eye sees each primary.
                const long distance = 3 * dr * dr + 4 * dg * dg + 2 * db * db;
                if (bestDistance < 0 || distance < bestDistance) {
                    bestDistance = distance;
                    best = i;
                }
            }
            dst[x] = static_cast<uchar>(best);
        }
    }
    return out;
}

} // namespace assetgen
