#pragma once

#include <QImage>

namespace assetgen {

// 32 x 32 hand pointers in three kinds of pixel only: opaque white, opaque black
// and fully transparent. The open hand's palm centre is at (16, 15); the fist's
// centre at (15, 17); the game uses those points as the hot spots.
QImage openHandCursor();
QImage closedHandCursor();

}  // namespace assetgen
