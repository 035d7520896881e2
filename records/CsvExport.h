#pragma once
// The teachers' CSVs: a player's games (in Italian, one line per game, oldest first) and every
// player's skill on every key. Each has one header line, and lines ended by CR LF. Teachers'
// tools read these columns by name and order: they stay as they are.
//
// Every text field is quoted, and a text that a spreadsheet would take for a formula (one
// that starts with =, +, -, @, a tab or a carriage return) is neutralised with a leading
// apostrophe, as OWASP advises against CSV injection.

#include "records/RecordStore.h"

#include <ostream>
#include <string>

namespace keyfall::records {

// A text field as written to the CSV: quoted, quotes doubled, a formula neutralised.
std::string CsvText(const std::string& text);

// Writes the player's games to `out`. False, with the reason in `problem`, when the store
// cannot be read or a read fails: a teacher never gets a CSV that looks empty by mistake.
// Rows left out by the store are told in store.Notice().
bool WriteCsv(RecordStore& store, const std::string& player, std::ostream& out, std::string& problem);

// The teacher's CSV of every player's skill on every key, one line per player and character,
// by player and character, under the header
//   player,character,games,launched,hits,errors,accuracy,smoothed_ms,best_ms,confidence,mastered
// Accuracy and confidence (with the player's own target time) are decimals from 0 to 1 with a
// dot and three places, whatever the locale; times are whole milliseconds, empty before the
// key's first hit; mastered is 0 or 1. False, with the reason in `problem`, as WriteCsv.
bool WriteKeysCsv(RecordStore& store, std::ostream& out, std::string& problem);

} // namespace keyfall::records
