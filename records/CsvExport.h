#pragma once
// The teacher's CSV of a player's games, in Italian: one header line, then one line per
// game, oldest first, lines ended by CR LF. Teachers' tools read these columns by name and
// order: they stay as they are.
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

} // namespace keyfall::records
