#pragma once

#include <QImage>

namespace assetgen {

// The window icon: a bright-blue gun sight, 32 x 32, 16 colours, indexed.
QImage windowIconReticle();

// The star the player shoots at: a navy gun sight with a white burst, 32 x 32,
// 16 colours, indexed.
QImage starReticle();

// The desktop application icon, drawn natively at `size` pixels square.
QImage appIcon(int size);

} // namespace assetgen
