// The training window and the choice it makes: a set the keyboard cannot type is refused in
// Italian and the window stays open; a set it can type holds for the next games, is named
// under the title, kept per user and read back at the next start.

#include "ui/Training.h"
#include "records/RecordStore.h"
#include "records/SampleGames.h"
#include "records/TempFolder.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayField.h"
#include "ui/PlayerKeymap.h"
#include "ui/Records.h"
#include "ui/TrainingWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

teach::KeymapResult Layout(const char* name)
{
    return teach::KeymapFromNames({}, "pc105", name);
}

} // namespace

class TrainingTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{3};
    SilentCues m_cues;

private slots:
    void initTestCase() { InstallFontSubstitutes(); }

    void aSetTheKeyboardCannotTypeIsRefusedInItalian()
    {
        const teach::KeymapResult us = Layout("us");
        TrainingWindow window({}, &*us.keymap, nullptr, {});
        QVERIFY(window.option(teach::Training::Specified)->isChecked());
        window.option(teach::Training::Accented)->setChecked(true);
        window.Use();
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QVERIFY2(window.Problem().contains(QStringLiteral("lettere accentate")), qPrintable(window.Problem()));

        const teach::KeymapResult it = Layout("it");
        TrainingWindow italian({}, &*it.keymap, nullptr, {});
        // Typed as an Italian keyboard delivers them: keys with the character as their text.
        for (const QString& typed : {QStringLiteral("è"), QStringLiteral("ü")}) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, typed);
            QApplication::sendEvent(italian.ownCharacters(), &press);
        }
        // Typing in the field chooses it.
        QVERIFY(italian.option(teach::Training::Own)->isChecked());
        italian.Use();
        QVERIFY2(italian.Problem().contains(QStringLiteral("«ü»")), qPrintable(italian.Problem()));
        QCOMPARE(italian.result(), int(QDialog::Rejected));
        italian.ownCharacters()->setText(QStringLiteral("èò"));
        italian.Use();
        QCOMPARE(italian.result(), int(QDialog::Accepted));
        QCOMPARE(italian.Choice().kind, teach::Training::Own);
        QCOMPARE(italian.Choice().own, std::string("èò"));
    }

    void withoutAKeyboardOnlyTheOptionsKeySetsRemain()
    {
        TrainingWindow window({teach::Training::HomeRow, {}}, nullptr, nullptr, {});
        QVERIFY(window.option(teach::Training::Specified)->isChecked());
        QVERIFY(!window.option(teach::Training::HomeRow)->isEnabled());
        QVERIFY(!window.ownCharacters()->isEnabled());
        QVERIFY(!window.option(teach::Training::Stage)->isEnabled());
        QVERIFY(!window.stages()->isEnabled());
        QVERIFY(!window.Problem().isEmpty());
    }

    void aChoiceHoldsForTheNextGamesAndIsKept()
    {
        m_store = {};
        KeymapHolder keymap([] { return Layout("it"); });
        {
            GameWindow window(m_settings, m_store, m_random, m_cues);
            auto training = std::make_unique<TrainingControl>(window, m_store, keymap);
            const QString caption = window.label3()->text();
            QVERIFY(training->Choose({teach::Training::Accented, {}}));
            QCOMPARE(window.label3()->text(), QStringLiteral("Allenamento: lettere accentate"));
            window.Handle([&] { window.form().cmdStart_Click(); });
            for (const Label& letter : window.form().lblLetter) {
                if (letter.Visible) {
                    QVERIFY2(QStringLiteral("àèéìòù").contains(QString::fromStdString(letter.Caption)),
                             letter.Caption.c_str());
                }
            }
            QCOMPARE(window.form().KeySet(), int(KeySetAccented));
            QCOMPARE(m_store.Get("Allenamento", "Scelta", ""), std::string("accentate"));
            // Back to the options window's sets: the caption is the layout's again.
            QVERIFY(training->Choose({teach::Training::Specified, {}}));
            QCOMPARE(window.label3()->text(), caption);
            QCOMPARE(window.form().KeySet(), 0);
            QVERIFY(training->Choose({teach::Training::HomeRow, {}}));
        }
        // The next start reads the choice back.
        GameWindow window(m_settings, m_store, m_random, m_cues);
        auto training = std::make_unique<TrainingControl>(window, m_store, keymap);
        QCOMPARE(training->Choice().kind, teach::Training::HomeRow);
        QCOMPARE(window.form().KeySet(), int(KeySetHomeRow));
    }

    void theWindowListsTheStagesAndRefusesOneNotReached()
    {
        const teach::KeymapResult it = Layout("it");
        const teach::Course course(*it.keymap);
        CourseProgress progress;
        progress.reached = 2;
        progress.best[KeySetStage + 1] = 480;
        TrainingWindow window({teach::Training::Stage, {}, 1}, &*it.keymap, &course, progress);
        QTreeWidget* stages = window.stages();
        QCOMPARE(stages->topLevelItemCount(), course.Count());
        QCOMPARE(stages->topLevelItem(0)->text(1), QStringLiteral("a s d f j k l ò"));
        QCOMPARE(stages->topLevelItem(0)->text(2), QStringLiteral("superata"));
        QCOMPARE(stages->topLevelItem(1)->text(3), QStringLiteral("480"));
        QCOMPARE(stages->topLevelItem(2)->text(2), QStringLiteral("da superare"));
        QCOMPARE(stages->topLevelItem(3)->text(2), QStringLiteral("chiusa"));
        QVERIFY(!(stages->topLevelItem(3)->flags() & Qt::ItemIsEnabled));
        QVERIFY(window.option(teach::Training::Stage)->isChecked());
        QCOMPARE(window.Choice().stage, 1);

        stages->setCurrentItem(stages->topLevelItem(5));
        QCOMPARE(window.Choice().stage, 1); // a closed stage cannot be chosen
        stages->setCurrentItem(stages->topLevelItem(2));
        window.Use();
        QCOMPARE(window.result(), int(QDialog::Accepted));
        QCOMPARE(window.Choice().kind, teach::Training::Stage);
        QCOMPARE(window.Choice().stage, 2);
    }

    void aStageLaunchesItsKeysAndPassingItAnnouncesTheNextAndGoesOn()
    {
        m_store = {};
        test::TempFolder folder;
        KeymapHolder keymap([] { return Layout("it"); });
        GameWindow window(m_settings, m_store, m_random, m_cues);
        GameRecords records(QString::fromStdString(folder.File("keyfall.sqlite")), QStringLiteral("anna"));
        window.form().SetEvents(records.recorder());
        auto training = std::make_unique<TrainingControl>(window, m_store, keymap, &records);
        QVERIFY2(!training->Choose({teach::Training::Stage, {}, 3}), "a stage not reached");
        QVERIFY(training->Choose({teach::Training::Stage, {}, 0}));
        QCOMPARE(window.label3()->text(), QStringLiteral("Percorso, tappa 1: a s d f j k l ò"));
        QCOMPARE(window.form().KeySet(), int(KeySetStage));
        window.Handle([&] { window.form().cmdStart_Click(); });
        for (const Label& letter : window.form().lblLetter) {
            if (letter.Visible)
                QVERIFY2(QStringLiteral("asdfjklò").contains(QString::fromStdString(letter.Caption)),
                         letter.Caption.c_str());
        }
        window.Handle([&] {
            window.form().cmdStart_Click(); // DA CAPO
            window.form().lblMessage.Caption = kGameOverText;
            window.form().lblMessage.Visible = true;
        });
        // The records tell that the game passed its stage: the next one is announced under the
        // end message and is the one the next VIA plays.
        emit records.Saved(1, 1);
        QCOMPARE(window.picture2()->recordText(), QStringLiteral("Tappa superata! Prossima: g h"));
        QCOMPARE(training->Choice().stage, 1);
        QCOMPARE(m_store.Get("Allenamento", "Tappa", ""), std::string("1"));
        QCOMPARE(window.label3()->text(), QStringLiteral("Percorso, tappa 2: g h"));
        QCOMPARE(window.form().KeySet(), int(KeySetStage + 1));
        // A reached stage can be played again.
        QVERIFY(training->Choose({teach::Training::Stage, {}, 0}));
    }

    void theWeakKeysLeadWithTheWeakestNamedUnderTheTitle()
    {
        m_store = {};
        test::TempFolder folder;
        const std::string path = folder.File("keyfall.sqlite");
        {
            records::RecordStore store(path, {});
            records::GameRecord game = test::SampleGame("anna", 100, 100, KeySetStage, true, "2026-12-01T10:00:00Z", 0);
            game.keys.clear();
            for (const char* key : {"a", "s", "d", "f", "j", "k", "l", "ò"}) {
                game.keys[key] = {12, 12, 0, 0, std::int64_t{12} * 8};
            }
            game.keys["k"] = {12, 6, 6, 0, std::int64_t{6} * 30}; // half of them landed, and slow
            QVERIFY(store.Save(game));
        }
        KeymapHolder keymap([] { return Layout("it"); });
        GameWindow window(m_settings, m_store, m_random, m_cues);
        GameRecords records(QString::fromStdString(path), QStringLiteral("anna"));
        auto training = std::make_unique<TrainingControl>(window, m_store, keymap, &records);
        QVERIFY(training->Choose({teach::Training::WeakKeys, {}}));
        QCOMPARE(QString::fromStdString(training->Progress().focus), QStringLiteral("k"));
        QVERIFY2(training->Progress().best.empty(), "the records per stage are read for the window alone");
        QCOMPARE(window.label3()->text(), QStringLiteral("Tasto da allenare: k"));
        QCOMPARE(window.form().KeySet(), int(KeySetWeakKeys));
        int focus = 0;
        int all = 0;
        for (int wave = 0; wave < 60; ++wave) {
            window.Handle([&] { window.form().cmdStart_Click(); });
            for (const Label& letter : window.form().lblLetter) {
                if (!letter.Visible)
                    continue;
                ++all;
                focus += letter.Caption == "k" ? 1 : 0;
                QVERIFY2(QStringLiteral("asdfjklò").contains(QString::fromStdString(letter.Caption)),
                         letter.Caption.c_str());
            }
            window.Handle([&] { window.form().cmdStart_Click(); });
        }
        QVERIFY2(focus > all / 5 && focus < all / 2, qPrintable(QStringLiteral("%1 of %2").arg(focus).arg(all)));
    }

    void aKeptSetThisKeyboardCannotTypeFallsBackToTheOptionsKeySets()
    {
        m_store = {};
        m_store.Set("Allenamento", "Scelta", "accentate");
        m_store.Sync();
        KeymapHolder keymap([] { return Layout("us"); });
        GameWindow window(m_settings, m_store, m_random, m_cues);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("training set")));
        auto training = std::make_unique<TrainingControl>(window, m_store, keymap);
        QCOMPARE(training->Choice().kind, teach::Training::Specified);
        QCOMPARE(window.form().KeySet(), 0);
        // What the player kept is not overwritten by a keyboard that cannot type it.
        QCOMPARE(m_store.Get("Allenamento", "Scelta", ""), std::string("accentate"));
    }
};

QTEST_MAIN(TrainingTest)
#include "TrainingTest.moc"
