#pragma once

#include <QImage>

namespace assetgen {

constexpr int kFieldWidth = 640;
constexpr int kFieldHeight = 426;

// The playing field: a night valley with a lit town between dark fir trees.
QImage drawField();

} // namespace assetgen
