#include "ui/PlayField.h"

#include "ui/Fonts.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace keyfall {

PlayField::PlayField(const FrmMain& form, QWidget* parent)
    : QFrame(parent), m_form(form), m_background(QStringLiteral(":/field.jpg")), m_star(QStringLiteral(":/star.ico")),
      m_letterPen(QColor(0xFF, 0x00, 0x00)), m_messagePen(QColor(0x00, 0x00, 0xFF)),
      m_scorePen(QColor(0xFF, 0xFF, 0x80)), m_pressPen(QColor(0xFF, 0xFF, 0xFF))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (std::size_t i = 0; i < m_explosions.size(); ++i)
        m_explosions[i] = QPixmap(QStringLiteral(":/explosion/%1.ico").arg(FirstExplosionFrame + static_cast<int>(i)));
    SetMetrics(m_metrics);
}

void PlayField::SetMetrics(const Metrics& metrics)
{
    m_metrics = metrics;
    setLineWidth(m_metrics.Scaled(kBorderWidth));
    m_letterFont = m_metrics.Font(Verdana(24, true));
    m_messageFont = m_metrics.Font(Verdana(24, true));
    m_scoreFont = m_metrics.Font(Arial(12, true));
    m_pressFont = m_metrics.Font(Arial(18, true));
    m_recordFont = m_metrics.Font(Verdana(18, true));
    m_layouts.clear();
    m_scaledRatio = 0;
    // Every text is laid out again in the new fonts, and every place is measured again.
    for (auto* labels : {&m_letters, &m_scores}) {
        for (DrawnLabel& drawn : *labels)
            drawn = {};
    }
    m_message = {};
    m_press = {};
    m_explosionRects = {};
    m_starRects = {};
    m_recordDrawn = {};
    Refresh();
    RepaintAll();
}

QRect PlayField::Covering(const QRectF& area) const
{
    // Antialiasing and smoothed scaling bleed into the next pixel; a pixel of margin keeps
    // that inside the repainted rectangle.
    const int border = lineWidth();
    return area.translated(border, border).toAlignedRect().adjusted(-1, -1, 1, 1);
}

const PlayField::Layout& PlayField::LaidOut(const std::string& caption, const QFont& font)
{
    auto key = std::make_pair(&font, caption);
    if (const auto kept = m_layouts.find(key); kept != m_layouts.end())
        return kept->second;
    if (m_layouts.size() >= kKeptLayouts)
        m_layouts.clear();
    const QString text = QString::fromStdString(caption);
    Layout layout;
    layout.text.setTextFormat(Qt::PlainText);
    layout.text.setText(text);
    layout.text.prepare(QTransform(), font);
    // The labels size themselves to their text and keep their left edge: the text starts at the
    // label's top-left corner, its baseline one ascent below.
    const QFontMetricsF metrics(font);
    layout.ink = metrics.boundingRect(text).translated(0, metrics.ascent());
    ++m_layoutsMade;
    return m_layouts.emplace(std::move(key), std::move(layout)).first->second;
}

bool PlayField::Track(DrawnLabel& drawn, const Label& label, const QFont& font)
{
    const bool captionChanged = label.Caption != drawn.caption;
    if (captionChanged) {
        drawn.caption = label.Caption;
        // A letter that only falls is drawn from the same glyphs; a caption seen before, from
        // the glyphs laid out then.
        drawn.layout = LaidOut(label.Caption, font);
    }
    const bool shown = label.Visible && !label.Caption.empty();
    const QRect now = shown ? Covering(drawn.layout.ink.translated(Origin(label))) : QRect();
    // The same text at the same whole pixel looks the same: a letter that fell less than a
    // pixel costs nothing this tick.
    return TrackImage(drawn.drawn, now, captionChanged);
}

QPointF PlayField::Origin(const Label& label) const
{
    // Text lands on whole pixels of the screen whatever its position, so a label is placed on
    // one: its pixels then follow from the whole pixel alone.
    const qreal ratio = devicePixelRatioF();
    return {m_metrics.PxF(label.Left), std::round(m_metrics.PxF(label.Top) * ratio) / ratio};
}

bool PlayField::TrackImage(QRect& drawn, QRect now, bool contentChanged)
{
    if (now == drawn && (!contentChanged || now.isNull()))
        return false;
    // The old place loses the drawing, the new one gets it; where both are the same, the
    // content is new (another caption, another explosion frame).
    AddDirty(drawn);
    AddDirty(now);
    drawn = now;
    return true;
}

void PlayField::SetRecordText(const QString& text)
{
    if (text == m_recordText)
        return;
    m_recordText = text;
    TrackRecord(true);
    FlushDirty();
}

QRect PlayField::RecordRect() const
{
    // Centred under the message's text and clear of its line, so it never covers it.
    const Label& message = m_form.lblMessage;
    const QFontMetricsF messageMetrics(m_messageFont);
    const qreal messageWidth = messageMetrics.horizontalAdvance(QString::fromStdString(message.Caption));
    const qreal border = lineWidth();
    const qreal centre = border + m_metrics.PxF(message.Left) + messageWidth / 2;
    const QFontMetricsF metrics(m_recordFont);
    const qreal width = metrics.horizontalAdvance(m_recordText) + 4;
    const qreal top = border + m_metrics.PxF(message.Top)
                      + std::max(m_metrics.PxF(message.Height), messageMetrics.height()) + m_metrics.Scaled(6);
    return QRectF(centre - width / 2, top, width, metrics.height() + 2).toAlignedRect();
}

void PlayField::TrackRecord(bool textChanged)
{
    // The line follows the message it sits under; a glyph's ink may stray a pixel past it.
    TrackImage(m_recordDrawn, m_recordText.isEmpty() ? QRect() : RecordRect().adjusted(-1, -1, 1, 1), textChanged);
}

QRect PlayField::ExplosionRect(const Image& image)
{
    if (!image.Visible || image.Picture < FirstExplosionFrame || image.Picture > LastExplosionFrame)
        return {};
    ScalePictures(devicePixelRatioF());
    const QPixmap& frame = m_scaledExplosions[static_cast<std::size_t>(image.Picture - FirstExplosionFrame)];
    return Covering(
        QRectF(QPointF(m_metrics.PxF(image.Left), m_metrics.PxF(image.Top)), frame.deviceIndependentSize()));
}

QRect PlayField::StarRect(const Image& image)
{
    if (!image.Visible)
        return {};
    ScalePictures(devicePixelRatioF());
    return Covering(
        QRectF(QPointF(m_metrics.PxF(image.Left), m_metrics.PxF(image.Top)), m_scaledStar.deviceIndependentSize()));
}

void PlayField::Refresh(Repaint when)
{
    for (std::size_t i = 0; i < kSlots; ++i) {
        Track(m_letters[i], m_form.lblLetter[i], m_letterFont);
        const Image& boom = m_form.Explode[i];
        TrackImage(m_explosionRects[i], ExplosionRect(boom), boom.Picture != m_explosionFrames[i]);
        m_explosionFrames[i] = boom.Picture;
        TrackImage(m_starRects[i], StarRect(m_form.Star[i]), false);
        Track(m_scores[i], m_form.Score[i], m_scoreFont);
    }
    if (Track(m_message, m_form.lblMessage, m_messageFont))
        TrackRecord(false);
    Track(m_press, m_form.lblPress, m_pressFont);
    FlushDirty(when);
}

void PlayField::RepaintAll()
{
    // What was gathered is covered by the whole field.
    m_dirtyCount = 0;
    update();
}

void PlayField::FlushDirty(Repaint when)
{
    if (m_dirtyCount == 0)
        return;
    QRegion region;
    for (std::size_t i = 0; i < m_dirtyCount; ++i)
        region += m_dirty[i];
    m_painting = m_dirty;
    m_paintingCount = m_dirtyCount;
    m_paintingRegion = region;
    m_dirtyCount = 0;
    // A tick paints at once: asked for later, the repaint would wake the event loop a second
    // time in every frame.
    if (when == Repaint::Now)
        repaint(region);
    else
        update(region);
}

void PlayField::AddDirty(const QRect& rect)
{
    if (rect.isNull())
        return;
    // Rectangles that overlap are joined, so each pixel is painted once; the rest are kept apart,
    // so that what is painted and sent to the display is what changed and little more.
    QRect joined = rect;
    for (bool merged = true; merged;) {
        merged = false;
        for (std::size_t i = 0; i < m_dirtyCount; ++i) {
            if (m_dirty[i].intersects(joined)) {
                joined |= m_dirty[i];
                m_dirty[i] = m_dirty[--m_dirtyCount];
                merged = true;
                break;
            }
        }
    }
    if (m_dirtyCount < m_dirty.size()) {
        m_dirty[m_dirtyCount++] = joined;
        return;
    }
    // No room left: it joins the rectangle it grows least, and what that one then reaches.
    const auto area = [](const QRect& r) { return qint64{r.width()} * r.height(); };
    const auto growth = [&](const QRect& r) { return area(r | joined) - area(r) - area(joined); };
    const auto nearest = std::min_element(m_dirty.begin(), m_dirty.end(),
                                          [&](const QRect& a, const QRect& b) { return growth(a) < growth(b); });
    joined |= *nearest;
    *nearest = m_dirty[--m_dirtyCount];
    AddDirty(joined);
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
    painter.drawStaticText(Origin(label), drawn.layout.text);
}

void PlayField::ScalePictures(qreal ratio)
{
    if (m_scaledRatio == ratio)
        return;
    m_scaledRatio = ratio;
    // Resized smoothly to whole pixels of the screen; a picture already at that size is
    // shared as it is.
    const auto scaled = [ratio](const QPixmap& picture, QSizeF logical) {
        const QSize pixels = (logical * ratio).toSize();
        QPixmap result = pixels == picture.size()
                             ? picture
                             : picture.scaled(pixels, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        result.setDevicePixelRatio(ratio);
        return result;
    };
    const qreal scale = m_metrics.Scale();
    m_scaledBackground = scaled(m_background, QSizeF(m_background.size()) * scale);
    for (std::size_t i = 0; i < m_explosions.size(); ++i)
        m_scaledExplosions[i] = scaled(m_explosions[i], QSizeF(m_explosions[i].size()) * scale);
    // Every star has the size of the first one.
    const Image& star = m_form.Star[0];
    m_scaledStar = scaled(m_star, QSizeF(m_metrics.PxF(star.Width), m_metrics.PxF(star.Height)));
}

void PlayField::paintEvent(QPaintEvent* event)
{
    // The sunken border is drawn only when the region reaches it: a letter's tick stays inside.
    const QRect inside = contentsRect();
    if (!inside.contains(event->region().boundingRect()))
        QFrame::paintEvent(event);
    QPainter painter(this);
    m_painterFont = nullptr;
    const int border = lineWidth();
    painter.translate(border, border);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // On a scaled screen (QT_SCALE_FACTOR=1.5) or a scaled scene the pictures are resized:
    // smoothing keeps every star the same size instead of doubling every other pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    ScalePictures(devicePixelRatioF());
    // One rectangle of the region at a time: under a rectangular clip Qt copies the picture
    // with plain block copies, where a clip of many rectangles makes it blend line by line.
    // The rectangles of a region never overlap, so every pixel is still drawn once.
    const auto paint = [&](const QRect& rect) {
        const QRect part = rect & inside;
        if (part.isEmpty())
            return;
        painter.setClipRect(part.translated(-border, -border));
        PaintPart(painter, part);
    };
    // Qt cuts the region into bands of rows, so rectangles side by side at other heights come
    // apart into many slivers; the rectangles the region was made of are painted instead, when
    // the region is the one asked for.
    if (event->region() == m_paintingRegion) {
        for (std::size_t i = 0; i < m_paintingCount; ++i)
            paint(m_painting[i]);
    } else {
        for (const QRect& rect : event->region())
            paint(rect);
    }
    m_paintingCount = 0;
    m_paintingRegion = QRegion();
}

void PlayField::PaintPart(QPainter& painter, const QRect& part) const
{
    const int border = lineWidth();
    const QRect field = part.translated(-border, -border);
    // Black only where the picture does not reach (a scaled picture may fall short of the
    // field's edge by a pixel).
    const QRect picture = QRectF(QPointF(0, 0), m_scaledBackground.deviceIndependentSize()).toAlignedRect();
    if (!picture.contains(field))
        painter.fillRect(field, Qt::black);
    painter.drawPixmap(QPointF(0, 0), m_scaledBackground);

    // Lower controls first, as the window stacks them.
    for (std::size_t i = 0; i < kSlots; ++i) {
        const Image& boom = m_form.Explode[i];
        const auto explosion = [&] {
            if (!m_explosionRects[i].isNull() && part.intersects(m_explosionRects[i]))
                painter.drawPixmap(QPointF(m_metrics.PxF(boom.Left), m_metrics.PxF(boom.Top)),
                                   m_scaledExplosions[static_cast<std::size_t>(boom.Picture - FirstExplosionFrame)]);
        };
        // Slot 0 creates its explosion before its letter, every later slot after it.
        if (i == 0)
            explosion();
        DrawLabel(painter, m_letters[i], m_form.lblLetter[i], part, m_letterFont, m_letterPen);
        if (i != 0)
            explosion();
        const Image& star = m_form.Star[i];
        if (!m_starRects[i].isNull() && part.intersects(m_starRects[i]))
            painter.drawPixmap(QPointF(m_metrics.PxF(star.Left), m_metrics.PxF(star.Top)), m_scaledStar);
    }
    DrawLabel(painter, m_message, m_form.lblMessage, part, m_messageFont, m_messagePen);
    for (std::size_t i = 0; i < kSlots; ++i)
        DrawLabel(painter, m_scores[i], m_form.Score[i], part, m_scoreFont, m_scorePen);
    DrawLabel(painter, m_press, m_form.lblPress, part, m_pressFont, m_pressPen);
    if (!m_recordDrawn.isNull() && part.intersects(m_recordDrawn)) {
        painter.setFont(m_recordFont);
        painter.setPen(QColor(0xFF, 0xD7, 0x00));
        m_painterFont = &m_recordFont;
        painter.drawText(RecordRect().translated(-border, -border), Qt::AlignCenter, m_recordText);
    }
}

} // namespace keyfall
