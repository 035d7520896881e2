// assetgen: draws and synthesises every picture, icon, cursor and sound of Keyfall.
// Usage: assetgen <assets-dir>. The output depends only on this code, so running
// it twice gives the same bytes.

#include "Cursors.h"
#include "Explosion.h"
#include "Field.h"
#include "IcoWriter.h"
#include "ImageOut.h"
#include "Reticles.h"
#include "Sounds.h"

#include <QCoreApplication>
#include <QString>

#include <cstdio>
#include <exception>

namespace {

void writeIco(const QImage& image, int bitsPerPixel, const QString& path)
{
    assetgen::writeIndexedIco(image, bitsPerPixel, path);
    assetgen::verifyRoundTrip(path, image);
}

void writePng(const QImage& image, const QString& path)
{
    assetgen::writeImage(image, path, "png");
    assetgen::verifyRoundTrip(path, image);
}

void run(const QString& dir)
{
    using namespace assetgen;

    const QString field = dir + "/field.jpg";
    writeImage(drawField(), field, "jpg", 90);
    verifyReadable(field, kFieldWidth, kFieldHeight);

    writeIco(windowIconReticle(), 4, dir + "/icon.ico");
    writeIco(starReticle(), 4, dir + "/star.ico");
    for (int i = 0; i < kExplosionFrames; ++i)
        writeIco(explosionFrame(i), 8, dir + QStringLiteral("/explosion/%1.ico").arg(101 + i));

    writePng(openHandCursor(), dir + "/cursors/openhand.png");
    writePng(closedHandCursor(), dir + "/cursors/closedhand.png");
    for (int size : {16, 32, 48, 64, 128, 256})
        writePng(appIcon(size), dir + QStringLiteral("/icons/hicolor/%1x%1/apps/org.keyfall.Keyfall.png").arg(size));

    writeSounds(dir + "/sounds");
}

} // namespace

int main(int argc, char** argv)
{
    // Only the image plugins are needed; no window system, no fonts.
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <assets-dir>\n", argv[0]);
        return 2;
    }
    try {
        run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
