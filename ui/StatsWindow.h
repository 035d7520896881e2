#pragma once
// "Keyfall — Statistiche": a player's progress from the records file. The best score per
// level and key set, score, speed and accuracy game after game, a keyboard coloured by how
// accurately or how surely each key is typed with the five weakest named, each key's time
// game after game, and an export of the games to CSV.

#include "records/RecordStore.h"

#include <QDialog>

#include <functional>

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <string>
#include <thread>

class QChartView;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QTabWidget;

namespace keyfall {

class KeyboardView;
class KeySpeedChart;

// How many games apart the ticks under a chart of games 1 to `lastGame` stand: 1, 2, 5, 10,
// 20… whichever first leaves at most six of them.
qsizetype GameStep(qsizetype lastGame);

class StatsWindow : public QDialog {
    Q_OBJECT
public:
    StatsWindow(const QString& recordsPath, const QString& player, QWidget* parent = nullptr);
    ~StatsWindow() override;

    // Shows the games of `player` (who may have none yet). The records are read on a thread of
    // the window's own, so that the window opens at once and answers while a long history is
    // read; it shows "Lettura delle statistiche…" until then.
    void ShowPlayer(const QString& player);
    // Waits for the readings under way (the player's records, a key's times) and shows what
    // they read (tests, benchmarks).
    void FinishLoading();
    // Offers "Allenamento…" beside "Chiudi": the statistics window closes and `open` runs, so a
    // player who sees their weak keys goes on to practise them.
    void SetTrainingOpener(std::function<void()> open);
    // Writes the shown player's games to `file`; false, with nothing half-written, on failure.
    bool ExportCsv(const QString& file);

    // The widgets, for the tests.
    QComboBox* players() const { return m_players; }
    QStackedWidget* pages() const { return m_pages; }
    QLabel* emptyLabel() const { return m_empty; }
    QLabel* summary() const { return m_summary; }
    QTableWidget* bestTable() const { return m_best; }
    QChartView* chart(int index) const { return m_charts.at(static_cast<std::size_t>(index)); }
    KeyboardView* keyboard() const { return m_keyboard; }
    QRadioButton* accuracyButton() const { return m_byAccuracy; }
    QRadioButton* confidenceButton() const { return m_byConfidence; }
    KeySpeedChart* speedChart() const { return m_speeds; }
    QLabel* weakest() const { return m_weakest; }
    QPushButton* exportButton() const { return m_export; }
    QPushButton* trainingButton() const { return m_training; }

private:
    void BuildWidgets();
    QPushButton* m_training = nullptr;
    std::function<void()> m_openTraining;
    void FillBest(const std::vector<records::BestScore>& best);
    void FillCharts(const std::vector<records::GameRecord>& games);
    struct Loaded;
    void Load(const QString& player);
    void StopLoading();
    void Show(const Loaded& loaded);
    void FillKeyboard(const std::map<std::string, records::KeyCounts>& characters);
    void FillSkills(const Loaded& loaded);
    void ShowColouring();
    void ChooseKey(const QString& key);
    void LoadSpeeds(const QString& character);
    void StopLoadingSpeeds();
    void ShowSpeeds(int generation, const std::string& character, const std::vector<records::SpeedPoint>& points,
                    const std::string& problem);
    void AskAndExport();
    void FitScreen();

    QString m_recordsPath;
    QString m_player;
    QComboBox* m_players = nullptr;
    QStackedWidget* m_pages = nullptr;
    QLabel* m_empty = nullptr;
    QLabel* m_summary = nullptr;
    QTabWidget* m_tabs = nullptr;
    QTableWidget* m_best = nullptr;
    std::array<QChartView*, 3> m_charts{};
    KeyboardView* m_keyboard = nullptr;
    QRadioButton* m_byAccuracy = nullptr;
    QRadioButton* m_byConfidence = nullptr;
    QLabel* m_legend = nullptr;
    KeySpeedChart* m_speeds = nullptr;
    QWidget* m_speedsPage = nullptr;
    // The shown player's skills and target time, for the key a click chooses.
    std::map<std::string, records::KeySkill> m_skills;
    double m_targetMs = 0;
    QLabel* m_weakest = nullptr;
    QPushButton* m_export = nullptr;
    QLabel* m_status = nullptr;
    std::thread m_loader;
    std::atomic<bool> m_cancel{false};
    int m_generation = 0; // of the last reading started, so that an older one is not shown
    // A key's times, read on demand on a thread of their own: a long history takes a while.
    std::thread m_speedLoader;
    std::atomic<bool> m_speedCancel{false};
    int m_speedGeneration = 0;
};

} // namespace keyfall
