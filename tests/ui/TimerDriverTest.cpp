#include "ui/TimerDriver.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

using keyfall::Timer;
using keyfall::TimerDriver;

// The driver's QTimers are its children; each test adds one timer.
class TimerDriverTest : public QObject {
    Q_OBJECT

    static QTimer* Driving(TimerDriver& driver) { return driver.findChild<QTimer*>(); }

private slots:
    void followsEnabledAndInterval()
    {
        Timer timer(20, false);
        TimerDriver driver;
        int ticks = 0;
        driver.Add(timer, [&] { ++ticks; });
        driver.Sync();
        QVERIFY(!Driving(driver)->isActive());

        timer.SetEnabled(true);
        driver.Sync();
        QVERIFY(Driving(driver)->isActive());
        QCOMPARE(Driving(driver)->interval(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 2, 30000);

        timer.SetInterval(0);
        driver.Sync();
        QVERIFY(!Driving(driver)->isActive());
    }

    void aTimerWhoseTicksChangeNothingSleeps()
    {
        Timer timer(20, true);
        TimerDriver driver;
        bool wanted = false;
        int ticks = 0;
        driver.Add(
            timer, [&] { ++ticks; }, [&] { return wanted; });
        driver.Sync();
        QVERIFY(!Driving(driver)->isActive());
        QTest::qWait(100);
        QCOMPARE(ticks, 0);

        // Wanted again: it ticks at its own interval, counted from now.
        wanted = true;
        driver.Sync();
        QVERIFY(Driving(driver)->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 30000);

        wanted = false;
        driver.Sync();
        QVERIFY(!Driving(driver)->isActive());
        const int before = ticks;
        QTest::qWait(100);
        QCOMPARE(ticks, before);
    }

    void aTimerWhoseTicksWouldOnlyCountSleepsAndHandsThemOver()
    {
        Timer timer(20, true);
        TimerDriver driver;
        bool onlyCount = true;
        int ticks = 0;
        std::int64_t passed = 0;
        driver.Add(
            timer, [&] { ++ticks; }, {}, [&] { return onlyCount; }, [&](std::int64_t n) { passed += n; });
        QElapsedTimer clock;
        clock.start();
        driver.Sync();
        QVERIFY(!Driving(driver)->isActive());
        QTest::qWait(200);
        driver.CatchUp();
        QCOMPARE(ticks, 0);
        QVERIFY2(passed >= 10 && passed <= clock.elapsed() / 20, qPrintable(QString::number(passed)));

        // A pause is no time that passes.
        const std::int64_t beforePause = passed;
        driver.SetHeld(true);
        QTest::qWait(500);
        driver.SetHeld(false);
        driver.CatchUp();
        QVERIFY2(passed - beforePause < 25, qPrintable(QString::number(passed - beforePause)));

        // Moving again, it ticks, and hands nothing over any more.
        onlyCount = false;
        driver.Sync();
        QVERIFY(Driving(driver)->isActive());
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 1, 30000);
        const std::int64_t moving = passed;
        QTest::qWait(100);
        driver.CatchUp();
        QCOMPARE(passed, moving);
    }

    void enablingARunningTimerKeepsItsRhythm()
    {
        Timer timer(10000, true);
        TimerDriver driver;
        driver.Add(timer, [] {});
        driver.Sync();
        const int remaining = Driving(driver)->remainingTime();
        QTest::qWait(50);
        timer.SetEnabled(true);
        driver.Sync();
        QVERIFY(Driving(driver)->remainingTime() < remaining);

        // A new interval starts the countdown afresh.
        timer.SetInterval(20000);
        driver.Sync();
        QVERIFY(Driving(driver)->remainingTime() > 10000);
    }
};

QTEST_GUILESS_MAIN(TimerDriverTest)
#include "TimerDriverTest.moc"
