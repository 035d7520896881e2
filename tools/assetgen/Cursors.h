#pragma once

#include <QImage>

namespace assetgen {

// 32 x 32 hand pointers in three kinds of pixel only: opaque white, opaque black
// and fully transparent. The open hand's palm is centred on pixel (16, 15) and
// the fist on (15, 17), the points the game uses as hot spots.
QImage openHandCursor();
QImage closedHandCursor();

} // namespace assetgen
