#include "ui/ExportCsv.h"

#include "records/CsvExport.h"
#include "records/RecordStore.h"
#include "ui/Log.h"

#include <QFile>
#include <QSaveFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <sstream>

namespace keyfall {

bool WriteExport(const QString& target, const QByteArray& text, QString& error)
{
    std::error_code ignored;
    const auto status = std::filesystem::status(target.toStdString(), ignored);
    if (std::filesystem::exists(status) && !std::filesystem::is_regular_file(status)
        && !std::filesystem::is_directory(status)) {
        QFile out(target);
        if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered) || out.write(text) != text.size()) {
            error = out.errorString();
            return false;
        }
        out.close();
        if (out.error() != QFileDevice::NoError) {
            error = out.errorString();
            return false;
        }
        return true;
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(text) != text.size() || !out.commit()) {
        error = out.errorString();
        return false;
    }
    return true;
}

namespace {

// Reads the records only for the export, whichever `write` makes of them.
bool Read(const QString& recordsPath, QByteArray& csv, QString& error,
          const std::function<bool(records::RecordStore&, std::ostream&, std::string&)>& write)
{
    records::RecordStore::Options options;
    options.readOnly = true;
    records::RecordStore store(recordsPath.toStdString(), options);
    std::ostringstream out;
    std::string problem;
    if (!write(store, out, problem)) {
        error = QString::fromStdString(problem);
        return false;
    }
    if (!store.Notice().empty())
        qCWarning(lcRecords, "records: %s", store.Notice().c_str());
    const std::string text = out.str();
    csv = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    return true;
}

int Deliver(bool read, const QByteArray& csv, QString& error, const QString& target)
{
    if (!read) {
        qCWarning(lcRecords, "cannot export the records: %s", qPrintable(error));
        return 1;
    }
    if (target == QStringLiteral("-")) {
        errno = 0;
        const bool written = std::fwrite(csv.constData(), 1, static_cast<std::size_t>(csv.size()), stdout)
                                 == static_cast<std::size_t>(csv.size())
                             && std::fflush(stdout) == 0;
        const int why = errno;
        if (!written) {
            qCWarning(lcRecords, "cannot write the CSV to standard output: %s",
                      why ? std::strerror(why) : "write error");
            return 1;
        }
        return 0;
    }
    if (!WriteExport(target, csv, error)) {
        qCWarning(lcRecords, "cannot write %s: %s", qPrintable(target), qPrintable(error));
        return 1;
    }
    return 0;
}

} // namespace

bool ReadExport(const QString& recordsPath, const QString& player, QByteArray& csv, QString& error)
{
    return Read(recordsPath, csv, error,
                [&player](records::RecordStore& store, std::ostream& out, std::string& problem) {
                    return records::WriteCsv(store, player.toStdString(), out, problem);
                });
}

bool ReadKeysExport(const QString& recordsPath, QByteArray& csv, QString& error)
{
    return Read(recordsPath, csv, error, &records::WriteKeysCsv);
}

int ExportCsv(const QString& recordsPath, const QString& player, const QString& target)
{
    QByteArray csv;
    QString error;
    const bool read = ReadExport(recordsPath, player, csv, error);
    return Deliver(read, csv, error, target);
}

int ExportKeysCsv(const QString& recordsPath, const QString& target)
{
    QByteArray csv;
    QString error;
    const bool read = ReadKeysExport(recordsPath, csv, error);
    return Deliver(read, csv, error, target);
}

} // namespace keyfall
