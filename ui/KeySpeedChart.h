#pragma once
// "Tempo per tasto": one character's time from launch to hit in each game that hit it, its
// smoothed time after each of those games, and the player's target time, in ms. The character
// is chosen in the box above the chart (or by a click on the drawn keyboard, through Choose);
// its times are read by whoever owns the chart, which hands them in with SetSpeeds.

#include "records/RecordStore.h"

#include <QWidget>

#include <string>
#include <vector>

class QChartView;
class QComboBox;

namespace keyfall {

class KeySpeedChart : public QWidget {
    Q_OBJECT
public:
    explicit KeySpeedChart(QWidget* parent = nullptr);

    // The characters that can be chosen (those with hits) and the target time; the chart is
    // emptied until SetSpeeds.
    void SetCharacters(const std::vector<std::string>& characters, double targetMs);
    // Shows `points` as the times of `character`, which becomes the chosen one.
    void SetSpeeds(const std::string& character, const std::vector<records::SpeedPoint>& points);
    // Chooses `character` as the player would in the box: Chosen follows when it is one of the
    // characters and not the one shown already. False for a character with no hits.
    bool Choose(const std::string& character);
    // The character whose times are shown, or empty.
    const std::string& shown() const { return m_shown; }

    QComboBox* characters() const { return m_characters; }
    QChartView* view() const { return m_view; }

signals:
    // The player chose another character: its times are wanted.
    void Chosen(const QString& character);

private:
    QComboBox* m_characters = nullptr;
    QChartView* m_view = nullptr;
    double m_targetMs = 0;
    std::string m_shown;
};

} // namespace keyfall
