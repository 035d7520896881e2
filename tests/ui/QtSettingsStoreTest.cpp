#include "ui/QtSettingsStore.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

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

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        qputenv("XDG_CONFIG_HOME", m_home.path().toLocal8Bit());
        QStandardPaths::setTestModeEnabled(false);
    }

    void init() { QFile::remove(QtSettingsStore::FilePath()); }

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
};

QTEST_GUILESS_MAIN(QtSettingsStoreTest)
#include "QtSettingsStoreTest.moc"
