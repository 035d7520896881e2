#include "records/CsvExport.h"

#include <charconv>
#include <cmath>

namespace keyfall::records {
namespace {

// A number with `places` decimals and a dot: std::to_chars ignores the C locale, which a Qt
// program takes from the environment (an Italian one would write a comma, and a comma in an
// unquoted cell splits it in two).
std::string Fixed(double value, int places)
{
    char number[400];
    const auto end = std::to_chars(number, number + sizeof number, value, std::chars_format::fixed, places).ptr;
    return {number, end};
}

std::string OneDecimal(double value)
{
    return Fixed(value, 1);
}

// An empty cell for a value the game does not have (no speed when no character fell).
std::string OneDecimal(const std::optional<double>& value)
{
    return value ? OneDecimal(*value) : std::string();
}

// A share from 0 to 1 with three places.
std::string ThreePlaces(double value)
{
    return Fixed(value, 3);
}

std::string WholeMs(const std::optional<double>& ms)
{
    return ms ? std::to_string(std::llround(*ms)) : std::string();
}

} // namespace

std::string CsvText(const std::string& text)
{
    std::string quoted = "\"";
    if (!text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos)
        quoted += '\'';
    for (char c : text) {
        if (c == '"')
            quoted += '"';
        quoted += c;
    }
    return quoted + '"';
}

bool WriteCsv(RecordStore& store, const std::string& player, std::ostream& out, std::string& problem)
{
    if (!store.IsOpen()) {
        problem = store.Problem();
        return false;
    }
    const std::vector<GameRecord> games = store.Games(player);
    if (!store.Problem().empty()) {
        problem = store.Problem();
        return false;
    }
    out << "giocatore,inizio,livello,giri,giri_giocati,tasti,punti,colpiti,errori,caduti,durata_s,"
           "caratteri_al_minuto,precisione_percento,finita\r\n";
    for (const GameRecord& g : games) {
        std::optional<double> accuracy;
        if (AnyLaunched(g))
            accuracy = 100.0 * Accuracy(g.hits, g.landed, g.misses);
        out << CsvText(g.player) << ',' << CsvText(g.startedAt) << ',' << CsvText(LevelName(g.level)) << ',' << g.rounds
            << ',' << g.roundsPlayed << ',' << CsvText(KeySetName(g.keySet)) << ',' << g.total << ',' << g.hits << ','
            << g.misses << ',' << g.landed << ',' << OneDecimal(static_cast<double>(g.durationMs) / 1000.0) << ','
            << OneDecimal(CharsPerMinute(g)) << ',' << OneDecimal(accuracy) << ',' << CsvText(g.finished ? "si" : "no")
            << "\r\n";
    }
    out.flush();
    if (!out) {
        problem = "cannot write the CSV";
        return false;
    }
    return true;
}

bool WriteKeysCsv(RecordStore& store, std::ostream& out, std::string& problem)
{
    if (!store.IsOpen()) {
        problem = store.Problem();
        return false;
    }
    const std::vector<PlayerKeySkill> all = store.AllSkills();
    if (!store.Problem().empty()) {
        problem = store.Problem();
        return false;
    }
    out << "player,character,games,launched,hits,errors,accuracy,smoothed_ms,best_ms,confidence,mastered\r\n";
    for (const PlayerKeySkill& row : all) {
        const KeySkill& skill = row.skill;
        const double target = TargetMs(row.stagesPassed);
        out << CsvText(row.player) << ',' << CsvText(row.character) << ',' << skill.games << ',' << skill.launched
            << ',' << skill.hits << ',' << skill.errors << ',' << ThreePlaces(skill.Accuracy()) << ','
            << WholeMs(skill.smoothedMs) << ',' << WholeMs(skill.bestMs) << ','
            << ThreePlaces(Confidence(skill, target)) << ',' << (Mastered(skill, target) ? 1 : 0) << "\r\n";
    }
    out.flush();
    if (!out) {
        problem = "cannot write the CSV";
        return false;
    }
    return true;
}

} // namespace keyfall::records
