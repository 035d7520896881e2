#include "ui/KeyboardView.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>

#include <algorithm>
#include <array>

namespace keyfall {
namespace {

// The Italian keyboard's rows of digits and letters, each offset as on the real keys.
struct Row {
    const char* keys;
    double indent; // in key widths
};
constexpr std::array<Row, 4> kRows{{{"1234567890", 0.5}, {"QWERTYUIOP", 1.0}, {"ASDFGHJKL", 1.3}, {"ZXCVBNM", 1.8}}};
constexpr double kColumns = 11.5;
constexpr double kGap = 0.08; // between keys, in key widths
const QColor kUnseen(0xD8, 0xD8, 0xD8);

} // namespace

KeyboardView::KeyboardView(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

QSize KeyboardView::sizeHint() const
{
    return {720, 270};
}

QSize KeyboardView::minimumSizeHint() const
{
    return {460, 170};
}

void KeyboardView::SetKeys(std::map<std::string, records::KeyStat> keys)
{
    m_keys = std::move(keys);
    m_slowestMs = 0;
    for (const auto& [key, stat] : m_keys)
        m_slowestMs = std::max(m_slowestMs, stat.reactionMs);
    update();
}

void KeyboardView::SetConfidence(std::map<std::string, records::KeyConfidence> keys, double targetMs)
{
    m_confidence = std::move(keys);
    m_targetMs = targetMs;
    update();
}

void KeyboardView::SetColouring(Colouring colouring)
{
    if (colouring == m_colouring)
        return;
    m_colouring = colouring;
    update();
}

QColor KeyboardView::ConfidenceColour(double confidence)
{
    // Red at 0, through yellow, to green at 1: the same scale as the accuracy's, from zero.
    const double t = std::clamp(confidence, 0.0, 1.0);
    return QColor::fromHsvF(static_cast<float>(t / 3.0), 0.75f, 0.9f);
}

QColor KeyboardView::AccuracyColour(double accuracy)
{
    // Red at 50 % and below, through yellow, to green at 100 %.
    const double t = std::clamp((accuracy - 0.5) * 2.0, 0.0, 1.0);
    return QColor::fromHsvF(static_cast<float>(t / 3.0), 0.75f, 0.9f);
}

QRectF KeyboardView::KeyRect(const QString& key) const
{
    const double unit = std::min(width() / kColumns, height() / (kRows.size() + 0.2));
    const double left = (width() - unit * kColumns) / 2;
    const double top = (height() - unit * static_cast<double>(kRows.size())) / 2;
    for (std::size_t r = 0; r < kRows.size(); ++r) {
        const QString row = QString::fromLatin1(kRows[r].keys);
        const auto column = row.indexOf(key);
        if (key.size() == 1 && column >= 0)
            return {left + (kRows[r].indent + static_cast<double>(column)) * unit + unit * kGap / 2,
                    top + static_cast<double>(r) * unit + unit * kGap / 2, unit * (1 - kGap), unit * (1 - kGap)};
    }
    return {};
}

QString KeyboardView::KeyAt(QPointF point) const
{
    for (const Row& row : kRows) {
        for (const char* k = row.keys; *k; ++k) {
            QString key{QLatin1Char(*k)};
            if (KeyRect(key).contains(point))
                return key;
        }
    }
    return {};
}

QString KeyboardView::ToolTip(const QString& key) const
{
    const std::string name = key.toStdString();
    if (m_colouring == Colouring::Confidence) {
        const auto found = m_confidence.find(name);
        if (found == m_confidence.end())
            return {};
        const records::KeyConfidence& shown = found->second;
        QString text = QStringLiteral("%1: sicurezza %2%, precisione %3%")
                           .arg(QString::fromStdString(shown.character))
                           .arg(qRound(shown.confidence * 100))
                           .arg(qRound(shown.accuracy * 100));
        if (shown.smoothedMs)
            text += QStringLiteral(", %1 ms").arg(qRound(*shown.smoothedMs));
        text += QStringLiteral(" (obiettivo %1 ms)").arg(qRound(m_targetMs));
        if (shown.mastered)
            text += QStringLiteral(", padroneggiato");
        return text;
    }
    const auto found = m_keys.find(name);
    if (found == m_keys.end() || found->second.Events() == 0)
        return {};
    const records::KeyStat& stat = found->second;
    QString text = QStringLiteral("%1: precisione %2%").arg(key).arg(qRound(stat.accuracy * 100));
    if (stat.counts.hits > 0)
        text += QStringLiteral(", %1 ms").arg(qRound(stat.reactionMs));
    return text;
}

bool KeyboardView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString key = KeyAt(help->pos());
        const QString text = key.isEmpty() ? QString() : ToolTip(key);
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, this, KeyRect(key).toAlignedRect());
        return true;
    }
    return QWidget::event(event);
}

void KeyboardView::mousePressEvent(QMouseEvent* event)
{
    const QString key = KeyAt(event->position());
    if (event->button() == Qt::LeftButton && !key.isEmpty())
        emit KeyClicked(key);
    QWidget::mousePressEvent(event);
}

void KeyboardView::PaintConfidence(QPainter& painter, const QRectF& rect, const QPainterPath& outline, QFont font,
                                   const std::string& name) const
{
    const auto found = m_confidence.find(name);
    const records::KeyConfidence* shown = found == m_confidence.end() ? nullptr : &found->second;
    painter.fillPath(outline, shown ? ConfidenceColour(shown->confidence) : kUnseen);
    const bool mastered = shown && shown->mastered;
    // A mastered key stands out by its frame as well as its colour, for eyes that tell red
    // from green badly.
    painter.setPen(mastered ? QPen(QColor(0x10, 0x50, 0x10), std::max(2.5, rect.width() * 0.06))
                            : QPen(QColor(0x55, 0x55, 0x55), 1));
    painter.drawPath(outline);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(rect.adjusted(0, rect.height() * 0.04, 0, -rect.height() * 0.42), Qt::AlignCenter,
                     QString::fromStdString(name));
    if (!shown)
        return;
    if (mastered) {
        font.setPixelSize(std::max(8, static_cast<int>(rect.height() * 0.26)));
        painter.setFont(font);
        painter.setPen(QColor(0x10, 0x50, 0x10));
        painter.drawText(rect.adjusted(0, rect.height() * 0.04, -rect.width() * 0.1, 0), Qt::AlignRight | Qt::AlignTop,
                         QStringLiteral("✓"));
        painter.setPen(Qt::black);
    }
    font.setBold(false);
    font.setPixelSize(std::max(7, static_cast<int>(rect.height() * 0.17)));
    painter.setFont(font);
    QString detail = QStringLiteral("%1%").arg(qRound(shown->confidence * 100));
    if (shown->smoothedMs)
        detail += QStringLiteral("\n%1 ms").arg(qRound(*shown->smoothedMs));
    painter.drawText(rect.adjusted(2, rect.height() * 0.52, -2, -rect.height() * 0.1), Qt::AlignHCenter | Qt::AlignTop,
                     detail);
}

void KeyboardView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Row& row : kRows) {
        for (const char* k = row.keys; *k; ++k) {
            const std::string name(1, *k);
            const QRectF rect = KeyRect(QString::fromStdString(name));
            QPainterPath outline;
            outline.addRoundedRect(rect, rect.width() * 0.12, rect.width() * 0.12);
            QFont font = this->font();
            font.setBold(true);
            font.setPixelSize(std::max(8, static_cast<int>(rect.height() * 0.38)));
            if (m_colouring == Colouring::Confidence) {
                PaintConfidence(painter, rect, outline, font, name);
                continue;
            }
            const auto found = m_keys.find(name);
            const bool seen = found != m_keys.end() && found->second.Events() > 0;
            painter.fillPath(outline, seen ? AccuracyColour(found->second.accuracy) : kUnseen);
            painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
            painter.drawPath(outline);

            painter.setFont(font);
            painter.setPen(Qt::black);
            painter.drawText(rect.adjusted(0, rect.height() * 0.04, 0, -rect.height() * 0.42), Qt::AlignCenter,
                             QString::fromStdString(name));
            if (!seen)
                continue;
            const records::KeyStat& stat = found->second;
            font.setBold(false);
            font.setPixelSize(std::max(7, static_cast<int>(rect.height() * 0.17)));
            painter.setFont(font);
            const QString detail =
                stat.counts.hits > 0
                    ? QStringLiteral("%1%\n%2 ms").arg(qRound(stat.accuracy * 100)).arg(qRound(stat.reactionMs))
                    : QStringLiteral("%1%").arg(qRound(stat.accuracy * 100));
            painter.drawText(rect.adjusted(2, rect.height() * 0.52, -2, -rect.height() * 0.1),
                             Qt::AlignHCenter | Qt::AlignTop, detail);
            if (m_slowestMs > 0 && stat.reactionMs > 0) {
                const double share = stat.reactionMs / m_slowestMs;
                const QRectF bar(rect.left() + rect.width() * 0.1, rect.bottom() - rect.height() * 0.09,
                                 rect.width() * 0.8 * share, rect.height() * 0.05);
                painter.fillRect(bar, QColor(0x20, 0x20, 0x60));
            }
        }
    }
}

} // namespace keyfall
