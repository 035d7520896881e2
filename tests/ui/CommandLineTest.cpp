// The command line as players type it: the options they know from other games work, help and
// version end the program with status 0, anything unknown or malformed ends it with 2 and a
// short message on standard error, and Qt's own options are left to Qt.

#include "ui/CommandLine.h"

#include <QRegularExpression>
#include <QTest>

using namespace keyfall;

namespace {

ParsedCommandLine Parse(QStringList arguments)
{
    arguments.prepend(QStringLiteral("/usr/games/keyfall"));
    return ParseCommandLine(arguments);
}

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

private slots:
    void noOptionsPlaysFullScreenWithSoundAtItsOwnSize()
    {
        const auto parsed = Parse({});
        QVERIFY(!parsed.ExitCode);
        QVERIFY(!parsed.Options.Display.Windowed);
        QVERIFY(parsed.Options.Sound);
        QCOMPARE(parsed.Options.Display.Scale, SceneScale{});
    }

    void playerOptions_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("windowed");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<int>("mode");
        QTest::addColumn<double>("factor");
        const int natural = static_cast<int>(ScaleMode::Natural);
        const int fit = static_cast<int>(ScaleMode::Fit);
        const int factor = static_cast<int>(ScaleMode::Factor);
        QTest::newRow("--window") << QStringList{"--window"} << true << true << natural << 1.0;
        QTest::newRow("--no-sound") << QStringList{"--no-sound"} << false << false << natural << 1.0;
        QTest::newRow("-ns, one option") << QStringList{"-ns"} << false << false << natural << 1.0;
        QTest::newRow("--scale=fit") << QStringList{"--scale=fit"} << false << true << fit << 1.0;
        QTest::newRow("--scale 1.5") << QStringList{"--scale", "1.5"} << false << true << factor << 1.5;
        QTest::newRow("lowest factor") << QStringList{"--scale=0.25"} << false << true << factor << 0.25;
        QTest::newRow("highest factor") << QStringList{"--scale=8"} << false << true << factor << 8.0;
        QTest::newRow("all together") << QStringList{"-ns", "--window", "--scale=2"} << true << false << factor << 2.0;
        QTest::newRow("Qt's own options")
            << QStringList{"-platform", "offscreen", "--window"} << true << true << natural << 1.0;
    }

    void playerOptions()
    {
        QFETCH(QStringList, arguments);
        QFETCH(bool, windowed);
        QFETCH(bool, sound);
        QFETCH(int, mode);
        QFETCH(double, factor);
        const auto parsed = Parse(arguments);
        QVERIFY2(!parsed.ExitCode, qPrintable(parsed.Error));
        QCOMPARE(parsed.Options.Display.Windowed, windowed);
        QCOMPARE(parsed.Options.Sound, sound);
        QCOMPARE(static_cast<int>(parsed.Options.Display.Scale.Mode), mode);
        QCOMPARE(parsed.Options.Display.Scale.Factor, factor);
    }

    void helpListsEveryOptionAndEndsWell_data()
    {
        QTest::addColumn<QString>("option");
        QTest::newRow("--help") << "--help";
        QTest::newRow("-h") << "-h";
    }

    void helpListsEveryOptionAndEndsWell()
    {
        QFETCH(QString, option);
        const auto parsed = Parse({QStringLiteral("--window"), option});
        QCOMPARE(parsed.ExitCode, std::optional<int>(0));
        QVERIFY(parsed.Error.isEmpty());
        QVERIFY(parsed.Output.startsWith(QStringLiteral("Usage: keyfall ")));
        for (const char* listed : {"--window", "--no-sound", "--scale", "--version", "--help"})
            QVERIFY2(parsed.Output.contains(QLatin1String(listed)), listed);
        // Qt's options are accepted, not advertised.
        QVERIFY(!parsed.Output.contains(QStringLiteral("platform")));
        // The short sound option is listed as it is typed.
        QVERIFY2(parsed.Output.contains(QStringLiteral("--no-sound, -ns ")), qPrintable(parsed.Output));
        QVERIFY(!parsed.Output.contains(QStringLiteral("--ns")));
    }

    void versionNamesTheProgram()
    {
        const auto parsed = Parse({QStringLiteral("--version")});
        QCOMPARE(parsed.ExitCode, std::optional<int>(0));
        QVERIFY2(QRegularExpression(QStringLiteral("^Keyfall \\d+\\.\\d+\\.\\d+\\n$")).match(parsed.Output).hasMatch(),
                 qPrintable(parsed.Output));
    }

    void mistakesEndWithStatusTwoAndAShortMessage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("named");
        QTest::newRow("unknown long option") << QStringList{"--fullscreen"} << "'fullscreen'";
        QTest::newRow("unknown short option") << QStringList{"-x"} << "'x'";
        QTest::newRow("short options do not combine") << QStringList{"-hv"} << "'hv'";
        QTest::newRow("stray argument") << QStringList{"letters"} << "'letters'";
        QTest::newRow("scale zero") << QStringList{"--scale=0"} << "'0'";
        QTest::newRow("scale negative") << QStringList{"--scale=-2"} << "'-2'";
        QTest::newRow("scale too large") << QStringList{"--scale=9"} << "'9'";
        QTest::newRow("scale not a number") << QStringList{"--scale=big"} << "'big'";
        QTest::newRow("scale with a decimal comma") << QStringList{"--scale=1,5"} << "'1,5'";
        QTest::newRow("scale not a number at all") << QStringList{"--scale=nan"} << "'nan'";
        QTest::newRow("scale without value") << QStringList{"--scale"} << "scale";
        QTest::newRow("version with an argument") << QStringList{"--version", "extra"} << "'extra'";
        QTest::newRow("help with an argument") << QStringList{"extra", "--help"} << "'extra'";
        QTest::newRow("export without a file") << QStringList{"--export-csv="} << "--export-csv";
        QTest::newRow("export without a value") << QStringList{"--export-csv"} << "export-csv";
        QTest::newRow("keys' export without a file") << QStringList{"--export-keys-csv="} << "--export-keys-csv";
        QTest::newRow("both exports at once")
            << QStringList{"--export-csv=a.csv", "--export-keys-csv=b.csv"} << "one at a time";
        QTest::newRow("empty player") << QStringList{"--player="} << "--player";
        QTest::newRow("blank player") << QStringList{"--player", "  "} << "--player";
        QTest::newRow("player too long") << QStringList{"--player=" + QString(65, QLatin1Char('a'))} << "--player";
        QTest::newRow("player with a line break") << QStringList{"--player=Anna\nBea"} << "--player";
        QTest::newRow("player with a tab") << QStringList{"--player=Anna\tBea"} << "--player";
        QTest::newRow("player with an escape") << QStringList{"--player=\x1b[2J"} << "--player";
        QTest::newRow("player with a line separator")
            << QStringList{QStringLiteral("--player=Anna\u2028Bea")} << "--player";
        QTest::newRow("unknown layout") << QStringList{"--layout=xx"} << "'xx'";
        QTest::newRow("layout with a path") << QStringList{"--layout=../../etc/passwd"} << "--layout";
        QTest::newRow("unknown layout variant") << QStringList{"--layout=it(nosuch)"} << "'it(nosuch)'";
        QTest::newRow("layout without a value") << QStringList{"--layout="} << "--layout";
    }

    void mistakesEndWithStatusTwoAndAShortMessage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, named);
        const auto parsed = Parse(arguments);
        QCOMPARE(parsed.ExitCode, std::optional<int>(2));
        QVERIFY(parsed.Output.isEmpty());
        QVERIFY2(parsed.Error.startsWith(QStringLiteral("keyfall: ")), qPrintable(parsed.Error));
        QVERIFY2(parsed.Error.contains(named), qPrintable(parsed.Error));
        QVERIFY(parsed.Error.contains(QStringLiteral("keyfall --help")));
        QVERIFY(parsed.Error.endsWith(QLatin1Char('\n')));
        QCOMPARE(parsed.Error.count(QLatin1Char('\n')), 1);
        // Nothing the terminal would take as a command is echoed back.
        QVERIFY(!parsed.Error.contains(QChar(0x1b)));
    }

    void playerNamesAreComposedAndTrimmedButKeepTheirCase_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("recorded");
        const QString composed = QStringLiteral("Jos\u00e9");
        const QString decomposed = QStringLiteral("Jose\u0301");
        QTest::newRow("as typed") << "Anna"
                                  << "Anna";
        QTest::newRow("case kept") << "anna"
                                   << "anna";
        QTest::newRow("surrounding blanks") << "  Anna Bea\t"
                                            << "Anna Bea";
        QTest::newRow("accent composed") << decomposed << composed;
        QTest::newRow("accent already composed") << composed << composed;
        QTest::newRow("64 letters") << QString(64, QLatin1Char('a')) << QString(64, QLatin1Char('a'));
        // 64 letters as the player sees them, though each takes two code units before composing
        // and one emoji takes two after.
        QTest::newRow("64 decomposed letters") << decomposed.right(2).repeated(32) + QString(32, QLatin1Char('e'))
                                               << QStringLiteral("\u00e9").repeated(32) + QString(32, QLatin1Char('e'));
        QTest::newRow("64 emoji") << QStringLiteral("\U0001F600").repeated(64)
                                  << QStringLiteral("\U0001F600").repeated(64);
    }

    void playerNamesAreComposedAndTrimmedButKeepTheirCase()
    {
        QFETCH(QString, typed);
        QFETCH(QString, recorded);
        const auto parsed = Parse({QStringLiteral("--player"), typed});
        QVERIFY2(!parsed.ExitCode, qPrintable(parsed.Error));
        QCOMPARE(parsed.Options.Player, recorded);
        // The login name, for a player who gives none, is filed the same way.
        QCOMPARE(NormalisedPlayerName(typed), recorded);
    }

    void keyboardAndLayout()
    {
        QVERIFY(!Parse({}).Options.Keyboard);
        QVERIFY(!Parse({}).Options.Train);
        QVERIFY(Parse({QStringLiteral("--train")}).Options.Train);
        QVERIFY(Parse({}).Options.Layout.empty());
        const auto parsed = Parse({QStringLiteral("--keyboard"), QStringLiteral("--layout=de(nodeadkeys)")});
        QVERIFY(!parsed.ExitCode);
        QVERIFY(parsed.Options.Keyboard);
        QCOMPARE(parsed.Options.Layout, std::string("de"));
        QCOMPARE(parsed.Options.LayoutVariant, std::string("nodeadkeys"));
        const auto italian = Parse({QStringLiteral("--layout"), QStringLiteral("it")});
        QVERIFY(!italian.ExitCode);
        QCOMPARE(italian.Options.Layout, std::string("it"));
        QVERIFY(italian.Options.LayoutVariant.empty());
    }

    void exportToStandardOutput()
    {
        const auto parsed = Parse({QStringLiteral("--export-csv=-")});
        QVERIFY(!parsed.ExitCode);
        QCOMPARE(parsed.Options.ExportCsv, QStringLiteral("-"));
        QVERIFY(parsed.Options.ExportKeysCsv.isEmpty());
        const auto keys = Parse({QStringLiteral("--export-keys-csv"), QStringLiteral("-")});
        QVERIFY(!keys.ExitCode);
        QCOMPARE(keys.Options.ExportKeysCsv, QStringLiteral("-"));
        QVERIFY(keys.Options.ExportCsv.isEmpty());
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
