#pragma once

#include <QImage>
#include <QList>
#include <QString>

namespace assetgen {

// Writes an image with Qt's own writer for that format; throws on failure.
void writeImage(const QImage& image, const QString& path, const char* format, int quality = -1);

// Reads a file back the way the game will and throws unless Qt decodes it to the
// expected size, so a broken asset never reaches a commit.
void verifyReadable(const QString& path, int width, int height);

// For lossless files: throws unless Qt reads back exactly `expected`, colours and
// transparency alike.
void verifyRoundTrip(const QString& path, const QImage& expected);

// Creates the directory that will hold `path`.
void makeParentDir(const QString& path);

} // namespace assetgen
