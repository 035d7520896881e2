#include "ImageOut.h"

#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>

#include <stdexcept>

namespace assetgen {

void makeParentDir(const QString& path)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        throw std::runtime_error("cannot create directory " + dir.toStdString());
}

void writeImage(const QImage& image, const QString& path, const char* format, int quality)
{
    makeParentDir(path);
    QImageWriter writer(path, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (!writer.write(image))
        throw std::runtime_error("cannot write " + path.toStdString() + ": " + writer.errorString().toStdString());
}

namespace {

QImage readBack(const QString& path)
{
    QImageReader reader(path);
    QImage image = reader.read();
    if (image.isNull())
        throw std::runtime_error("Qt cannot read back " + path.toStdString() + ": "
                                 + reader.errorString().toStdString());
    return image;
}

} // namespace

void verifyReadable(const QString& path, int width, int height)
{
    const QImage image = readBack(path);
    if (image.width() != width || image.height() != height)
        throw std::runtime_error("unexpected size of " + path.toStdString());
}

void verifyRoundTrip(const QString& path, const QImage& expected)
{
    // Premultiplied, every fully transparent pixel is 0 whatever colour it held.
    const QImage got = readBack(path).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (got != expected.convertToFormat(QImage::Format_ARGB32_Premultiplied))
        throw std::runtime_error("Qt reads " + path.toStdString() + " back differently from what was written");
}

} // namespace assetgen
