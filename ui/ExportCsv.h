#pragma once
// The exports to the teacher's CSVs (records/CsvExport.h): a player's games, from the command
// line (--export-csv) and from the statistics window, and every player's keys, from the command
// line (--export-keys-csv). An export only reads the records: it
// never creates, moves, migrates or repairs the file, and a failure always says why.

#include <QByteArray>
#include <QString>

namespace keyfall {

// Writes `text` to `target`. A regular file, or a new one, is replaced whole through a
// temporary file beside it, so that a failure leaves an earlier file whole; anything else that
// is there already (a FIFO, a device) is written into as it is, never replaced. False, with
// the reason in `error`, on failure.
bool WriteExport(const QString& target, const QByteArray& text, QString& error);

// The player's games as CSV, or nothing with the reason in `error` (the records cannot be
// read). Rows the records leave out are told in one line through lcRecords.
bool ReadExport(const QString& recordsPath, const QString& player, QByteArray& csv, QString& error);

// --export-csv: the player's games in the records at `recordsPath` to `target` ("-" for
// standard output). 0 on success; 1, with one line through lcRecords, on failure.
int ExportCsv(const QString& recordsPath, const QString& player, const QString& target);

// Every player's skill on every key as CSV, or nothing with the reason in `error`.
bool ReadKeysExport(const QString& recordsPath, QByteArray& csv, QString& error);
// --export-keys-csv: as ExportCsv, for every player's keys.
int ExportKeysCsv(const QString& recordsPath, const QString& target);

} // namespace keyfall
