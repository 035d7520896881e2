#pragma once
// Twips to logical pixels, at the scale the whole scene is drawn at. Every geometry and font
// of the two windows goes through one of these, so that a scene scaled down to fit a small
// screen (or up to fill a projector) keeps its proportions and its text stays sharp: the
// text is laid out at the scaled size, never enlarged from a drawing.

#include "game/FrmMain.h"

#include <QFont>
#include <QRect>
#include <QSizeF>

namespace keyfall {

// The sunken border of a picture box at scale 1; its children count from inside it.
inline constexpr int kBorderWidth = 2;

class Metrics {
public:
    // 0 < scale; 1 is the layout's own size.
    explicit Metrics(double scale = 1.0);

    double Scale() const { return m_scale; }
    // Whole pixels, for widgets.
    int Px(float twips) const;
    // Half pixels kept, for the painter.
    qreal PxF(float twips) const;
    // The control's rectangle, moved by `offset` pixels at scale 1 (a border it sits inside).
    QRect PxRect(const Control& c, int offset = 0) const;
    // A length given in pixels at scale 1; never less than one pixel.
    int Scaled(int pixels) const;
    // The font at this scale.
    QFont Font(QFont font) const;

    bool operator==(const Metrics&) const = default;

private:
    double m_scale;
};

// How large the player wants the scene: its own size where it fits (scaled down where it does
// not), as large as fits, or a factor of its own size (also scaled down where it does not fit:
// the buttons must stay on screen).
enum class ScaleMode { Natural, Fit, Factor };
struct SceneScale {
    ScaleMode Mode = ScaleMode::Natural;
    double Factor = 1.0; // for ScaleMode::Factor, > 0

    bool operator==(const SceneScale&) const = default;
};

// The scale for a scene of `scene` pixels at scale 1 in an `area` of pixels. Both must be
// non-empty; the result is > 0.
double ChooseScale(const QSizeF& area, const QSizeF& scene, const SceneScale& wanted);

} // namespace keyfall
