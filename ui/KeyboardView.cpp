#include "ui/KeyboardView.h"

#include <QPainter>
#include <QPainterPath>

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

void KeyboardView::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    for (const Row& row : kRows) {
        for (const char* k = row.keys; *k; ++k) {
            const std::string name(1, *k);
            const QRectF rect = KeyRect(QString::fromStdString(name));
            const auto found = m_keys.find(name);
            const bool seen = found != m_keys.end() && found->second.Events() > 0;
            QPainterPath outline;
            outline.addRoundedRect(rect, rect.width() * 0.12, rect.width() * 0.12);
            painter.fillPath(outline, seen ? AccuracyColour(found->second.accuracy) : QColor(0xD8, 0xD8, 0xD8));
            painter.setPen(QPen(QColor(0x55, 0x55, 0x55), 1));
            painter.drawPath(outline);

            QFont font = this->font();
            font.setBold(true);
            font.setPixelSize(std::max(8, static_cast<int>(rect.height() * 0.38)));
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
