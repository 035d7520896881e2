// The training window and the choice it makes: a set the keyboard cannot type is refused in
// Italian and the window stays open; a set it can type holds for the next games, is named
// under the title, kept per user and read back at the next start.

#include "ui/Training.h"
#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayerKeymap.h"
#include "ui/TrainingWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

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
        TrainingWindow window({}, &*us.keymap);
        QVERIFY(window.option(teach::Training::Specified)->isChecked());
        window.option(teach::Training::Accented)->setChecked(true);
        window.Use();
        QCOMPARE(window.result(), int(QDialog::Rejected));
        QVERIFY2(window.Problem().contains(QStringLiteral("lettere accentate")), qPrintable(window.Problem()));

        const teach::KeymapResult it = Layout("it");
        TrainingWindow italian({}, &*it.keymap);
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
        TrainingWindow window({teach::Training::HomeRow, {}}, nullptr);
        QVERIFY(window.option(teach::Training::Specified)->isChecked());
        QVERIFY(!window.option(teach::Training::HomeRow)->isEnabled());
        QVERIFY(!window.ownCharacters()->isEnabled());
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
