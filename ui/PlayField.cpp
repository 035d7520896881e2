#include "ui/PlayField.h"

#include "ui/Fonts.h"

#include <QPainter>

#include <algorithm>

namespace keyfall {
namespace {

// Twips to logical pixels, keeping half pixels for the painter.
qreal Px(float twips)
{
    return static_cast<qreal>(twips) / kTwipsPerPixel;
}

constexpr int kBorder = 2; // the sunken border; child positions start inside it

} // namespace

PlayField::PlayField(const FrmMain& form, QWidget* parent)
    : QFrame(parent), m_form(form), m_background(QStringLiteral(":/field.jpg")), m_star(QStringLiteral(":/star.ico")),
      m_letterFont(Verdana(24, true)), m_messageFont(Verdana(24, true)), m_scoreFont(Arial(12, true)),
      m_pressFont(Arial(18, true)), m_recordFont(Verdana(18, true))
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(kBorder);
    setAttribute(Qt::WA_OpaquePaintEvent);
    for (std::size_t i = 0; i < m_explosions.size(); ++i)
        m_explosions[i] = QPixmap(QStringLiteral(":/explosion/%1.ico").arg(FirstExplosionFrame + static_cast<int>(i)));
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
    const qreal centre = kBorder + Px(message.Left) + messageWidth / 2;
    const QFontMetricsF metrics(m_recordFont);
    const qreal width = metrics.horizontalAdvance(m_recordText) + 4;
    const qreal top = kBorder + Px(message.Top) + std::max(Px(message.Height), messageMetrics.height()) + 6;
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
    painter.drawText(QPointF(Px(label.Left), Px(label.Top) + metrics.ascent()), QString::fromStdString(label.Caption));
}

void PlayField::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
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
    for (int i = 0; i < kSlots; ++i) {
        const Image& boom = m_form.Explode[i];
        const auto explosion = [&] {
            if (boom.Visible && boom.Picture >= FirstExplosionFrame && boom.Picture <= LastExplosionFrame)
                painter.drawPixmap(QPointF(Px(boom.Left), Px(boom.Top)),
                                   m_explosions[boom.Picture - FirstExplosionFrame]);
        };
        // Slot 0 creates its explosion before its letter, every later slot after it.
        if (i == 0)
            explosion();
        DrawLabel(painter, m_form.lblLetter[i], m_letterFont, QColor(0xFF, 0x00, 0x00));
        if (i != 0)
            explosion();
        const Image& star = m_form.Star[i];
        if (star.Visible)
            painter.drawPixmap(QRectF(Px(star.Left), Px(star.Top), Px(star.Width), Px(star.Height)), m_star,
                               QRectF(m_star.rect()));
    }
    DrawLabel(painter, m_form.lblMessage, m_messageFont, QColor(0x00, 0x00, 0xFF));
    for (const Label& score : m_form.Score)
        DrawLabel(painter, score, m_scoreFont, QColor(0xFF, 0xFF, 0x80));
    DrawLabel(painter, m_form.lblPress, m_pressFont, QColor(0xFF, 0xFF, 0xFF));
    if (!m_recordText.isEmpty()) {
        painter.translate(-kBorder, -kBorder);
        painter.setFont(m_recordFont);
        painter.setPen(QColor(0xFF, 0xD7, 0x00));
        painter.drawText(RecordRect(), Qt::AlignCenter, m_recordText);
    }
}

} // namespace keyfall
