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

void run(const QString &dir)
{
    using namespace assetgen;

    const QString field = dir + "/field.jpg";
    writeImage(drawField(), field, "jpg", 90);
    verifyReadable(field, kFieldWidth, kFieldHeight);

    const QString icon = dir + "/icon.ico";
    writeIndexedIco(windowIconReticle(), 4, icon);
    verifyReadable(icon, 32, 32);

    const QString star = dir + "/star.ico";
    writeIndexedIco(starReticle(), 4, star);
    verifyReadable(star, 32, 32);

    for (int i = 0; i < kExplosionFrames; ++i) {
        const QString path = dir + QStringLiteral("/explosion/%1.ico").arg(101 + i);
        writeIndexedIco(explosionFrame(i), 8, path);
        verifyReadable(path, 32, 32);
    }

    const QString open = dir + "/cursors/openhand.png";
    writeImage(openHandCursor(), open, "png");
    verifyReadable(open, 32, 32);
    const QString closed = dir + "/cursors/closedhand.png";
    writeImage(closedHandCursor(), closed, "png");
    verifyReadable(closed, 32, 32);

    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QString path = dir + QStringLiteral("/icons/hicolor/%1x%1/apps/org.keyfall.Keyfall.png").arg(size);
        writeImage(appIcon(size), path, "png");
        verifyReadable(path, size, size);
    }

    writeSounds(dir + "/sounds");
}

}  // namespace

int main(int argc, char **argv)
{
    // Only the image plugins are needed; no window system, no fonts.
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <assets-dir>\n", argv[0]);
        return 2;
    }
    try {
        run(QString::fromLocal8Bit(argv[1]));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "assetgen: %s\n", e.what());
        return 1;
    }
    return 0;
}
