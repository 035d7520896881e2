#include "ui/QtSettingsStore.h"

#include "settings/MemoryStore.h"
#include "settings/Settings.h"
#include "support/Messages.h"
#include "ui/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <functional>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using keyfall::LoadSettings;
using keyfall::QtSettingsStore;
using keyfall::SaveSettings;
using keyfall::Settings;

class QtSettingsStoreTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_home;

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static void WriteFile(const QString& path, const QByteArray& contents)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(contents);
    }

    static Settings Sample() { return Settings{7, 11, 16, 31, 36, 51, 12, {false, false, true, false, false}}; }

    static Settings Defaults()
    {
        Settings settings;
        LoadSettings(settings, keyfall::MemoryStore{});
        return settings;
    }

    static QString Folder() { return QFileInfo(QtSettingsStore::FilePath()).path(); }
    static QString LockPath() { return QtSettingsStore::FilePath() + ".lock"; }

    // The lock as a save of another process killed after signing it leaves it.
    static void PlantLockOfAnEndedProcess()
    {
        QDir().mkpath(Folder());
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            QLockFile lock(LockPath());
            _exit(lock.tryLock(0) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        QVERIFY(QFileInfo(LockPath()).size() > 0);
    }

    // Saves Sample() through a fresh store; the file must then load as Sample().
    static void SaveGoesThrough()
    {
        QtSettingsStore store;
        QString errors;
        bool saved = false;
        errors = keyfall::test::MessagesOf([&] { saved = SaveSettings(Sample(), store); });
        QVERIFY2(saved, qPrintable(errors));
        QVERIFY2(errors.isEmpty(), qPrintable(errors));
        Settings loaded;
        LoadSettings(loaded, QtSettingsStore{});
        QCOMPARE(loaded, Sample());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(false);
    }

    void init() { QDir(Folder()).removeRecursively(); }

    void fileLivesUnderTheConfigFolder()
    {
        QCOMPARE(QtSettingsStore::FilePath(), m_home.path() + "/Keyfall/Keyfall.ini");
    }

    void loadingAnAbsentFileGivesDefaultsAndCreatesNothing()
    {
        QtSettingsStore store;
        Settings settings;
        LoadSettings(settings, store);
        QCOMPARE(settings.MaxRounds, std::int16_t{8});
        QCOMPARE(settings.HardHigh, std::int16_t{50});
        QVERIFY(settings.KeySet[0]);
        QVERIFY(!QFileInfo::exists(QtSettingsStore::FilePath()));
    }

    void saveWritesTextValuesUnderTheirGroups()
    {
        QtSettingsStore store;
        QVERIFY(SaveSettings(Sample(), store));
        const QString text = QString::fromUtf8(ReadFile(QtSettingsStore::FilePath()));
        for (const char* line : {"[FallRates]", "EasyLow=7", "EasyHigh=11", "MedLow=16", "MedHigh=31", "HardLow=36",
                                 "HardHigh=51", "[Rounds]", "Max=12", "[Selezione]", "Maiu=False", "Minu=False",
                                 "MaiuMinu=True", "Nume=False", "MaiuMinuNume=False"}) {
            QVERIFY2(text.contains(QLatin1String(line)), line);
        }
        Settings loaded;
        LoadSettings(loaded, store);
        QCOMPARE(loaded, Sample());
    }

    void handEditedFileFallsBackPerValue()
    {
        WriteFile(QtSettingsStore::FilePath(), "[FallRates]\nEasyLow=abc\nEasyHigh=2.5\nMedLow=\nMedHigh=70000\n"
                                               "HardLow=1e9\nHardHigh=1, 2\n[Rounds]\nMax=\"3\"\n"
                                               "[Selezione]\nMaiu=false\nMinu=TRUE\n");
        QtSettingsStore store;
        Settings settings;
        LoadSettings(settings, store);
        QCOMPARE(settings.EasyLow, std::int16_t{5});
        QCOMPARE(settings.EasyHigh, std::int16_t{2});
        QCOMPARE(settings.MedLow, std::int16_t{15});
        QCOMPARE(settings.MedHigh, std::int16_t{30});
        QCOMPARE(settings.HardLow, std::int16_t{35});
        QCOMPARE(settings.HardHigh, std::int16_t{50});
        QCOMPARE(settings.MaxRounds, std::int16_t{3});
        QVERIFY(!settings.KeySet[0]);
        QVERIFY(settings.KeySet[1]);
    }

    void failedSaveKeepsTheOldFileWhole()
    {
        QtSettingsStore store;
        QVERIFY(SaveSettings(Sample(), store));
        const QString path = QtSettingsStore::FilePath();
        const QByteArray before = ReadFile(path);
        const QString folder = QFileInfo(path).path();
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
        QVERIFY(QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
                                                  | QFileDevice::ExeGroup | QFileDevice::ReadOther
                                                  | QFileDevice::ExeOther));
        QVERIFY(QFile::setPermissions(m_home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                                         | QFileDevice::ExeOwner | QFileDevice::ExeOther));
        // Root writes through any permission, so the save runs as an ordinary user then.
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(3);
            QtSettingsStore other;
            Settings changed = Sample();
            changed.MaxRounds = 19;
            changed.KeySet = {true, false, false, false, false};
            _exit(SaveSettings(changed, other) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1);
        QCOMPARE(ReadFile(path), before);
        QVERIFY(
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner));
        QVERIFY(QFile::setPermissions(m_home.path(),
                                      QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }

    void leftoversOfAKilledSaveAreClearedByTheNextSave_data()
    {
        QTest::addColumn<QString>("leftover");
        QTest::newRow("unsigned lock") << "unsigned";
        QTest::newRow("lock of an ended process") << "ended";
        QTest::newRow("lock of an ended process and an empty .rmlock") << "rmlock";
        QTest::newRow("lock and .rmlock, both of an ended process") << "signed rmlock";
        QTest::newRow("temporary file") << "temporary";
        QTest::newRow("lock signed with no possible process") << "no process";
    }

    void leftoversOfAKilledSaveAreClearedByTheNextSave()
    {
        QFETCH(QString, leftover);
        QDir().mkpath(Folder());
        if (leftover == "unsigned") {
            WriteFile(LockPath(), {});
        } else if (leftover == "no process") {
            WriteFile(LockPath(), "0\nkeyfall\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        } else if (leftover == "temporary") {
            WriteFile(QtSettingsStore::FilePath() + ".a1B2c3", "[Rounds]\nMax=3\n");
        } else {
            PlantLockOfAnEndedProcess();
            if (leftover == "rmlock")
                WriteFile(LockPath() + ".rmlock", {});
            else if (leftover == "signed rmlock")
                QVERIFY(QFile::copy(LockPath(), LockPath() + ".rmlock"));
        }
        SaveGoesThrough();
        QCOMPARE(QDir(Folder()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"Keyfall.ini"});
    }

    void aLockHeldByARunningKeyfallIsRespected()
    {
        QtSettingsStore store;
        QVERIFY(SaveSettings(Sample(), store));
        const QByteArray before = ReadFile(QtSettingsStore::FilePath());
        {
            // Another Keyfall in the middle of its save: here, this very process.
            QLockFile other(LockPath());
            QVERIFY(other.tryLock(0));
            Settings changed = Sample();
            changed.MaxRounds = 3;
            bool saved = true;
            const QString errors = keyfall::test::MessagesOf([&] { saved = SaveSettings(changed, store); });
            QVERIFY(!saved);
            QCOMPARE(errors.count('\n'), 1);
            QVERIFY2(errors.contains("held by"), qPrintable(errors));
            QCOMPARE(ReadFile(QtSettingsStore::FilePath()), before);
            QVERIFY(QFileInfo::exists(LockPath()));
        }
        SaveGoesThrough();
    }

    void aLockThatCanNeverBeTakenEndsTheSaveWithOneLine()
    {
        QtSettingsStore store;
        QVERIFY(SaveSettings(Sample(), store));
        const QByteArray before = ReadFile(QtSettingsStore::FilePath());
        QVERIFY(QDir().mkpath(LockPath()));
        bool saved = true;
        const QString errors = keyfall::test::MessagesOf([&] { saved = SaveSettings(Defaults(), store); });
        QVERIFY(!saved);
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("could not save") && errors.contains("not a file"), qPrintable(errors));
        QCOMPARE(ReadFile(QtSettingsStore::FilePath()), before);
        QVERIFY(QFileInfo(LockPath()).isDir());
    }

    void aLeftoverLockInAReadOnlyFolderEndsTheSaveWithOneLine()
    {
        QtSettingsStore store;
        QVERIFY(SaveSettings(Sample(), store));
        const QByteArray before = ReadFile(QtSettingsStore::FilePath());
        PlantLockOfAnEndedProcess();
        QVERIFY(chmod(QFile::encodeName(Folder()).constData(), 0555) == 0);
        QVERIFY(chmod(QFile::encodeName(m_home.path()).constData(), 0711) == 0);
        // Root writes through any permission, so the save runs as an ordinary user.
        QTemporaryFile capture;
        QVERIFY(capture.open());
        QVERIFY(chmod(QFile::encodeName(capture.fileName()).constData(), 0666) == 0);
        const pid_t child = fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(3);
            dup2(capture.handle(), STDERR_FILENO);
            keyfall::InstallMessageHandler();
            QtSettingsStore other;
            _exit(SaveSettings(Defaults(), other) ? 0 : 1);
        }
        int status = 0;
        QCOMPARE(waitpid(child, &status, 0), child);
        QVERIFY(chmod(QFile::encodeName(Folder()).constData(), 0755) == 0);
        QVERIFY(chmod(QFile::encodeName(m_home.path()).constData(), 0700) == 0);
        QVERIFY(WIFEXITED(status));
        QCOMPARE(WEXITSTATUS(status), 1);
        QVERIFY(capture.seek(0));
        const QString errors = QString::fromUtf8(capture.readAll());
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("cannot be removed"), qPrintable(errors));
        QCOMPARE(ReadFile(QtSettingsStore::FilePath()), before);
    }

    void anythingButARegularFileGivesTheDefaultsAndIsLeftAlone_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("link to a FIFO") << "link to fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("device") << "device";
    }

    void anythingButARegularFileGivesTheDefaultsAndIsLeftAlone()
    {
        QFETCH(QString, kind);
        const QString path = QtSettingsStore::FilePath();
        QDir().mkpath(Folder());
        const QByteArray fifo = QFile::encodeName(Folder() + "/elsewhere");
        if (kind == "fifo")
            QVERIFY(mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        else if (kind == "link to fifo")
            QVERIFY(mkfifo(fifo.constData(), 0600) == 0 && QFile::link(Folder() + "/elsewhere", path));
        else if (kind == "folder")
            QVERIFY(QDir().mkpath(path));
        else
            QVERIFY(QFile::link("/dev/zero", path));
        const QFileInfo before(path);

        // Opening a FIFO for reading would wait for a writer: the load must not.
        Settings loaded;
        const QString loadErrors = keyfall::test::MessagesOf([&] { LoadSettings(loaded, QtSettingsStore{}); });
        QCOMPARE(loaded, Defaults());
        QCOMPARE(loadErrors.count('\n'), 1);
        QVERIFY2(loadErrors.contains("not a regular file"), qPrintable(loadErrors));

        QtSettingsStore store;
        bool saved = true;
        const QString saveErrors = keyfall::test::MessagesOf([&] { saved = SaveSettings(Sample(), store); });
        QVERIFY(!saved);
        QCOMPARE(saveErrors.count('\n'), 1);
        const QFileInfo after(path);
        QCOMPARE(after.isSymLink(), before.isSymLink());
        QCOMPARE(after.isDir(), before.isDir());
        QCOMPARE(after.isFile(), before.isFile());
    }

    void aLinkToARegularFileIsReadAndWrittenThrough()
    {
        QDir().mkpath(Folder());
        WriteFile(Folder() + "/real.ini", "[Rounds]\nMax=4\n");
        QVERIFY(QFile::link(Folder() + "/real.ini", QtSettingsStore::FilePath()));
        Settings loaded;
        LoadSettings(loaded, QtSettingsStore{});
        QCOMPARE(loaded.MaxRounds, std::int16_t{4});
        SaveGoesThrough();
        QVERIFY(QFileInfo(QtSettingsStore::FilePath()).isSymLink());
        QVERIFY(ReadFile(Folder() + "/real.ini").contains("Max=12"));
    }

    void aSaveOverAnOddFileReportsSuccessAndKeepsItsOtherEntriesAsTheyWere()
    {
        // A byte-order mark, a line that is no entry, a typed value and a damaged one, as
        // hand edits and other programs leave them.
        const QByteArray odd = "\xEF\xBB\xBF[FallRates]\nEasyLow=9\nthis line is no entry\n"
                               "Blob=@ByteArray(\\0\\x1)\nNotes=caf\xC3\xA9 \\\"\\x7f\x01\n[Selezione]\nMaiu=0\n";
        WriteFile(QtSettingsStore::FilePath(), odd);
        Settings loaded;
        LoadSettings(loaded, QtSettingsStore{});
        QCOMPARE(loaded.EasyLow, std::int16_t{9});
        QVERIFY(!loaded.KeySet[0]);

        SaveGoesThrough();
        const QByteArray once = ReadFile(QtSettingsStore::FilePath());
        QVERIFY(once.contains("Blob=@ByteArray(\\0\\x1)\n"));
        QVERIFY(once.contains("Notes=caf\xC3\xA9 \\\"\\x7f\x01\n"));
        SaveGoesThrough();
        QCOMPARE(ReadFile(QtSettingsStore::FilePath()), once);
    }

    void typedValuesAreNeverDecoded()
    {
        // Qt's variant reader would ask for gigabytes for this value.
        WriteFile(QtSettingsStore::FilePath(),
                  "[Rounds]\nMax=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\fQStringList\\xff\\xff\\xff\\xf0)\n"
                  "[FallRates]\nEasyLow=@ByteArray(3)\nEasyHigh=@@7\n");
        Settings loaded;
        LoadSettings(loaded, QtSettingsStore{});
        QCOMPARE(loaded, Defaults());
    }

    void aFileLargerThanTheLimitGivesTheDefaultsAndIsReplacedBySaving()
    {
        QByteArray big = "[Rounds]\nMax=3\n";
        big += QByteArray(QtSettingsStore::kMaxFileSize, ';');
        WriteFile(QtSettingsStore::FilePath(), big);
        Settings loaded;
        const QString errors = keyfall::test::MessagesOf([&] { LoadSettings(loaded, QtSettingsStore{}); });
        QCOMPARE(loaded, Defaults());
        QCOMPARE(errors.count('\n'), 1);
        QVERIFY2(errors.contains("larger than 64 KiB"), qPrintable(errors));
        SaveGoesThrough();
        QVERIFY(QFileInfo(QtSettingsStore::FilePath()).size() < 1024);
    }
};

QTEST_GUILESS_MAIN(QtSettingsStoreTest)
#include "QtSettingsStoreTest.moc"
