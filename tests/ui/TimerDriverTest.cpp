#include "ui/TimerDriver.h"

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
