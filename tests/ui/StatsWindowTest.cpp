// The statistics window on the offscreen platform, over a records file made for each test,
// and the main window's part: F2 between games, the greeting of a new record.

#include "ui/StatsWindow.h"
#include "records/RecordStore.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"
#include "settings/MemoryStore.h"
#include "support/Messages.h"
#include "ui/ExportCsv.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/KeySpeedChart.h"
#include "ui/KeyboardView.h"
#include "ui/PlayField.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QValueAxis>

#include <cmath>

#include <sqlite3.h>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

// A game of 8 rounds at `level` with exactly these characters, its totals theirs.
records::GameRecord GameOf(int level, std::map<std::string, records::KeyCounts> keys)
{
    return test::GameOf("anna", level, std::move(keys));
}

records::KeyCounts Counts(int launched, int hits, int landed, std::int64_t ticks)
{
    records::KeyCounts counts;
    counts.launched = launched;
    counts.hits = hits;
    counts.landed = landed;
    counts.reactionTicks = ticks;
    return counts;
}

const QLineSeries* Series(const KeySpeedChart* chart, int index)
{
    const auto series = chart->view()->chart()->series();
    return index < series.size() ? static_cast<const QLineSeries*>(series.at(index)) : nullptr;
}

int Points(QChartView* view)
{
    const auto series = view->chart()->series();
    return series.isEmpty() ? -1 : static_cast<int>(static_cast<QLineSeries*>(series.front())->count());
}

// The labels an axis shows, as Qt places its ticks: evenly from end to end for a fixed
// count, at the multiples of the interval from the anchor otherwise.
QStringList Labels(const QValueAxis* axis)
{
    QList<qreal> ticks;
    if (axis->tickType() == QValueAxis::TicksDynamic) {
        const qreal first =
            axis->tickAnchor()
            + std::ceil((axis->min() - axis->tickAnchor()) / axis->tickInterval()) * axis->tickInterval();
        for (qreal v = first; v <= axis->max() + 1e-9; v += axis->tickInterval())
            ticks << v;
    } else {
        for (int i = 0; i < axis->tickCount(); ++i)
            ticks << axis->min() + (axis->max() - axis->min()) * i / (axis->tickCount() - 1);
    }
    QStringList labels;
    const QByteArray format = axis->labelFormat().toLatin1();
    for (const qreal v : ticks) {
        if (format.contains('d'))
            labels << QString::asprintf(format.constData(), static_cast<int>(v));
        else
            labels << QString::asprintf(format.constData(), v);
    }
    return labels;
}

// Every label of every axis of the charts is a whole number that no other label repeats.
void CheckAxes(const StatsWindow& window)
{
    for (int chart = 0; chart < 3; ++chart) {
        for (QAbstractAxis* axis : window.chart(chart)->chart()->axes()) {
            const auto* values = qobject_cast<QValueAxis*>(axis);
            QVERIFY(values);
            const QStringList labels = Labels(values);
            QVERIFY2(labels.size() >= 2, qPrintable(labels.join(' ')));
            QVERIFY2(QSet<QString>(labels.begin(), labels.end()).size() == labels.size(), qPrintable(labels.join(' ')));
            for (const QString& label : labels) {
                bool whole = false;
                label.toInt(&whole);
                QVERIFY2(whole, qPrintable(labels.join(' ')));
            }
        }
    }
}

} // namespace

class StatsWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<test::TempFolder> m_folder;
    QString m_path;

    void Seed(const std::vector<records::GameRecord>& games)
    {
        records::RecordStore store(m_path.toStdString(), {});
        for (const auto& g : games)
            QVERIFY(store.Save(g));
    }

private slots:
    void initTestCase() { InstallFontSubstitutes(); }
    void init()
    {
        m_folder = std::make_unique<test::TempFolder>();
        m_path = QString::fromStdString(m_folder->File("Keyfall/keyfall.sqlite"));
    }
    void cleanup() { m_folder.reset(); }

    void saysSoPlainlyWhenThereAreNoGames()
    {
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        QCOMPARE(window.windowTitle(), QStringLiteral("Keyfall — Statistiche"));
        QCOMPARE(window.pages()->currentWidget(), window.emptyLabel());
        QVERIFY(window.emptyLabel()->text().startsWith(QStringLiteral("Nessuna partita registrata per anna.")));
        QVERIFY(!window.exportButton()->isEnabled());
        QCOMPARE(window.players()->currentText(), QStringLiteral("anna"));
    }

    void leadsOnToTrainingWhenTheGameOffersIt()
    {
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        // Standing alone (--stats) there is no game to train in.
        QVERIFY(!window.trainingButton()->isVisible());
        int opened = 0;
        window.SetTrainingOpener([&opened] { ++opened; });
        QVERIFY(window.trainingButton()->isVisible());
        window.trainingButton()->click();
        QVERIFY(!window.isVisible());
        QTRY_COMPARE(opened, 1);
    }

    void showsBestScoresProgressAndWeakKeys()
    {
        auto weak = test::SampleGame("anna", 300, 25, 0, true, "2026-12-03T10:00:00Z");
        weak.keys["K"].landed += 30;
        weak.keys["K"].launched += 30;
        weak.landed += 30;
        Seed({test::SampleGame("anna", 120, 50, 0, true, "2026-12-01T10:00:00Z"),
              test::SampleGame("anna", 90, 50, 0, true, "2026-12-02T10:00:00Z"), weak,
              test::SampleGame("anna", 999, 50, 0, false, "2026-12-04T10:00:00Z"),
              test::SampleGame("bruno", 50, 100, 2, true, "2026-12-04T11:00:00Z")});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        QVERIFY(window.pages()->currentWidget() != window.emptyLabel());
        QVERIFY(window.summary()->text().startsWith(QStringLiteral("4 partite (3 finite)")));

        QTableWidget* best = window.bestTable();
        QCOMPARE(best->rowCount(), 2);
        QCOMPARE(best->item(0, 0)->text(), QStringLiteral("Medio"));
        QCOMPARE(best->item(0, 1)->text(), QStringLiteral("solo maiuscole"));
        QCOMPARE(best->item(0, 2)->text(), QLocale().toString(120)); // the stopped 999 holds no record
        QVERIFY(best->item(0, 3)->text().contains(QStringLiteral("/12/2026")));
        QCOMPARE(best->item(1, 0)->text(), QStringLiteral("Difficile"));

        for (int chart = 0; chart < 3; ++chart)
            QCOMPARE(Points(window.chart(chart)), 4);
        const auto* accuracy = static_cast<QLineSeries*>(window.chart(2)->chart()->series().front());
        // 40 hits of 43 in a sample game; 40 of 73 in the one where K landed 30 times.
        QCOMPARE(qRound(accuracy->at(0).y()), 93);
        QCOMPARE(qRound(accuracy->at(2).y()), 55);

        CheckAxes(window);

        QVERIFY(window.weakest()->text().startsWith(QStringLiteral("Tasti da esercitare: K (")));
        KeyboardView* keyboard = window.keyboard();
        window.findChild<QTabWidget*>()->setCurrentIndex(2);
        QTRY_VERIFY(keyboard->isVisible() && keyboard->width() > 400);
        const QImage drawn = keyboard->grab().toImage();
        // Left of the middle of a key: its fill, clear of its texts and rounded corners.
        const auto fill = [&](const char* key) {
            const QRectF r = keyboard->KeyRect(QString::fromLatin1(key));
            return drawn.pixelColor(QPointF(r.left() + r.width() * 0.12, r.center().y()).toPoint());
        };
        const QColor k = fill("K");
        const QColor a = fill("A");
        const QColor unused = fill("1");
        QVERIFY2(k.red() > k.green(), "a key that mostly landed is drawn red");
        QVERIFY2(a.green() > a.red(), "a key always hit is drawn green");
        QCOMPARE(unused.red(), unused.green());

        window.players()->setCurrentText(QStringLiteral("bruno"));
        window.ShowPlayer(QStringLiteral("bruno"));
        window.FinishLoading();
        QCOMPARE(Points(window.chart(0)), 1);
        QCOMPARE(window.bestTable()->item(0, 0)->text(), QStringLiteral("Facile"));
        CheckAxes(window); // one game: its axis runs from game 1 to game 2
        // A line of one point draws nothing: the game shows as a dot.
        QVERIFY(static_cast<QLineSeries*>(window.chart(0)->chart()->series().front())->pointsVisible());
    }

    void aChartOfGamesHasTwoToSixTicksWholeGamesApart()
    {
        for (qsizetype last = 2; last <= 100000; ++last) {
            const qsizetype step = GameStep(last);
            const qsizetype ticks = last / step; // the multiples of the step from 1 to last
            if (ticks < 2 || ticks > 6)
                QFAIL(qPrintable(QStringLiteral("%1 games: %2 ticks %3 apart").arg(last).arg(ticks).arg(step)));
        }
    }

    void exportsTheShownPlayersGamesOrNothing()
    {
        Seed({test::SampleGame("anna", 120), test::SampleGame("anna", 130), test::SampleGame("bruno", 5)});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        const QString file = QString::fromStdString(m_folder->File("anna.csv"));
        QVERIFY(window.ExportCsv(file));
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.size(), 4); // header, two games, and the empty rest after the last break
        QVERIFY(lines[1].startsWith("\"anna\","));
        QVERIFY(!window.ExportCsv(QString::fromStdString(m_folder->File("no/such/folder/anna.csv"))));
    }

    void exportsEveryPlayersKeysOrLeavesNoFile()
    {
        Seed({test::SampleGame("anna", 120), test::SampleGame("bruno", 5)});
        const QString file = QString::fromStdString(m_folder->File("keys.csv"));
        QCOMPARE(ExportKeysCsv(m_path, file), 0);
        QFile csv(file);
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = csv.readAll().split('\n');
        QCOMPARE(lines.front(), "player,character,games,launched,hits,errors,accuracy,smoothed_ms,best_ms,confidence,"
                                "mastered\r");
        // A sample game touches A to Z and a stray #: 27 characters each, and the empty rest.
        QCOMPARE(lines.size(), 1 + 2 * 27 + 1);
        QVERIFY(lines[1].startsWith("\"anna\",\"#\","));
        QVERIFY(lines[28].startsWith("\"bruno\",\"#\","));

        // Records that cannot be read: no file made, and one that was there stays whole.
        const std::string damaged = m_folder->File("damaged.sqlite");
        QFile garbage(QString::fromStdString(damaged));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(4096, 'x'));
        garbage.close();
        const QString fresh = QString::fromStdString(m_folder->File("fresh.csv"));
        test::CapturedMessages messages;
        QCOMPARE(ExportKeysCsv(QString::fromStdString(damaged), fresh), 1);
        QVERIFY(!QFile::exists(fresh));
        QCOMPARE(ExportKeysCsv(QString::fromStdString(damaged), file), 1);
        QVERIFY(csv.seek(0));
        QCOMPARE(csv.readAll().split('\n').size(), 1 + 2 * 27 + 1);
        QCOMPARE(ExportKeysCsv(m_path, QString::fromStdString(m_folder->File("no/such/folder/keys.csv"))), 1);
        // One line for each failure, saying what failed.
        QCOMPARE(messages.Lines().size(), 3);
        QVERIFY2(messages.Lines().back().contains(QStringLiteral("keys.csv")), qPrintable(messages.Text()));
    }

    void confidenceMarksAMasteredKeyApartFromAWeakOne()
    {
        // M: 12 hits of 12 in 500 ms, against a target of 3000 ms: mastered. The key W gathers
        // w, mastered as M, and W, hit half the times it fell: the key shows W's confidence.
        Seed({GameOf(50, {{"M", Counts(12, 12, 0, 120)}, {"w", Counts(12, 12, 0, 120)}, {"W", Counts(10, 5, 5, 50)}})});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        KeyboardView* keyboard = window.keyboard();
        window.findChild<QTabWidget*>()->setCurrentIndex(2);
        QTRY_VERIFY(keyboard->isVisible() && keyboard->width() > 400);
        QVERIFY(window.accuracyButton()->isChecked());
        QVERIFY(keyboard->ToolTip(QStringLiteral("M")).startsWith(QStringLiteral("M: precisione 100%")));

        window.confidenceButton()->click();
        QCOMPARE(keyboard->colouring(), KeyboardView::Colouring::Confidence);
        const QImage drawn = keyboard->grab().toImage();
        const auto fill = [&](const char* key) {
            const QRectF r = keyboard->KeyRect(QString::fromLatin1(key));
            return drawn.pixelColor(QPointF(r.left() + r.width() * 0.15, r.center().y()).toPoint());
        };
        const QColor mastered = fill("M");
        const QColor weak = fill("W");
        const QColor unused = fill("1");
        QVERIFY2(mastered.green() > mastered.red(), "a mastered key is drawn green");
        QVERIFY2(weak.red() > weak.green(), "a key of confidence 0 is drawn red");
        QCOMPARE(unused.red(), unused.green());
        QVERIFY2(keyboard->ToolTip(QStringLiteral("M")).endsWith(QStringLiteral(", padroneggiato")),
                 qPrintable(keyboard->ToolTip(QStringLiteral("M"))));
        const QString w = keyboard->ToolTip(QStringLiteral("W"));
        QVERIFY2(w.startsWith(QStringLiteral("W: sicurezza 0%, precisione 50%")), qPrintable(w));
        QVERIFY2(!w.contains(QStringLiteral("padroneggiato")), qPrintable(w));
        QVERIFY(keyboard->ToolTip(QStringLiteral("1")).isEmpty());
    }

    void choosingAKeyChartsItsTimeInEachGameThatHitIt()
    {
        // K is hit in the two games of 40 hits (A to Z, then A to N) but not in the one of 5
        // (A to E); A is hit in all three.
        Seed({test::SampleGame("anna", 120, 50, 0, true, "2026-12-01T10:00:00Z"),
              test::SampleGame("anna", 20, 50, 0, true, "2026-12-02T10:00:00Z", 5),
              test::SampleGame("anna", 130, 25, 0, true, "2026-12-03T10:00:00Z")});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        KeySpeedChart* speeds = window.speedChart();
        QCOMPARE(speeds->characters()->count(), 26); // A to Z; the stray # was never hit
        QVERIFY(!speeds->shown().empty());           // the weakest key, read with the rest

        KeyboardView* keyboard = window.keyboard();
        window.findChild<QTabWidget*>()->setCurrentIndex(2);
        QTRY_VERIFY(keyboard->isVisible() && keyboard->width() > 400);
        QTest::mouseClick(keyboard, Qt::LeftButton, {}, keyboard->KeyRect(QStringLiteral("K")).center().toPoint());
        window.FinishLoading();
        QCOMPARE(speeds->shown(), std::string("K"));
        QCOMPARE(window.findChild<QTabWidget*>()->currentIndex(), 3); // the chart's own tab, opened
        QCOMPARE(speeds->characters()->currentText(), QStringLiteral("K"));
        QCOMPARE(Series(speeds, 0)->count(), 2);
        QCOMPARE(Series(speeds, 1)->count(), 2);
        const QLineSeries* target = Series(speeds, 2);
        QVERIFY(target);
        QCOMPARE(target->at(0).y(), records::TargetMs(0));
        QCOMPARE(target->at(1).y(), records::TargetMs(0));

        QVERIFY(speeds->Choose("A"));
        window.FinishLoading();
        QCOMPARE(speeds->shown(), std::string("A"));
        QCOMPARE(Series(speeds, 0)->count(), 3);
        // The smoothed line ends where the records' own skill of A stands.
        records::RecordStore store(m_path.toStdString(), {});
        const auto skills = store.Skills("anna");
        QCOMPARE(Series(speeds, 1)->at(2).y(), *skills.at("A").smoothedMs);
        QVERIFY(!speeds->Choose("#"));
    }

    void aGameInWhichNothingFellHasNoSpeedNorAccuracy()
    {
        auto idle = test::SampleGame("anna", -20, 50, 0, false, "2026-12-02T10:00:00Z", 0);
        idle.landed = 0;
        idle.keys.clear();
        idle.keys["#"].wrong = 1;
        idle.typingMs = 0;
        // Two games of 40 hits, one in 60 s of falling, one in 20 s: 40 and 120 a minute.
        auto fast = test::SampleGame("anna", 500, 50, 0, true, "2026-12-03T10:00:00Z");
        fast.typingMs = 20000;
        Seed({test::SampleGame("anna", 120, 50, 0, true, "2026-12-01T10:00:00Z"), idle, fast});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        QCOMPARE(Points(window.chart(0)), 3); // it still scored
        QCOMPARE(Points(window.chart(1)), 2);
        QCOMPARE(Points(window.chart(2)), 2);
        const auto* speed = static_cast<QLineSeries*>(window.chart(1)->chart()->series().front());
        QCOMPARE(speed->at(1).x(), 3.0); // the games keep their numbers
        // Over both games: 80 hits in 80 s of falling, the same count as each game's own.
        QVERIFY2(window.summary()->text().contains(QStringLiteral(" · 60 caratteri al minuto")),
                 qPrintable(window.summary()->text()));
        // 80 hits of 86 events; the idle game's stray key is no part of it.
        QVERIFY2(window.summary()->text().endsWith(QStringLiteral("precisione 93%")),
                 qPrintable(window.summary()->text()));
        QCOMPARE(window.bestTable()->item(0, 2)->text(), QLocale().toString(500));
    }

    void manyGamesAreChartedByRunsOfGames()
    {
        Seed({test::SampleGame("anna", 100, 50, 0, true, "2026-12-01T10:00:00Z"),
              test::SampleGame("anna", 300, 50, 0, true, "2026-12-01T11:00:00Z")});
        sqlite3* db = nullptr;
        QCOMPARE(sqlite3_open(m_path.toUtf8().constData(), &db), SQLITE_OK);
        // 2,500 games: the two above, over and over.
        QCOMPARE(sqlite3_exec(db,
                              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1249) "
                              "INSERT INTO games(player_id, started_at, level, rounds, rounds_played, key_set, total, "
                              "hits, misses, landed, duration_ms, typing_ms, finished) SELECT player_id, started_at, "
                              "level, rounds, rounds_played, key_set, total, hits, misses, landed, duration_ms, "
                              "typing_ms, finished FROM games, n",
                              nullptr, nullptr, nullptr),
                 SQLITE_OK);
        sqlite3_close(db);
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        QVERIFY(window.summary()->text().startsWith(QStringLiteral("2500 partite")));
        for (int chart = 0; chart < 3; ++chart)
            QCOMPARE(Points(window.chart(chart)), 834); // runs of three games
        const auto* score = static_cast<QLineSeries*>(window.chart(0)->chart()->series().front());
        // By start, the 1,250 games of 100 points come first: each point is its run's mean, at
        // the run's middle game; the last run holds the last game alone.
        QCOMPARE(score->at(0), QPointF(2, 100));
        QCOMPARE(score->at(416), QPointF(1250, 100 + 200.0 / 3)); // games 1249 to 1251
        QCOMPARE(score->at(833), QPointF(2500, 300));
        const auto* x = qobject_cast<QValueAxis*>(window.chart(0)->chart()->axes(Qt::Horizontal).front());
        QCOMPARE(x->max(), 2500.0);
        CheckAxes(window);
    }

    void aNegativeTotalIsNoRecord()
    {
        Seed({test::SampleGame("anna", -95, 50, 0, true, "2026-12-01T10:00:00Z"),
              test::SampleGame("anna", 40, 25, 0, true, "2026-12-02T10:00:00Z")});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        QCOMPARE(window.bestTable()->rowCount(), 1);
        QCOMPARE(window.bestTable()->item(0, 0)->text(), QStringLiteral("Difficile"));
    }

    void namesOfAnyLengthAreElided()
    {
        const QString longName(100000, QLatin1Char('N'));
        Seed({test::SampleGame(longName.toStdString(), 120), test::SampleGame("anna", 10)});
        StatsWindow window(m_path, longName);
        window.FinishLoading();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QSize room = window.screen()->availableGeometry().size();
        QVERIFY2(window.width() <= room.width(), qPrintable(QString::number(window.width())));
        QVERIFY2(window.minimumSizeHint().width() <= 640,
                 qPrintable(QString::number(window.minimumSizeHint().width())));
        QVERIFY(window.players()->currentText().size() < 1000);
        QCOMPARE(window.players()->currentData().toString(), longName);
        QVERIFY(window.exportButton()->isEnabled());
        // Choosing another player by its elided entry shows that player.
        const int anna = window.players()->findData(QStringLiteral("anna"));
        QVERIFY(anna >= 0);
        window.players()->setCurrentIndex(anna);
        emit window.players()->activated(anna);
        window.FinishLoading();
        QVERIFY(window.summary()->text().startsWith(QStringLiteral("1 partita")));
        QTest::qWait(10);
    }

    void readsAFileThatIsNotToBeWrittenAndLeavesItAlone()
    {
        QFile garbage(m_path);
        QVERIFY(QDir().mkpath(QFileInfo(m_path).path()));
        QVERIFY(garbage.open(QIODevice::WriteOnly));
        garbage.write(QByteArray(8192, 'Z'));
        garbage.close();
        test::CapturedMessages messages;
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        QCOMPARE(window.pages()->currentWidget(), window.emptyLabel());
        QVERIFY(window.emptyLabel()->text().contains(QStringLiteral("non si possono leggere")));
        QCOMPARE(messages.Lines().size(), 1);
        QVERIFY(garbage.open(QIODevice::ReadOnly));
        QCOMPARE(garbage.readAll(), QByteArray(8192, 'Z'));
        QCOMPARE(QDir(QFileInfo(m_path).path()).entryList(QDir::Files).size(), 1);
    }

    // Run on the default screen and again on a 640 × 480 one (tests/CMakeLists.txt).
    void fitsTheScreenWithEveryButtonVisible()
    {
        Seed({test::SampleGame("anna", 120, 50, 0, true, "2026-12-01T10:00:00Z"),
              test::SampleGame("anna", 130, 25, 3, true, "2026-12-02T10:00:00Z")});
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QRect room = window.screen()->availableGeometry();
        QVERIFY2(window.frameGeometry().width() <= room.width() && window.frameGeometry().height() <= room.height(),
                 qPrintable(QStringLiteral("%1x%2 on %3x%4")
                                .arg(window.frameGeometry().width())
                                .arg(window.frameGeometry().height())
                                .arg(room.width())
                                .arg(room.height())));
        for (auto* tabs = window.findChild<QTabWidget*>(); const int tab : {0, 1, 2}) {
            tabs->setCurrentIndex(tab);
            for (QPushButton* button : window.findChildren<QPushButton*>()) {
                if (!button->isVisibleTo(&window))
                    continue;
                const QRect inWindow(button->mapTo(&window, QPoint(0, 0)), button->size());
                QVERIFY2(window.rect().contains(inWindow), qPrintable(button->text()));
            }
            const auto* table = window.bestTable();
            if (tab == 0)
                QVERIFY2(table->horizontalHeader()->sectionViewportPosition(3)
                                 + table->horizontalHeader()->sectionSize(3)
                             <= table->viewport()->width(),
                         "the Data column lies off the table");
        }
        const auto buttons = window.findChildren<QPushButton*>();
        QVERIFY(
            std::any_of(buttons.begin(), buttons.end(), [](auto* b) { return b->text() == QStringLiteral("Chiudi"); }));
    }

    void aFileFromANewerProgramIsNotShown()
    {
        Seed({test::SampleGame("anna", 120)});
        {
            records::RecordStore store(m_path.toStdString(), {});
            QVERIFY(store.IsOpen());
        }
        QProcess sqlite;
        sqlite.start(QStringLiteral("sqlite3"), {m_path, QStringLiteral("PRAGMA user_version = 50;")});
        if (!sqlite.waitForFinished(60000) || sqlite.exitCode() != 0)
            QSKIP("the sqlite3 shell is needed to make a file of a newer version");
        StatsWindow window(m_path, QStringLiteral("anna"));
        window.FinishLoading();
        QCOMPARE(window.pages()->currentWidget(), window.emptyLabel());
        QVERIFY(window.emptyLabel()->text().contains(QStringLiteral("non si possono leggere")));
    }
};

// The main window's side: F2 opens the statistics only between games, and a new record is
// greeted under the end message only while that message is shown.
class StatsInGameTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{17};
    SilentCues m_cues;

private slots:
    void f2OpensTheStatisticsOnlyBetweenGames()
    {
        GameWindow window(m_settings, m_store, m_random, m_cues);
        int opened = 0;
        window.SetStatsOpener([&] { ++opened; });
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QTest::keyClick(window.windowHandle(), Qt::Key_F2);
        QTRY_COMPARE(opened, 1);
        QCOMPARE(window.form().TotalScore, std::int16_t{0}); // F2 types nothing, so it costs nothing

        window.Handle([&] { window.form().cmdStart_Click(); });
        const std::int16_t total = window.form().TotalScore;
        QTest::keyClick(window.windowHandle(), Qt::Key_F2);
        QTest::qWait(50);
        QCOMPARE(opened, 1);
        QCOMPARE(window.form().TotalScore, total);
    }

    void aNewRecordIsGreetedUnderTheEndMessageAndGoesWithIt()
    {
        GameWindow window(m_settings, m_store, m_random, m_cues);
        window.show();
        PlayField* field = window.picture2();
        window.GreetRecord();
        QVERIFY2(field->recordText().isEmpty(), "no greeting over the invitation to start");

        FrmMain& form = window.form();
        window.Handle([&] {
            form.lblMessage.Caption = kGameOverText;
            form.lblMessage.Visible = true;
        });
        window.GreetRecord();
        QCOMPARE(field->recordText(), QStringLiteral("Nuovo record!"));
        const int messageBottom = qRound((form.lblMessage.Top + form.lblMessage.Height) / kTwipsPerPixel);
        QVERIFY(field->RecordRect().top() > messageBottom);
        QVERIFY(field->contentsRect().contains(field->RecordRect()));

        const QImage shot = field->grab().toImage();
        const QRect rect = field->RecordRect();
        int gold = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y) {
            for (int x = rect.left(); x <= rect.right(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                gold += c.red() > 200 && c.green() > 160 && c.blue() < 90 ? 1 : 0;
            }
        }
        QVERIFY2(gold > 30, "the greeting is drawn");

        window.Handle([&] { form.cmdStart_Click(); });
        QVERIFY2(field->recordText().isEmpty(), "the next game takes the greeting away");
        window.GreetRecord();
        QVERIFY2(field->recordText().isEmpty(), "a late greeting never lands on a game under way");
    }
};

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    StatsWindowTest stats;
    StatsInGameTest game;
    // Test functions named on the command line: each object runs only when it has them all.
    const auto runs = [&](QObject& test) {
        for (int i = 1; i < argc; ++i) {
            if (argv[i][0] != '-' && test.metaObject()->indexOfMethod(QByteArray(argv[i]) + "()") < 0)
                return false;
        }
        return true;
    };
    int status = 0;
    for (QObject* test : {static_cast<QObject*>(&stats), static_cast<QObject*>(&game)}) {
        if (runs(*test))
            status |= QTest::qExec(test, argc, argv);
    }
    return status;
}

#include "StatsWindowTest.moc"
