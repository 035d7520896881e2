#include "ui/KeySpeedChart.h"

#include "ui/StatsWindow.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLegendMarker>
#include <QLineSeries>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace keyfall {
namespace {

// Beyond this many games each point stands for a run of consecutive games, as on the charts
// of the games: a line of ten thousand points shows no more than a screen's width of them.
constexpr std::size_t kMostPoints = 1000;

} // namespace

KeySpeedChart::KeySpeedChart(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* top = new QHBoxLayout;
    auto* label = new QLabel(QStringLiteral("Tempo per tasto:"), this);
    top->addWidget(label);
    m_characters = new QComboBox(this);
    m_characters->setMinimumContentsLength(4);
    m_characters->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    label->setBuddy(m_characters);
    top->addWidget(m_characters);
    top->addStretch(1);
    layout->addLayout(top);

    auto* chart = new QChart;
    chart->setTitle(QStringLiteral("Tempo per tasto (ms)"));
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_view = new QChartView(chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setMinimumHeight(260);
    layout->addWidget(m_view, 1);

    connect(m_characters, &QComboBox::activated, this,
            [this](int index) { Choose(m_characters->itemData(index).toString().toStdString()); });
}

void KeySpeedChart::SetCharacters(const std::vector<std::string>& characters, double targetMs)
{
    m_targetMs = targetMs;
    m_shown.clear();
    {
        const QSignalBlocker quiet(m_characters);
        m_characters->clear();
        for (const std::string& character : characters)
            m_characters->addItem(QString::fromStdString(character), QString::fromStdString(character));
    }
    SetSpeeds({}, {});
}

bool KeySpeedChart::Choose(const std::string& character)
{
    const int index = m_characters->findData(QString::fromStdString(character));
    if (index < 0)
        return false;
    m_characters->setCurrentIndex(index);
    if (character != m_shown)
        emit Chosen(QString::fromStdString(character));
    return true;
}

void KeySpeedChart::SetSpeeds(const std::string& character, const std::vector<records::SpeedPoint>& points)
{
    m_shown = character;
    const int index = m_characters->findData(QString::fromStdString(character));
    if (index >= 0) {
        const QSignalBlocker quiet(m_characters);
        m_characters->setCurrentIndex(index);
    }
    QChart* chart = m_view->chart();
    chart->removeAllSeries();
    // The chart deletes the series it removes, but an axis it removes becomes ours.
    for (QAbstractAxis* axis : chart->axes()) {
        chart->removeAxis(axis);
        delete axis;
    }
    if (character.empty())
        return;

    auto* each = new QLineSeries;
    each->setName(QStringLiteral("Tempo nella partita"));
    auto* smoothed = new QLineSeries;
    smoothed->setName(QStringLiteral("Tempo medio"));
    auto* target = new QLineSeries;
    target->setName(QStringLiteral("Obiettivo"));
    const std::size_t run = std::max<std::size_t>(1, (points.size() + kMostPoints - 1) / kMostPoints);
    QList<QPointF> eachPoints;
    QList<QPointF> smoothedPoints;
    double highest = m_targetMs;
    for (std::size_t first = 0; first < points.size(); first += run) {
        const std::size_t last = std::min(points.size(), first + run);
        double ms = 0;
        for (std::size_t i = first; i < last; ++i)
            ms += points[i].ms;
        ms /= static_cast<double>(last - first);
        // The middle of the run, counting the games that hit the character from 1.
        const double x = static_cast<double>(first + last + 1) / 2.0;
        eachPoints.append({x, ms});
        // The smoothed time after the run's last game: where the run left it.
        smoothedPoints.append({x, points[last - 1].smoothedMs});
        highest = std::max({highest, ms, points[last - 1].smoothedMs});
    }
    const auto games = std::max<qsizetype>(2, static_cast<qsizetype>(points.size()));
    each->replace(eachPoints);
    each->setPointsVisible(eachPoints.size() <= 60);
    each->setPen(QPen(QColor(0x70, 0x90, 0xC0), 1));
    smoothed->replace(smoothedPoints);
    smoothed->setPen(QPen(QColor(0x10, 0x30, 0x80), 2.5));
    target->replace({{1.0, m_targetMs}, {static_cast<double>(games), m_targetMs}});
    target->setPen(QPen(QColor(0x20, 0x90, 0x30), 2, Qt::DashLine));
    for (QLineSeries* series : {each, smoothed, target})
        chart->addSeries(series);

    auto* x = new QValueAxis;
    x->setLabelFormat(QStringLiteral("%d"));
    x->setRange(1, static_cast<qreal>(games));
    x->setTickType(QValueAxis::TicksDynamic);
    x->setTickAnchor(0);
    x->setTickInterval(static_cast<qreal>(GameStep(games)));
    x->setTitleText(QStringLiteral("Partite in cui è stato colpito %1").arg(QString::fromStdString(character)));
    auto* y = new QValueAxis;
    y->setRange(0, highest * 1.1);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->setTitleText(QStringLiteral("ms"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* series : {each, smoothed, target}) {
        series->attachAxis(x);
        series->attachAxis(y);
    }
}

} // namespace keyfall
