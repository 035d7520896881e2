// The scene on screens of every size (the offscreen platform's screen is set per run, see
// CMakeLists.txt): every control the player needs stays on screen, the scene keeps its own
// size where it fits, "fit" fills the screen, a window is 800 x 600, and a screen that
// changes size under a running game takes the game along. Controls cut off by the screen's
// edge, or a game restarted by the new layout, are the faults looked for.

#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/OptionsDialog.h"
#include "ui/PlayField.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>

#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

// The scene's extent at scale 1: field 644 x 430, the panel (73) below it and the captions above.
constexpr int kSceneWidth = 644;

} // namespace

class FitTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{3};
    SilentCues m_cues;

    QScreen* Screen() const { return QGuiApplication::primaryScreen(); }

    std::unique_ptr<GameWindow> Open(Presentation presentation = {})
    {
        auto window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues, Screen(), presentation);
        if (presentation.Windowed)
            window->show();
        else
            window->showFullScreen();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        return window;
    }

    static QList<QWidget*> Controls(const GameWindow& w)
    {
        return {w.picture2(), w.picture1(),    w.label2(),         w.label3(),         w.lblTotal(),      w.cmdStart(),
                w.cmdExit(),  w.cmdAdvanced(), w.optDifficulty(0), w.optDifficulty(1), w.optDifficulty(2)};
    }

    // Every control lies inside `area` (window coordinates) and inside its parent.
    static void VerifyAllInside(const GameWindow& window, const QRect& area)
    {
        for (QWidget* control : Controls(window)) {
            const QRect inWindow(control->mapTo(&window, QPoint(0, 0)), control->size());
            QVERIFY2(!control->size().isEmpty(), qPrintable(control->metaObject()->className()));
            QVERIFY2(area.contains(inWindow), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 is outside %6x%7")
                                                             .arg(QLatin1String(control->metaObject()->className()))
                                                             .arg(inWindow.x())
                                                             .arg(inWindow.y())
                                                             .arg(inWindow.width())
                                                             .arg(inWindow.height())
                                                             .arg(area.width())
                                                             .arg(area.height())));
            if (control->parentWidget() != &window)
                QVERIFY(control->parentWidget()->rect().contains(control->geometry()));
        }
    }

    // The rectangle the scene covers: captions, field and panel.
    static QRect SceneRect(const GameWindow& w)
    {
        return w.label2()->geometry() | w.label3()->geometry() | w.picture2()->geometry() | w.picture1()->geometry();
    }

    // The scene is as large as the area allows: it spans the area's width, or the panel
    // reaches its bottom (the field is centred, so the panel is what meets an edge first).
    static void VerifyFills(const GameWindow& w)
    {
        const QRect scene = SceneRect(w);
        const QSize area = w.size();
        QVERIFY2(scene.width() >= area.width() - 3 || scene.bottom() + 1 >= area.height() - 2,
                 qPrintable(QStringLiteral("scene %1x%2+%3+%4 leaves room in %5x%6")
                                .arg(scene.width())
                                .arg(scene.height())
                                .arg(scene.x())
                                .arg(scene.y())
                                .arg(area.width())
                                .arg(area.height())));
    }

private slots:
    void initTestCase()
    {
        InstallFontSubstitutes();
        qInfo("screen %dx%d", Screen()->geometry().width(), Screen()->geometry().height());
    }

    void everyControlIsOnScreen()
    {
        const auto window = Open();
        QVERIFY(window);
        const QSize screen = Screen()->geometry().size();
        QCOMPARE(window->size(), screen);
        VerifyAllInside(*window, window->rect());
        const double scale = window->metrics().Scale();
        QVERIFY(scale > 0 && scale <= 1.0);
        // Where the scene fits it keeps its own size; where not, it is scaled down only as
        // far as it must be, so that it touches two edges of the screen.
        if (screen.width() >= kSceneWidth && screen.height() >= 600) {
            QCOMPARE(scale, 1.0);
            QCOMPARE(window->picture2()->size(), QSize(644, 430));
        } else {
            VerifyFills(*window);
        }
        // The field stays centred: it is where the captions and panel are measured from.
        const QRect field = window->picture2()->geometry();
        QVERIFY(std::abs(field.center().x() - window->width() / 2) <= 1);
    }

    void textIsLaidOutAtTheScaleNotStretched()
    {
        const auto window = Open();
        QVERIFY(window);
        const double scale = window->metrics().Scale();
        const int base = QFontInfo(Verdana(9.75, true)).pixelSize();
        const int scaled = QFontInfo(window->cmdExit()->font()).pixelSize();
        QVERIFY(std::abs(scaled - base * scale) <= 1.0);
        // The caption still fits its button at that size.
        const QFontMetrics metrics(window->cmdExit()->font());
        QVERIFY(metrics.horizontalAdvance(window->cmdExit()->text()) < window->cmdExit()->width());
    }

    void fitFillsTheScreen()
    {
        const auto window = Open({false, {ScaleMode::Fit, 1.0}});
        QVERIFY(window);
        QCOMPARE(window->size(), Screen()->geometry().size());
        VerifyAllInside(*window, window->rect());
        VerifyFills(*window);
    }

    void aFactorTooLargeForTheScreenStillFits()
    {
        const auto window = Open({false, {ScaleMode::Factor, 8.0}});
        QVERIFY(window);
        VerifyAllInside(*window, window->rect());
    }

    void windowIs800x600LaidOutAsThatScreen()
    {
        const auto window = Open({true, {}});
        QVERIFY(window);
        const QSize available = Screen()->availableGeometry().size();
        QCOMPARE(window->size(), QSize(800, 600).boundedTo(available));
        VerifyAllInside(*window, window->rect());
        if (available.width() >= 800 && available.height() >= 600) {
            QCOMPARE(window->metrics().Scale(), 1.0);
            QCOMPARE(window->picture2()->geometry(), QRect(78, 85, 644, 430));
            QCOMPARE(window->picture1()->geometry(), QRect(78, 515, 644, 73));
        }
    }

    void shrinkingScreenKeepsTheGameAndTheControls()
    {
        const auto window = Open();
        QVERIFY(window);
        FrmMain& form = window->form();
        QTest::mouseClick(window->cmdStart(), Qt::LeftButton);
        QVERIFY(form.GameRunning);
        QTest::keyClick(window->windowHandle(), Qt::Key_NumberSign); // a miss
        const auto score = form.TotalScore;
        const auto letters = form.lblLetter;

        window->FitTo(QSize(1024, 768));
        QCOMPARE(window->size(), QSize(1024, 768));
        VerifyAllInside(*window, window->rect());
        QCOMPARE(window->picture2()->geometry(), QRect(190, 169, 644, 430));
        QVERIFY(form.GameRunning);
        QCOMPARE(form.TotalScore, score);
        for (int i = 0; i < kSlots; ++i)
            QCOMPARE(form.lblLetter[i].Visible, letters[i].Visible);

        window->FitTo(QSize(320, 240));
        VerifyAllInside(*window, window->rect());
        QVERIFY(window->metrics().Scale() < 0.5);
        QCOMPARE(window->cmdStart()->text().replace(QLatin1Char('\n'), QLatin1Char(' ')), QStringLiteral("DA CAPO"));
        // Still playable with the mouse at that size.
        QTest::mouseClick(window->cmdStart(), Qt::LeftButton);
        QVERIFY(!form.GameRunning);
    }

    void optionsWindowCoversTheScaledField()
    {
        const auto window = Open();
        QVERIFY(window);
        window->FitTo(QSize(400, 300));
        OptionsDialog options(m_settings, m_store, window->picture2(), window.get(), window->metrics());
        QCOMPARE(options.size(), window->picture2()->size());
        // Every control the player uses there; the separators may run under the border.
        QList<QWidget*> controls{options.cmdApply(), options.cmdClose()};
        for (int i = 0; i < kOptions; ++i)
            controls << static_cast<QWidget*>(options.option(i));
        for (int i = 0; i < kEditors; ++i)
            controls << static_cast<QWidget*>(options.bar(static_cast<Editor>(i)))
                     << static_cast<QWidget*>(options.numberBox(static_cast<Editor>(i)));
        for (QWidget* child : controls) {
            const QRect inDialog(child->mapTo(&options, QPoint(0, 0)), child->size());
            QVERIFY2(options.rect().contains(inDialog),
                     qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 in %6x%7")
                                    .arg(QLatin1String(child->metaObject()->className()))
                                    .arg(inDialog.x())
                                    .arg(inDialog.y())
                                    .arg(inDialog.width())
                                    .arg(inDialog.height())
                                    .arg(options.width())
                                    .arg(options.height())));
        }
        const int base = QFontInfo(Verdana(9.75, true)).pixelSize();
        QVERIFY(QFontInfo(options.cmdClose()->font()).pixelSize() < base);
    }
};

QTEST_MAIN(FitTest)
#include "FitTest.moc"
