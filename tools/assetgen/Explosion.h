#pragma once

#include <QImage>

namespace assetgen {

constexpr int kExplosionFrames = 15;

// One 32 x 32 explosion frame, 256-colour indexed, `frame` in [0, kExplosionFrames).
QImage explosionFrame(int frame);

} // namespace assetgen
