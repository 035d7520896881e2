#pragma once

#include <QString>

namespace assetgen {

// Synthesises the six sound cues into `dir`.
void writeSounds(const QString& dir);

} // namespace assetgen
