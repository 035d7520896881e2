#include "ui/QtSettingsStore.h"

#include "ui/Log.h"

#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <limits>

#include <fcntl.h>
#include <unistd.h>

namespace keyfall {
namespace {

enum class Outcome { Read, Absent, TooLarge, Refused };

struct FileContents {
    Outcome outcome = Outcome::Absent;
    std::string text;
    QString problem; // why the file was not read, for the one line on standard error
};

QString ErrorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QString TooLargeText()
{
    return QStringLiteral("it is larger than %1 KiB").arg(QtSettingsStore::kMaxFileSize / 1024);
}

// Reads the file without ever blocking: a FIFO or a device in its place is refused before it
// is opened (opening a FIFO waits for a writer), and again after, should it have been swapped
// in between.
FileContents ReadSettingsFile(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    struct stat info {};
    if (stat(native.constData(), &info) != 0)
        return errno == ENOENT || errno == ENOTDIR ? FileContents{}
                                                   : FileContents{Outcome::Refused, {}, ErrorText(errno)};
    const int fd = S_ISREG(info.st_mode) ? open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC) : -1;
    if (fd < 0 && S_ISREG(info.st_mode))
        return errno == ENOENT ? FileContents{} : FileContents{Outcome::Refused, {}, ErrorText(errno)};
    if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        if (fd >= 0)
            close(fd);
        return {Outcome::Refused, {}, QStringLiteral("it is not a regular file")};
    }
    FileContents contents{Outcome::Read, {}, {}};
    contents.text.resize(static_cast<std::size_t>(QtSettingsStore::kMaxFileSize) + 1);
    std::size_t filled = 0;
    while (filled < contents.text.size()) {
        const ssize_t n = read(fd, contents.text.data() + filled, contents.text.size() - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            contents = {Outcome::Refused, {}, ErrorText(errno)};
            break;
        }
        if (n == 0)
            break;
        filled += static_cast<std::size_t>(n);
    }
    close(fd);
    if (contents.outcome != Outcome::Read)
        return contents;
    if (filled > static_cast<std::size_t>(QtSettingsStore::kMaxFileSize))
        return {Outcome::TooLarge, {}, TooLargeText()};
    contents.text.resize(filled);
    return contents;
}

void Report(const QString& line)
{
    qCWarning(lcSettings, "%s", qPrintable(line));
}

// What stands in the lock's place while the lock cannot be taken.
struct LockHolder {
    enum Kind { Gone, Live, Leftover, Unusable };
    Kind kind;
    QString what;            // for the line on standard error
    bool isUnsigned = false; // no owner written in it (yet)
};

// QLockFile writes its owner into the lock right after creating it. A lock still unsigned
// after this long was left by a save killed in between.
constexpr qint64 kUnsignedLeftoverMs = 100;
// A lock of another machine (a home folder shared over the network) cannot be checked for a
// live owner; a save holds its lock for milliseconds, so one this old is a leftover.
constexpr qint64 kForeignLeftoverMs = 30000;

LockHolder JudgeLock(const QLockFile& lock, const QString& lockPath, const QElapsedTimer& unsignedSince)
{
    struct stat info {};
    if (lstat(QFile::encodeName(lockPath).constData(), &info) != 0)
        return {LockHolder::Gone, {}};
    if (!S_ISREG(info.st_mode))
        return {LockHolder::Unusable, QStringLiteral("its lock %1 is not a file").arg(lockPath)};
    const qint64 ageMs = QFileInfo(lockPath).lastModified().msecsTo(QDateTime::currentDateTime());
    qint64 pid = 0;
    QString host;
    QString program;
    if (!lock.getLockInfo(&pid, &host, &program)) {
        const bool old =
            (unsignedSince.isValid() && unsignedSince.hasExpired(kUnsignedLeftoverMs)) || ageMs < 0 || ageMs >= 1000;
        return {old ? LockHolder::Leftover : LockHolder::Live, QStringLiteral("an unsigned lock"), true};
    }
    if (!host.isEmpty() && host != QSysInfo::machineHostName()) {
        return {ageMs >= kForeignLeftoverMs ? LockHolder::Leftover : LockHolder::Live,
                QStringLiteral("the lock is held by a Keyfall on %1").arg(host)};
    }
    const QString leftover = QStringLiteral("a leftover lock that keeps coming back");
    if (pid <= 0 || pid > std::numeric_limits<pid_t>::max())
        return {LockHolder::Leftover, leftover}; // no process could have written that
    if (kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
        return {LockHolder::Leftover, leftover};
    // The owner's number may since have gone to another program.
    QString running = QFileInfo(QStringLiteral("/proc/%1/exe").arg(pid)).symLinkTarget();
    running.remove(QRegularExpression(QStringLiteral(" \\(deleted\\)$")));
    if (!running.isEmpty() && !program.isEmpty() && QFileInfo(running).fileName() != program)
        return {LockHolder::Leftover, leftover};
    return {LockHolder::Live, QStringLiteral("the lock is held by %1 (process %2)").arg(program).arg(pid)};
}

// A leftover lock, and the ".rmlock" beside it: QLockFile guards its own removal of a stale
// lock with that file, and one left by a kill would stop every later removal.
bool RemoveLeftoverLock(const QString& lockPath, QString& why)
{
    unlink(QFile::encodeName(lockPath + QStringLiteral(".rmlock")).constData());
    if (unlink(QFile::encodeName(lockPath).constData()) != 0 && errno != ENOENT) {
        why = QStringLiteral("its leftover lock %1 cannot be removed (%2)").arg(lockPath, ErrorText(errno));
        return false;
    }
    return true;
}

// Never waits for ever: a live owner gets kLockWaitMs, a lock that can never be taken ends
// the wait at once.
bool TakeLock(QLockFile& lock, const QString& lockPath, QString& why)
{
    lock.setStaleLockTime(0); // leftovers are judged here, where one that cannot go ends the wait
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer unsignedSince;
    for (;;) {
        if (lock.tryLock(0))
            return true;
        if (lock.error() != QLockFile::LockFailedError) {
            why = lock.error() == QLockFile::PermissionError ? QStringLiteral("its folder is not writable")
                                                             : QStringLiteral("its lock cannot be created");
            return false;
        }
        const LockHolder holder = JudgeLock(lock, lockPath, unsignedSince);
        if (holder.kind == LockHolder::Unusable) {
            why = holder.what;
            return false;
        }
        if (holder.kind == LockHolder::Leftover && !RemoveLeftoverLock(lockPath, why))
            return false;
        if (holder.kind == LockHolder::Live && holder.isUnsigned) {
            if (!unsignedSince.isValid())
                unsignedSince.start();
        } else {
            unsignedSince.invalidate();
        }
        if (waited.hasExpired(QtSettingsStore::kLockWaitMs)) {
            why = QStringLiteral("%1 for more than %2 s").arg(holder.what).arg(QtSettingsStore::kLockWaitMs / 1000);
            return false;
        }
        if (holder.kind == LockHolder::Live)
            QThread::msleep(10);
    }
}

// With the lock held, nobody else is saving: a temporary file beside the settings is what a
// save killed before its rename left (QSaveFile names them "Keyfall.ini.XXXXXX" where the
// file system cannot make nameless ones), and an ".rmlock" is what a kill inside QLockFile's
// clean-up left.
void ClearSaveLeftovers(const QString& path, const QString& lockPath)
{
    QFile::remove(lockPath + QStringLiteral(".rmlock"));
    const QFileInfo file(path);
    const QDir folder = file.dir();
    const QRegularExpression temporary(
        QStringLiteral("^%1\\.[A-Za-z0-9]{6}$").arg(QRegularExpression::escape(file.fileName())));
    for (const QFileInfo& entry :
         folder.entryInfoList({file.fileName() + QStringLiteral(".*")}, QDir::Files | QDir::Hidden | QDir::System)) {
        if (!entry.isSymLink() && temporary.match(entry.fileName()).hasMatch())
            QFile::remove(entry.absoluteFilePath());
    }
}

} // namespace

bool QtSettingsStore::SameFile(const Stamp& a, const Stamp& b)
{
    if (a.exists != b.exists)
        return false;
    if (!a.exists)
        return true;
    return a.info.st_dev == b.info.st_dev && a.info.st_ino == b.info.st_ino && a.info.st_size == b.info.st_size
           && a.info.st_mode == b.info.st_mode && a.info.st_mtim.tv_sec == b.info.st_mtim.tv_sec
           && a.info.st_mtim.tv_nsec == b.info.st_mtim.tv_nsec && a.info.st_ctim.tv_sec == b.info.st_ctim.tv_sec
           && a.info.st_ctim.tv_nsec == b.info.st_ctim.tv_nsec;
}

const IniDocument& QtSettingsStore::Current() const
{
    const QString path = FilePath();
    Stamp now;
    now.exists = stat(QFile::encodeName(path).constData(), &now.info) == 0;
    if (m_everRead && SameFile(now, m_readStamp))
        return m_read;
    m_everRead = true;
    m_readStamp = now;
    const FileContents contents = ReadSettingsFile(path);
    if (contents.outcome != Outcome::Read && contents.outcome != Outcome::Absent)
        Report(QStringLiteral("ignoring the settings file %1: %2; the defaults apply").arg(path, contents.problem));
    m_read = IniDocument::Parse(contents.text);
    return m_read;
}

std::string QtSettingsStore::Get(std::string_view section, std::string_view name, std::string_view fallback) const
{
    return Current().Value(section, name).value_or(std::string(fallback));
}

void QtSettingsStore::Set(std::string_view section, std::string_view name, std::string_view text)
{
    m_pending.emplace_back(section, name, text);
}

bool QtSettingsStore::Sync()
{
    const auto pending = std::move(m_pending);
    m_pending.clear();
    m_everRead = false;

    const QString path = FilePath();
    const QString lockPath = path + QStringLiteral(".lock");
    const auto fail = [&path](const QString& why) {
        Report(QStringLiteral("could not save the settings to %1: %2").arg(path, why));
        return false;
    };
    if (!QDir().mkpath(QFileInfo(path).path()))
        return fail(QStringLiteral("its folder cannot be created"));
    QLockFile lock(lockPath);
    QString why;
    if (!TakeLock(lock, lockPath, why))
        return fail(why);
    ClearSaveLeftovers(path, lockPath);

    // Every other entry of the file is kept, so the file is read again under the lock. A file
    // too large to be ours held nothing readable and is replaced; one that cannot be read, or
    // is not a file at all, is left alone.
    const FileContents current = ReadSettingsFile(path);
    if (current.outcome == Outcome::Refused)
        return fail(current.problem);
    IniDocument document = IniDocument::Parse(current.text);
    for (const auto& [section, name, text] : pending)
        document.SetValue(section, name, text);
    const std::string text = document.Text();

    // QSaveFile writes a temporary file and renames it over the old one (through a link, over
    // the link's target), so a kill at any moment leaves the old file or the new one.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    if (file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()))
        return fail(file.errorString());
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

QString QtSettingsStore::FilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/Keyfall/Keyfall.ini");
}

} // namespace keyfall
