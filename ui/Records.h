#pragma once
// The player's records as the program uses them: where the file lies, whose games they
// are, and the recorder that listens to the game and writes each game when it ends.

#include "records/GameRecorder.h"
#include "records/RecordWriter.h"
#include "records/Skills.h"

#include <QObject>
#include <QString>

#include <map>
#include <memory>
#include <string>

namespace keyfall {

// $XDG_DATA_HOME/Keyfall/keyfall.sqlite (by default ~/.local/share/Keyfall/keyfall.sqlite).
QString RecordsPath();
// The login name, for a player who gave none.
QString DefaultPlayer();
// Local time of now, "20261208T110703", for naming a damaged file moved aside.
std::string FileStamp();

class GameRecords : public QObject {
    Q_OBJECT
public:
    GameRecords(const QString& path, const QString& player, QObject* parent = nullptr);
    ~GameRecords() override;

    // What the game window hands its events to.
    records::GameRecorder& recorder() { return m_recorder; }
    // Waits until every game handed over has been tried once: written, or kept while another
    // program holds the file (tests, tools).
    void Flush() { m_writer->Flush(); }
    // While the game is paused its time does not count as played.
    void SetPaused(bool paused) { m_clock.SetPaused(paused); }
    const QString& path() const { return m_path; }
    const QString& player() const { return m_player; }
    // Each key's skill after the last game written in this run; empty before the first.
    const std::map<std::string, records::KeySkill>& Skills() const { return m_skills; }

signals:
    // A finished game beat the player's best on its level and key set. Delivered on the
    // window's thread, after the game has been written.
    void NewRecord();
    // A game was written and the skills are those after it (Skills()), with `stagesPassed`
    // stages passed; `reached` is the stage the game's own course has reached when the game
    // passed its stage, -1 otherwise. Delivered on the window's thread, after NewRecord.
    void Saved(int stagesPassed, int reached);

private:
    QString m_path;
    QString m_player;
    std::map<std::string, records::KeySkill> m_skills;
    records::SystemClock m_systemClock;
    records::PausableClock m_clock{m_systemClock};
    records::GameRecorder m_recorder;
    std::unique_ptr<records::RecordWriter> m_writer; // destroyed first: its thread ends before the rest
};

} // namespace keyfall
