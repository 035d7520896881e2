#include "ui/PlayField.h"

#include "ui/Fonts.h"

#include <QPaintEvent>
#include <QPainter>

namespace keyfall {
namespace {

// Twips to logical pixels, keeping half pixels for the painter.
qreal Px(float twips)
{
    return static_cast<qreal>(twips) / kTwipsPerPixel;
}

constexpr int kBorder = 2; // the sunken border; child positions start inside it

// The whole pixels that a drawing inside `area` (field coordinates) may touch, in widget
// coordinates. Antialiasing and smoothed scaling bleed into the next pixel; a pixel of
// margin keeps that inside the repainted rectangle.
QRect Covering(const QRectF& area)
{
    return area.translated(kBorder, kBorder).toAlignedRect().adjusted(-1, -1, 1, 1);
}

} // namespace

PlayField::PlayField(const FrmMain& form, QWidget* parent)
    : QFrame(parent), m_form(form), m_background(QStringLiteral(":/field.jpg")), m_star(QStringLiteral(":/star.ico")),
      m_letterFont(Verdana(24, true)), m_messageFont(Verdana(24, true)), m_scoreFont(Arial(12, true)),
      m_pressFont(Arial(18, true))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (std::size_t i = 0; i < m_explosions.size(); ++i)
        m_explosions[i] = QPixmap(QStringLiteral(":/explosion/%1.ico").arg(FirstExplosionFrame + static_cast<int>(i)));
}

void PlayField::Track(DrawnLabel& drawn, const Label& label, const QFont& font)
{
    if (label.Caption != drawn.caption) {
        drawn.caption = label.Caption;
        drawn.text = QString::fromStdString(label.Caption);
        // The labels size themselves to their text and keep their left edge: the text starts
        // at the label's top-left corner, its baseline one ascent below.
        const QFontMetricsF metrics(font);
        drawn.ascent = metrics.ascent();
        drawn.ink = metrics.boundingRect(drawn.text).translated(0, drawn.ascent);
    }
    const bool shown = label.Visible && !label.Caption.empty();
    TrackImage(drawn.drawn, shown ? Covering(drawn.ink.translated(Px(label.Left), Px(label.Top))) : QRect());
}

void PlayField::TrackImage(QRect& drawn, QRect now)
{
    // The old place loses the drawing, the new one gets it; where both are the same, the
    // content may still be new (another caption, another explosion frame).
    if (!drawn.isNull())
        update(drawn);
    if (!now.isNull() && now != drawn)
        update(now);
    drawn = now;
}

QRect PlayField::ExplosionRect(const Image& image) const
{
    if (!image.Visible || image.Picture < FirstExplosionFrame || image.Picture > LastExplosionFrame)
        return {};
    const QPixmap& frame = m_explosions[static_cast<std::size_t>(image.Picture - FirstExplosionFrame)];
    return Covering(QRectF(QPointF(Px(image.Left), Px(image.Top)), frame.deviceIndependentSize()));
}

QRect PlayField::StarRect(const Image& image) const
{
    if (!image.Visible)
        return {};
    return Covering(QRectF(Px(image.Left), Px(image.Top), Px(image.Width), Px(image.Height)));
}

void PlayField::Invalidate(const ChangeSet& changes)
{
    for (std::size_t i = 0; i < kSlots; ++i) {
        if (changes.letters[i])
            Track(m_letters[i], m_form.lblLetter[i], m_letterFont);
        if (changes.explosions[i])
            TrackImage(m_explosionRects[i], ExplosionRect(m_form.Explode[i]));
        if (changes.stars[i])
            TrackImage(m_starRects[i], StarRect(m_form.Star[i]));
        if (changes.scores[i])
            Track(m_scores[i], m_form.Score[i], m_scoreFont);
    }
    if (changes.message)
        Track(m_message, m_form.lblMessage, m_messageFont);
    if (changes.press)
        Track(m_press, m_form.lblPress, m_pressFont);
}

void PlayField::DrawLabel(QPainter& painter, const DrawnLabel& drawn, const Label& label, const QRegion& dirty,
                          const QFont& font, const QColor& color) const
{
    if (drawn.drawn.isNull() || !dirty.intersects(drawn.drawn))
        return;
    painter.setFont(font);
    painter.setPen(color);
    painter.drawText(QPointF(Px(label.Left), Px(label.Top) + drawn.ascent), drawn.text);
}

void PlayField::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    // Qt clips the painter to the region that needs repainting; the drawings that lie
    // wholly outside it are skipped.
    const QRegion& dirty = event->region();
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    painter.translate(kBorder, kBorder);
    painter.fillRect(QRect(0, 0, width(), height()), Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // On a scaled screen (QT_SCALE_FACTOR=1.5) the pictures are enlarged: smoothing keeps
    // every star the same size instead of doubling every other pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawPixmap(0, 0, m_background);

    // Lower controls first, as the window stacks them.
    for (std::size_t i = 0; i < kSlots; ++i) {
        const Image& boom = m_form.Explode[i];
        const auto explosion = [&] {
            if (!m_explosionRects[i].isNull() && dirty.intersects(m_explosionRects[i]))
                painter.drawPixmap(QPointF(Px(boom.Left), Px(boom.Top)),
                                   m_explosions[static_cast<std::size_t>(boom.Picture - FirstExplosionFrame)]);
        };
        // Slot 0 creates its explosion before its letter, every later slot after it.
        if (i == 0)
            explosion();
        DrawLabel(painter, m_letters[i], m_form.lblLetter[i], dirty, m_letterFont, QColor(0xFF, 0x00, 0x00));
        if (i != 0)
            explosion();
        const Image& star = m_form.Star[i];
        if (!m_starRects[i].isNull() && dirty.intersects(m_starRects[i]))
            painter.drawPixmap(QRectF(Px(star.Left), Px(star.Top), Px(star.Width), Px(star.Height)), m_star,
                               QRectF(m_star.rect()));
    }
    DrawLabel(painter, m_message, m_form.lblMessage, dirty, m_messageFont, QColor(0x00, 0x00, 0xFF));
    for (std::size_t i = 0; i < kSlots; ++i)
        DrawLabel(painter, m_scores[i], m_form.Score[i], dirty, m_scoreFont, QColor(0xFF, 0xFF, 0x80));
    DrawLabel(painter, m_press, m_form.lblPress, dirty, m_pressFont, QColor(0xFF, 0xFF, 0xFF));
}

} // namespace keyfall
