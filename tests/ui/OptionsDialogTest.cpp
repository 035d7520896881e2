// The options window on screen, opened through the real options button of a real main window,
// with the real settings file and real timers.

#include "ui/OptionsDialog.h"
#include "settings/Random.h"
#include "ui/Cursors.h"
#include "ui/Fonts.h"
#include "ui/GameWindow.h"
#include "ui/PlayField.h"
#include "ui/QtSettingsStore.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>

using namespace keyfall;

namespace {

class SilentCues : public CuePlayer {
public:
    void PlayCue(Cue) override {}
};

QPoint SubControlCentre(QScrollBar* bar, QStyle::SubControl part)
{
    QStyleOptionSlider option;
    option.initFrom(bar);
    option.subControls = QStyle::SC_All;
    option.orientation = bar->orientation();
    option.minimum = bar->minimum();
    option.maximum = bar->maximum();
    option.sliderPosition = bar->sliderPosition();
    option.sliderValue = bar->value();
    option.singleStep = bar->singleStep();
    option.pageStep = bar->pageStep();
    option.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, part, bar).center();
}

QString Caption(const QLabel* label)
{
    return label->text();
}

float LowestLetterTop(const FrmMain& form)
{
    float top = -1;
    for (const auto& l : form.lblLetter)
        top = l.Visible ? std::max(top, l.Top) : top;
    return top;
}

// A mouse move over `widget` at `pos`, delivered to the widget's own top-level window. (The
// widget overload of QTest::mouseMove moves the offscreen pointer, which reports the move to
// the first window under it: the full-screen main window, which the modal window blocks.)
void MoveOver(QWidget* widget, QPoint pos)
{
    QWidget* window = widget->window();
    QTest::mouseMove(window->windowHandle(), widget->mapTo(window, pos));
}

bool SameCursor(const QCursor& shown, const QCursor* expected)
{
    return shown.shape() == Qt::BitmapCursor && shown.hotSpot() == expected->hotSpot()
           && shown.pixmap().toImage() == expected->pixmap().toImage();
}

} // namespace

class OptionsDialogTest : public QObject {
    Q_OBJECT

    Settings m_settings;
    QtSettingsStore m_store;
    Random m_random{23};
    SilentCues m_cues;
    std::unique_ptr<GameWindow> m_window;

    // Opens the options window with the real options button and runs `body` inside its modal
    // loop; the window is closed with its own close button afterwards, even when `body`
    // failed, so that a failure never leaves the test waiting in the modal loop.
    bool WithOptions(const std::function<void(OptionsDialog&)>& body)
    {
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<OptionsDialog*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            if (QTest::qWaitForWindowExposed(dialog))
                body(*dialog);
            ran = true;
            if (dialog->isVisible())
                dialog->Unload();
        });
        QTest::mouseClick(m_window->cmdAdvanced(), Qt::LeftButton);
        return ran;
    }

private slots:
    void initTestCase()
    {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        InstallFontSubstitutes();
    }

    void init()
    {
        QFile::remove(QtSettingsStore::FilePath());
        m_settings = {};
        m_window = std::make_unique<GameWindow>(m_settings, m_store, m_random, m_cues);
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
    }

    void cleanup() { m_window.reset(); }

    void liesExactlyOverTheField()
    {
        const QRect field(m_window->picture2()->mapToGlobal(QPoint(0, 0)), QSize(644, 430));
        QPointer<OptionsDialog> opened;
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            opened = &d;
            QCOMPARE(d.geometry(), field);
            QCOMPARE(d.frameGeometry(), field);
            QVERIFY(d.windowFlags() & Qt::FramelessWindowHint);
            QVERIFY(d.isModal());
            QCOMPARE(d.parentWidget(), m_window.get());
            QVERIFY(!m_window->picture1()->isVisible());
            QCOMPARE(d.picture1()->geometry(), QRect(0, 0, 644, 430));
            QCOMPARE(d.picture1()->frameShadow(), QFrame::Sunken);
            // Children of a picture box count from inside its 2-pixel border.
            const auto inPicture1 = [&](QWidget* w) {
                return QRect(w->mapTo(d.picture1(), QPoint(0, 0)) - QPoint(2, 2), w->size());
            };
            QCOMPARE(inPicture1(d.numberBox(Editor::Rounds)), QRect(80, 17, 55, 37));
            QCOMPARE(inPicture1(d.numberBox(Editor::HardHigh)), QRect(559, 188, 55, 37));
            QCOMPARE(d.bar(Editor::Rounds)->geometry(), QRect(36, 0, 17, 34));
            QCOMPARE(d.bar(Editor::EasyLow)->geometry(), QRect(35, 0, 17, 34));
            QCOMPARE(d.numberLabel(Editor::EasyHigh)->geometry(), QRect(0, 6, 41, 25));
            QCOMPARE(inPicture1(d.cmdApply()), QRect(392, 372, 118, 48));
            QCOMPARE(inPicture1(d.cmdClose()), QRect(516, 372, 118, 48));
            QCOMPARE(inPicture1(d.option(4)), QRect(313, 306, 329, 22));
            // Fonts, colours and captions.
            QCOMPARE(QFontInfo(d.numberLabel(Editor::Rounds)->font()).family(), QStringLiteral("Liberation Sans"));
            QCOMPARE(QFontInfo(d.option(0)->font()).family(), QStringLiteral("DejaVu Sans"));
            QCOMPARE(d.numberLabel(Editor::Rounds)->palette().color(QPalette::WindowText), QColor(0, 0, 255));
            QCOMPARE(d.numberBox(Editor::Rounds)->palette().color(QPalette::Window), QColor(255, 255, 255));
            QCOMPARE(d.option(0)->palette().color(QPalette::WindowText), QColor(255, 255, 255));
            QCOMPARE(d.option(3)->text(), QStringLiteral("maiuscole e minuscole"));
            QCOMPARE(d.cmdApply()->text().replace(QLatin1Char('\n'), QLatin1Char(' ')),
                     QStringLiteral("APPLICA LE OPZIONI"));
            // What the opening shows.
            QCOMPARE(Caption(d.numberLabel(Editor::Rounds)), QStringLiteral("8"));
            QCOMPARE(Caption(d.numberLabel(Editor::HardHigh)), QStringLiteral("50"));
            QVERIFY(d.option(0)->isChecked());
            QVERIFY(!d.cmdApply()->isEnabled());
            QVERIFY(d.cmdClose()->isEnabled());
            QCOMPARE(QApplication::focusWidget(), d.picture1());
            // Black where nothing is drawn: a corner inside the border.
            QCOMPARE(d.grab().toImage().pixelColor(200, 100), QColor(0, 0, 0));
        }));
        // Closed and destroyed; the panel comes back.
        QVERIFY(opened.isNull());
        QVERIFY(m_window->picture1()->isVisible());
    }

    void thePanelStaysHiddenWhileTheWindowIsOpen()
    {
        QVERIFY(WithOptions([&](OptionsDialog&) {
            // The click that opened the window may activate the main window late, from
            // inside the modal loop; that activation must not bring the panel back.
            QEvent activate(QEvent::WindowActivate);
            QApplication::sendEvent(m_window.get(), &activate);
            QVERIFY(!m_window->picture1()->isVisible());
            QVERIFY(!m_window->form().Picture1.Visible);
        }));
        QVERIFY(m_window->picture1()->isVisible());
    }

    void onlyTheCloseButtonClosesIt()
    {
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
            QVERIFY(d.isVisible());
            // Return neither closes the window nor presses the focused button, whichever
            // button has the focus; what was not applied stays on screen.
            d.bar(Editor::EasyHigh)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
            const QString shown = d.numberLabel(Editor::EasyHigh)->text();
            for (QWidget* focus : {static_cast<QWidget*>(d.cmdClose()), static_cast<QWidget*>(d.cmdApply()),
                                   static_cast<QWidget*>(d.bar(Editor::Rounds))}) {
                focus->setFocus();
                QTest::keyClick(focus, Qt::Key_Return);
                QTest::keyClick(focus, Qt::Key_Enter, Qt::KeypadModifier);
                QVERIFY(d.isVisible());
            }
            QCOMPARE(d.numberLabel(Editor::EasyHigh)->text(), shown);
            QVERIFY(d.cmdApply()->isEnabled());
            d.close();
            QVERIFY(d.isVisible());
            QTest::mouseClick(d.cmdClose(), Qt::LeftButton);
            QVERIFY(!d.isVisible());
        }));
    }

    void barsFollowTheirLabelsAtOnce()
    {
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QScrollBar* bar = d.bar(Editor::EasyHigh);
            QLabel* label = d.numberLabel(Editor::EasyHigh);
            // A drag: every thumb movement shows at once, before the thumb is let go.
            bar->setSliderDown(true);
            bar->setSliderPosition(bar->minimum() + bar->maximum() - 40);
            QCOMPARE(Caption(label), QStringLiteral("40"));
            QVERIFY(d.cmdApply()->isEnabled());
            bar->setSliderPosition(bar->minimum() + bar->maximum() - 41);
            QCOMPARE(Caption(label), QStringLiteral("41"));
            bar->setSliderDown(false);
            QCOMPARE(Caption(label), QStringLiteral("41"));
            QCOMPARE(d.form().vsEasyHigh.Value, 41);
            // No other bar or label moved.
            QCOMPARE(Caption(d.numberLabel(Editor::EasyLow)), QStringLiteral("5"));
            // The program's own mirroring raises nothing: a second apply stays disabled.
            QTest::mouseClick(d.cmdApply(), Qt::LeftButton);
            QVERIFY(!d.cmdApply()->isEnabled());
            QCOMPARE(m_settings.EasyHigh, std::int16_t{41});
        }));
    }

    void upRaisesTheNumber()
    {
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QScrollBar* bar = d.bar(Editor::Rounds);
            QLabel* label = d.numberLabel(Editor::Rounds);
            QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarSubLine));
            QCOMPARE(Caption(label), QStringLiteral("9"));
            QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarAddLine));
            QTest::mouseClick(bar, Qt::LeftButton, {}, SubControlCentre(bar, QStyle::SC_ScrollBarAddLine));
            QCOMPARE(Caption(label), QStringLiteral("7"));
            bar->setFocus();
            QTest::keyClick(bar, Qt::Key_Up);
            QCOMPARE(Caption(label), QStringLiteral("8"));
            QTest::keyClick(bar, Qt::Key_Down);
            QCOMPARE(Caption(label), QStringLiteral("7"));
            QTest::keyClick(bar, Qt::Key_PageUp);
            QCOMPARE(Caption(label), QStringLiteral("8"));
            // The top end is the maximum: the thumb stands at the top at 20.
            for (int i = 0; i < 30; ++i)
                QTest::keyClick(bar, Qt::Key_Up);
            QCOMPARE(Caption(label), QStringLiteral("20"));
            QCOMPARE(bar->value(), bar->minimum());
            // Keys typed in the options window are not the game's.
            QCOMPARE(m_window->form().TotalScore, std::int16_t{0});
        }));
    }

    void tabReachesTheSelectedKeySetAndMarksTheBars()
    {
        // "solo numeri", in the middle of the group's Tab order, is the game's key set.
        m_settings.KeySet = {false, false, true, false, false};
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QCOMPARE(QApplication::focusWidget(), d.picture1());
            const auto tab = [&d] { QTest::keyClick(d.windowHandle(), Qt::Key_Tab); };
            // Past the disabled apply button to the hard-high box and its bar.
            for (QWidget* expected : {static_cast<QWidget*>(d.option(2)), static_cast<QWidget*>(d.cmdClose()),
                                      static_cast<QWidget*>(d.numberBox(Editor::HardHigh)),
                                      static_cast<QWidget*>(d.bar(Editor::HardHigh))}) {
                tab();
                QCOMPARE(QApplication::focusWidget(), expected);
            }
            // The bar that has the focus is framed in the highlight colour on every side, as far
            // as its number box shows it, and Up raises its number.
            QScrollBar* bar = d.bar(Editor::HardHigh);
            QFrame* box = d.numberBox(Editor::HardHigh);
            const QColor highlight = bar->palette().color(QPalette::Highlight);
            const QRect shown = bar->visibleRegion().boundingRect().translated(bar->mapTo(box, QPoint(0, 0)));
            const auto edges = [&] {
                const QImage image = box->grab().toImage();
                const QPoint middle = shown.center();
                return std::array{
                    image.pixelColor(shown.left(), middle.y()), image.pixelColor(shown.right(), middle.y()),
                    image.pixelColor(middle.x(), shown.top()), image.pixelColor(middle.x(), shown.bottom())};
            };
            for (const QColor& edge : edges())
                QCOMPARE(edge, highlight);
            QTest::keyClick(d.windowHandle(), Qt::Key_Up);
            QCOMPARE(Caption(d.numberLabel(Editor::HardHigh)), QStringLiteral("51"));
            tab();
            for (const QColor& edge : edges())
                QVERIFY(edge != highlight);

            // A whole round of the window: of the group only the selected option is reached.
            QSet<QWidget*> reached;
            for (int i = 0; i < 2 * 20; ++i) {
                tab();
                reached.insert(QApplication::focusWidget());
            }
            for (int i : {0, 1, 3, 4})
                QVERIFY2(!reached.contains(d.option(i)), qPrintable(d.option(i)->text()));
            QVERIFY(reached.contains(d.option(2)));
            QVERIFY(reached.contains(d.bar(Editor::Rounds)));
            QVERIFY(d.option(2)->isChecked());
            // Space on the selected option keeps it; an arrow key moves the choice and Tab follows.
            d.option(2)->setFocus();
            QTest::keyClick(d.windowHandle(), Qt::Key_Space);
            QVERIFY(d.option(2)->isChecked());
            QVERIFY(d.form().Option1[2].Value);
            QTest::keyClick(d.windowHandle(), Qt::Key_Down);
            QCOMPARE(QApplication::focusWidget(), d.option(3));
            QVERIFY(d.option(3)->isChecked());
            d.picture1()->setFocus();
            tab();
            QCOMPARE(QApplication::focusWidget(), d.option(3));
        }));
    }

    void applyWritesTheSettingsFile()
    {
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QScrollBar* rounds = d.bar(Editor::Rounds);
            for (int i = 0; i < 4; ++i)
                QTest::mouseClick(rounds, Qt::LeftButton, {}, SubControlCentre(rounds, QStyle::SC_ScrollBarSubLine));
            QTest::mouseClick(d.option(3), Qt::LeftButton, {}, QPoint(8, d.option(3)->height() / 2));
            QVERIFY(d.option(3)->isChecked());
            QCOMPARE(m_settings.KeySet, (std::array<bool, 5>{false, false, false, true, false}));
            QVERIFY(d.cmdApply()->isEnabled());
            QTest::mouseClick(d.cmdApply(), Qt::LeftButton);
            QVERIFY(!d.cmdApply()->isEnabled());
            QVERIFY(d.isVisible());
        }));

        QFile file(QtSettingsStore::FilePath());
        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
        const QString text = QString::fromUtf8(file.readAll());
        const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        const QStringList expected{
            "[FallRates]", "EasyHigh=10",    "EasyLow=5",          "HardHigh=50", "HardLow=35",
            "MedHigh=30",  "MedLow=15",      "[Rounds]",           "Max=12",      "[Selezione]",
            "Maiu=False",  "MaiuMinu=False", "MaiuMinuNume=False", "Minu=False",  "Nume=True",
        };
        QCOMPARE(lines, expected);

        // The next opening shows what was applied.
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QCOMPARE(Caption(d.numberLabel(Editor::Rounds)), QStringLiteral("12"));
            QCOMPARE(d.form().vsRounds.Value, 12);
            QVERIFY(d.option(3)->isChecked());
        }));
    }

    void theGameGoesOnUnderTheModalWindow()
    {
        QTest::mouseClick(m_window->cmdStart(), Qt::LeftButton);
        const FrmMain& form = m_window->form();
        // Waits end as soon as the letters move; their length only gives a loaded machine
        // time to schedule the ticks, and a timer that stopped still fails after it.
        constexpr int kPatienceMs = 30000;
        QTRY_VERIFY_WITH_TIMEOUT(LowestLetterTop(form) > 0, kPatienceMs);
        float opened = 0;
        float later = 0;
        int ticks = 0;
        QVERIFY(WithOptions([&](OptionsDialog&) {
            opened = LowestLetterTop(form);
            // Real timers, real nested event loop: the letter timer keeps ticking.
            QElapsedTimer clock;
            clock.start();
            float seen = opened;
            while (ticks < 3 && clock.elapsed() < kPatienceMs) {
                QTest::qWait(20);
                if (LowestLetterTop(form) != seen) {
                    seen = LowestLetterTop(form);
                    ++ticks;
                }
            }
            later = seen;
            QVERIFY(QApplication::activeModalWidget() != nullptr);
        }));
        QVERIFY2(later > opened, "the letters did not fall while the options window was open");
        QVERIFY2(ticks >= 3, qPrintable(QStringLiteral("only %1 letter ticks in %2 ms").arg(ticks).arg(kPatienceMs)));
        QVERIFY(form.GameRunning);
        QVERIFY(m_window->picture1()->isVisible());
    }

    void buttonsShowTheHands()
    {
        const QCursor* open = CursorFor(OpenHandCursor);
        const QCursor* closed = CursorFor(ClosedHandCursor);
        QCOMPARE(open->hotSpot(), QPoint(16, 15));
        QCOMPARE(closed->hotSpot(), QPoint(15, 17));
        QCOMPARE(open->pixmap().size(), QSize(32, 32));

        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QPushButton* close = d.cmdClose();
            QPushButton* apply = d.cmdApply();
            const QPoint centre = close->rect().center();
            // Right after opening: the default arrow.
            QVERIFY(!close->testAttribute(Qt::WA_SetCursor));
            QVERIFY(!apply->testAttribute(Qt::WA_SetCursor));
            QCOMPARE(close->cursor().shape(), Qt::ArrowCursor);

            MoveOver(close, centre);
            QVERIFY(SameCursor(close->cursor(), open));
            for (Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
                QTest::mousePress(close, button, {}, centre);
                QVERIFY(SameCursor(close->cursor(), closed));
                QTest::mouseRelease(close, button, {}, centre);
                QVERIFY(SameCursor(close->cursor(), closed)); // no mouse-up handler
                // Moves to where the pointer already is are not reported: move somewhere new.
                MoveOver(close, centre + QPoint(button == Qt::RightButton ? 1 : -1, 0));
                QVERIFY(SameCursor(close->cursor(), open));
            }
            QVERIFY(d.isVisible()); // only the left button clicks

            // The disabled apply button gets no mouse events.
            MoveOver(apply, apply->rect().center());
            QTest::mousePress(apply, Qt::RightButton, {}, apply->rect().center());
            QTest::mouseRelease(apply, Qt::RightButton, {}, apply->rect().center());
            QVERIFY(!apply->testAttribute(Qt::WA_SetCursor));
            d.bar(Editor::MedLow)->triggerAction(QAbstractSlider::SliderSingleStepSub);
            QVERIFY(apply->isEnabled());
            MoveOver(apply, apply->rect().center() + QPoint(1, 1));
            QVERIFY(SameCursor(apply->cursor(), open));
            QTest::mouseClick(apply, Qt::LeftButton, {}, apply->rect().center());
            QVERIFY(!apply->isEnabled());
            QVERIFY(SameCursor(apply->cursor(), closed));
            MoveOver(apply, apply->rect().center() + QPoint(2, 0));
            QVERIFY(SameCursor(apply->cursor(), closed));

            // The left button presses and clicks: the window closes.
            MoveOver(close, centre);
            QTest::mousePress(close, Qt::LeftButton, {}, centre);
            QVERIFY(SameCursor(close->cursor(), closed));
            QTest::mouseRelease(close, Qt::LeftButton, {}, centre);
            QVERIFY(!d.isVisible());
        }));

        // A new window starts again without a pointer of its own.
        QVERIFY(WithOptions([&](OptionsDialog& d) {
            QVERIFY(!d.cmdClose()->testAttribute(Qt::WA_SetCursor));
            QCOMPARE(d.cmdClose()->cursor().shape(), Qt::ArrowCursor);
        }));
    }

    void mainWindowButtonsShowTheHands()
    {
        const QCursor* open = CursorFor(OpenHandCursor);
        const QCursor* closed = CursorFor(ClosedHandCursor);
        for (QPushButton* button : {m_window->cmdAdvanced(), m_window->cmdStart(), m_window->cmdExit()}) {
            const QPoint centre = button->rect().center();
            QVERIFY(!button->testAttribute(Qt::WA_SetCursor));
            QCOMPARE(button->cursor().shape(), Qt::ArrowCursor);
            QTest::mouseMove(button, centre);
            QVERIFY(SameCursor(button->cursor(), open));
            QTest::mousePress(button, Qt::RightButton, {}, centre);
            QVERIFY(SameCursor(button->cursor(), closed));
            QTest::mouseRelease(button, Qt::RightButton, {}, centre);
            QTest::mouseMove(button, centre + QPoint(1, 1));
            QVERIFY(SameCursor(button->cursor(), open));
            QTest::mousePress(button, Qt::MiddleButton, {}, centre);
            QVERIFY(SameCursor(button->cursor(), closed));
            QTest::mouseRelease(button, Qt::MiddleButton, {}, centre);
        }
        QVERIFY(!m_window->form().GameRunning); // neither right nor middle clicks
    }
};

QTEST_MAIN(OptionsDialogTest)
#include "OptionsDialogTest.moc"
