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

bool ReadExport(const QString& recordsPath, const QString& player, QByteArray& csv, QString& error)
{
    records::RecordStore::Options options;
    options.readOnly = true;
    records::RecordStore store(recordsPath.toStdString(), options);
    std::ostringstream out;
    std::string problem;
    if (!records::WriteCsv(store, player.toStdString(), out, problem)) {
        error = QString::fromStdString(problem);
        return false;
    }
    if (!store.Notice().empty())
        qCWarning(lcRecords, "records: %s", store.Notice().c_str());
    const std::string text = out.str();
    csv = QByteArray(text.data(), static_cast<qsizetype>(text.size()));
    return true;
}

int ExportCsv(const QString& recordsPath, const QString& player, const QString& target)
{
    QByteArray csv;
    QString error;
    if (!ReadExport(recordsPath, player, csv, error)) {
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

} // namespace keyfall
