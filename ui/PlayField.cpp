#include "ui/PlayField.h"

#include "ui/Fonts.h"

#include <QPainter>

#include <algorithm>

namespace keyfall {

PlayField::PlayField(const FrmMain& form, QWidget* parent)
    : QFrame(parent), m_form(form), m_background(QStringLiteral(":/field.jpg")), m_star(QStringLiteral(":/star.ico"))
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
    update();
}

PlayField::Drawn PlayField::Capture() const
{
    return {m_form.lblLetter, m_form.Explode, m_form.Star, m_form.Score, m_form.lblMessage, m_form.lblPress};
}

void PlayField::Refresh()
{
    Drawn now = Capture();
    if (now == m_drawn)
        return;
    m_drawn = std::move(now);
    update();
}

void PlayField::SetRecordText(const QString& text)
{
    if (text == m_recordText)
        return;
    update(RecordRect());
    m_recordText = text;
    update(RecordRect());
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

void PlayField::DrawLabel(QPainter& painter, const Label& label, const QFont& font, const QColor& color) const
{
    if (!label.Visible || label.Caption.empty())
        return;
    // The labels size themselves to their text and keep their left edge: the text starts
    // at the label's top-left corner.
    painter.setFont(font);
    painter.setPen(color);
    const QFontMetricsF metrics(font);
    painter.drawText(QPointF(m_metrics.PxF(label.Left), m_metrics.PxF(label.Top) + metrics.ascent()),
                     QString::fromStdString(label.Caption));
}

void PlayField::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    painter.setClipRect(contentsRect());
    const int border = lineWidth();
    painter.translate(border, border);
    painter.fillRect(QRect(0, 0, width(), height()), Qt::black);
    painter.setRenderHint(QPainter::TextAntialiasing);
    // On a scaled screen (QT_SCALE_FACTOR=1.5) or a scaled scene the pictures are resized:
    // smoothing keeps every star the same size instead of doubling every other pixel.
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    // A picture at the scene's scale, its top-left corner at (left, top) in twips.
    const auto drawScaled = [&](float left, float top, const QPixmap& pixmap) {
        const qreal scale = m_metrics.Scale();
        painter.drawPixmap(
            QRectF(m_metrics.PxF(left), m_metrics.PxF(top), pixmap.width() * scale, pixmap.height() * scale), pixmap,
            QRectF(pixmap.rect()));
    };
    drawScaled(0, 0, m_background);

    // Lower controls first, as the window stacks them.
    for (int i = 0; i < kSlots; ++i) {
        const Image& boom = m_form.Explode[i];
        const auto explosion = [&] {
            if (boom.Visible && boom.Picture >= FirstExplosionFrame && boom.Picture <= LastExplosionFrame)
                drawScaled(boom.Left, boom.Top, m_explosions[boom.Picture - FirstExplosionFrame]);
        };
        // Slot 0 creates its explosion before its letter, every later slot after it.
        if (i == 0)
            explosion();
        DrawLabel(painter, m_form.lblLetter[i], m_letterFont, QColor(0xFF, 0x00, 0x00));
        if (i != 0)
            explosion();
        const Image& star = m_form.Star[i];
        if (star.Visible)
            painter.drawPixmap(QRectF(m_metrics.PxF(star.Left), m_metrics.PxF(star.Top), m_metrics.PxF(star.Width),
                                      m_metrics.PxF(star.Height)),
                               m_star, QRectF(m_star.rect()));
    }
    DrawLabel(painter, m_form.lblMessage, m_messageFont, QColor(0x00, 0x00, 0xFF));
    for (const Label& score : m_form.Score)
        DrawLabel(painter, score, m_scoreFont, QColor(0xFF, 0xFF, 0x80));
    DrawLabel(painter, m_form.lblPress, m_pressFont, QColor(0xFF, 0xFF, 0xFF));
    if (!m_recordText.isEmpty()) {
        painter.translate(-border, -border);
        painter.setFont(m_recordFont);
        painter.setPen(QColor(0xFF, 0xD7, 0x00));
        painter.drawText(RecordRect(), Qt::AlignCenter, m_recordText);
    }
}

} // namespace keyfall
