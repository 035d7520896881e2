// The statistics module as the game loads it: files that are not the module, or a module of
// another version, are told of and passed over, and the built module opens its window over
// the game, offers the training and hands the player on to it.

#include "ui/StatsModule.h"
#include "records/TempFolder.h"

#include <QApplication>
#include <QDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

using namespace keyfall;

class StatsModuleTest : public QObject {
    Q_OBJECT
private slots:
    void filesThatAreNotTheModuleAreToldOfAndPassedOver();
    void theBuiltModuleOpensOverTheGameAndHandsOnToTheTraining();
};

// Runs first: once the module has loaded it stays loaded for the program's life.
void StatsModuleTest::filesThatAreNotTheModuleAreToldOfAndPassedOver()
{
    const test::TempFolder folder;
    const QString missing = QString::fromStdString(folder.File("keyfall-stats.so"));
    QString why;
    const std::optional<int> status =
        ShowStats({QString::fromStdString(folder.File("records.sqlite")), QStringLiteral("anna"), nullptr, {}},
                  {missing, QStringLiteral(KEYFALL_OTHER_LIBRARY), QStringLiteral(KEYFALL_OTHER_MODULE)}, &why);
    QVERIFY(!status);
    QVERIFY2(why.contains(missing), qPrintable(why));
    QVERIFY2(why.contains(QStringLiteral(KEYFALL_OTHER_LIBRARY " is not Keyfall's statistics module")),
             qPrintable(why));
    // Called, it would abort the test.
    QVERIFY2(why.contains(QStringLiteral(KEYFALL_OTHER_MODULE " is of Keyfall 0.0.1, not " KEYFALL_VERSION)),
             qPrintable(why));
    QVERIFY(QApplication::topLevelWidgets().isEmpty());

    QVERIFY(!ShowStats({}, {}, &why));
    QCOMPARE(why, QStringLiteral("no module file to try"));
}

void StatsModuleTest::theBuiltModuleOpensOverTheGameAndHandsOnToTheTraining()
{
    const test::TempFolder folder;
    QWidget game;
    game.show();
    bool trainingOpened = false;
    QString title;
    bool offered = false;
    // Looks again until the window is up; it is modal, so this runs in its own event loop.
    std::function<void()> answer = [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, answer);
            return;
        }
        title = dialog->windowTitle();
        const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
        for (QPushButton* button : buttons) {
            if (button->text() == QStringLiteral("Allenamento…")) {
                offered = button->isVisible();
                button->click();
                return;
            }
        }
        dialog->reject();
    };
    QTimer::singleShot(0, answer);
    QString why;
    const std::optional<int> status =
        ShowStats({QString::fromStdString(folder.File("records.sqlite")), QStringLiteral("anna"), &game,
                   [&trainingOpened] { trainingOpened = true; }},
                  {QStringLiteral(KEYFALL_STATS_MODULE)}, &why);
    QVERIFY2(status, qPrintable(why));
    QCOMPARE(title, QStringLiteral("Keyfall — Statistiche"));
    QVERIFY(offered);
    QVERIFY(trainingOpened);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
}

QTEST_MAIN(StatsModuleTest)
#include "StatsModuleTest.moc"
