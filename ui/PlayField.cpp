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
      m_pressFont(Arial(18, true)), m_letterPen(QColor(0xFF, 0x00, 0x00)), m_messagePen(QColor(0x00, 0x00, 0xFF)),
      m_scorePen(QColor(0xFF, 0xFF, 0x80)), m_pressPen(QColor(0xFF, 0xFF, 0xFF))
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
        const QString text = QString::fromStdString(label.Caption);
        // Laid out once per caption: a letter that only falls is drawn from the same glyphs.
        drawn.text.setTextFormat(Qt::PlainText);
        drawn.text.setText(text);
        drawn.text.prepare(QTransform(), font);
        // The labels size themselves to their text and keep their left edge: the text starts
        // at the label's top-left corner, its baseline one ascent below.
        const QFontMetricsF metrics(font);
        drawn.ink = metrics.boundingRect(text).translated(0, metrics.ascent());
    }
    const bool shown = label.Visible && !label.Caption.empty();
    TrackImage(drawn.drawn, shown ? Covering(drawn.ink.translated(Px(label.Left), Px(label.Top))) : QRect());
}

void PlayField::TrackImage(QRect& drawn, QRect now)
{
    // The old place loses the drawing, the new one gets it; where both are the same, the
    // content may still be new (another caption, another explosion frame).
    AddDirty(drawn);
    AddDirty(now);
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
    for (QRect& rect : m_dirty) {
        if (!rect.isNull())
            update(rect);
        rect = QRect();
    }
}

void PlayField::AddDirty(const QRect& rect)
{
    if (rect.isNull())
        return;
    // A few rectangles, each grown to take in its neighbours: letters falling side by side
    // become one band instead of a region of hundreds of slivers, each painted and sent to
    // the display on its own, while the echo at the bottom and a letter at the top stay apart.
    const auto area = [](const QRect& r) { return qint64{r.width()} * r.height(); };
    QRect* best = nullptr;
    QRect* empty = nullptr;
    qint64 bestGrowth = 0;
    for (QRect& dirty : m_dirty) {
        if (dirty.isNull()) {
            empty = empty ? empty : &dirty;
            continue;
        }
        const qint64 growth = area(dirty | rect) - area(dirty) - area(rect);
        if (!best || growth < bestGrowth) {
            best = &dirty;
            bestGrowth = growth;
        }
    }
    if (empty && (!best || bestGrowth > 0)) {
        *empty = rect;
        return;
    }
    *best |= rect;
}

void PlayField::DrawLabel(QPainter& painter, const DrawnLabel& drawn, const Label& label, const QRect& part,
                          const QFont& font, const QPen& pen) const
{
    if (drawn.drawn.isNull() || !part.intersects(drawn.drawn))
        return;
    // Setting a font builds a new one in Qt, at every call: it is set only when another kind
    // of label comes next, so a tick that moves letters sets it once.
    if (m_painterFont != &font) {
        painter.setFont(font);
        painter.setPen(pen);
        m_painterFont = &font;
    }
    painter.drawStaticText(QPointF(Px(label.Left), Px(label.Top)), drawn.text);
}

const QPixmap& PlayField::Background(qreal ratio)
{
    if (ratio == 1.0)
        return m_background;
    // On a scaled screen the picture is enlarged once, smoothly, to the screen's pixels, and
    // then copied as it is at every paint instead of being scaled again.
    if (m_scaledBackground.devicePixelRatio() != ratio || m_scaledBackground.isNull()) {
        m_scaledBackground =
            m_background.scaled(m_background.size() * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        m_scaledBackground.setDevicePixelRatio(ratio);
    }
    return m_scaledBackground;
}

void PlayField::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    m_painterFont = nullptr;
    painter.translate(kBorder, kBorder);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // On a scaled screen (QT_SCALE_FACTOR=1.5) the pictures are enlarged: smoothing keeps
    // every star the same size instead of doubling every other pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QPixmap& background = Background(devicePixelRatioF());
    // One rectangle of the region at a time: under a rectangular clip Qt copies the picture
    // with plain block copies, where a clip of many rectangles makes it blend line by line.
    // The rectangles of a region never overlap, so every pixel is still drawn once.
    const QRect inside = contentsRect();
    for (const QRect& rect : event->region()) {
        const QRect part = rect & inside;
        if (part.isEmpty())
            continue;
        painter.setClipRect(part.translated(-kBorder, -kBorder));
        PaintPart(painter, part, background);
    }
}

void PlayField::PaintPart(QPainter& painter, const QRect& part, const QPixmap& background) const
{
    painter.fillRect(part.translated(-kBorder, -kBorder), Qt::black);
    painter.drawPixmap(0, 0, background);

    // Lower controls first, as the window stacks them.
    for (std::size_t i = 0; i < kSlots; ++i) {
        const Image& boom = m_form.Explode[i];
        const auto explosion = [&] {
            if (!m_explosionRects[i].isNull() && part.intersects(m_explosionRects[i]))
                painter.drawPixmap(QPointF(Px(boom.Left), Px(boom.Top)),
                                   m_explosions[static_cast<std::size_t>(boom.Picture - FirstExplosionFrame)]);
        };
        // Slot 0 creates its explosion before its letter, every later slot after it.
        if (i == 0)
            explosion();
        DrawLabel(painter, m_letters[i], m_form.lblLetter[i], part, m_letterFont, m_letterPen);
        if (i != 0)
            explosion();
        const Image& star = m_form.Star[i];
        if (!m_starRects[i].isNull() && part.intersects(m_starRects[i]))
            painter.drawPixmap(QRectF(Px(star.Left), Px(star.Top), Px(star.Width), Px(star.Height)), m_star,
                               QRectF(m_star.rect()));
    }
    DrawLabel(painter, m_message, m_form.lblMessage, part, m_messageFont, m_messagePen);
    for (std::size_t i = 0; i < kSlots; ++i)
        DrawLabel(painter, m_scores[i], m_form.Score[i], part, m_scoreFont, m_scorePen);
    DrawLabel(painter, m_press, m_form.lblPress, part, m_pressFont, m_pressPen);
}

} // namespace keyfall
