// Two monitors side by side, of different sizes (two-screens.json): the game covers exactly
// one of them, the one it opens on, and centres its field there. A window spanning the whole
// desktop, or sized from one monitor but placed on the other, is the fault looked for.

#include "settings/MemoryStore.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayField.h"

#include <QApplication>
#include <QCursor>
#include <QFrame>
#include <QScreen>
#include <QTest>
#include <QWindow>

#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

} // namespace

class ScreensTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    MemoryStore m_store;
    Random m_random{5};
    SilentCues m_cues;

    std::unique_ptr<GameWindow> Open(QScreen* screen = nullptr)
    {
        auto window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues, screen);
        window->showFullScreen();
        if (!QTest::qWaitForWindowExposed(window.get()))
            return nullptr;
        return window;
    }

    static void VerifyCovers(const GameWindow& window, const QScreen* screen)
    {
        QCOMPARE(window.windowHandle()->screen(), screen);
        QCOMPARE(window.geometry(), screen->geometry());
        // The 644-pixel field is centred on that screen, not on the desktop.
        QCOMPARE(window.picture2()->x(), (screen->geometry().width() - 644) / 2);
        QCOMPARE(window.picture1()->x(), window.picture2()->x());
    }

private slots:
    void initTestCase()
    {
        InstallFontSubstitutes();
        const auto screens = QGuiApplication::screens();
        QCOMPARE(screens.size(), 2);
        QCOMPARE(QGuiApplication::primaryScreen(), screens.at(0));
        QCOMPARE(screens.at(0)->virtualGeometry(), QRect(0, 0, 2624, 900));
    }

    void opensOnTheScreenUnderThePointer()
    {
        for (QScreen* screen : QGuiApplication::screens()) {
            QCursor::setPos(screen->geometry().center());
            const auto window = Open();
            QVERIFY(window);
            VerifyCovers(*window, screen);
        }
    }

    void opensOnTheScreenItIsGiven()
    {
        QCursor::setPos(QGuiApplication::primaryScreen()->geometry().center());
        QScreen* right = QGuiApplication::screens().at(1);
        const auto window = Open(right);
        QVERIFY(window);
        VerifyCovers(*window, right);
    }
};

QTEST_MAIN(ScreensTest)
#include "ScreensTest.moc"
