#include "pools/SerialWorker.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <QThread>

// Four jobs of one owner, then three of an owner that goes while its first runs.
TEST(SerialWorker, OneJobAtATimeOffTheGuiThreadResultsBackOnItButNotToAGoneOwner)
{
    SerialWorker worker;
    QSignalSpy busy(&worker, &SerialWorker::busyChanged);
    QObject owner;
    std::atomic<int> running = 0, overlaps = 0;
    QStringList delivered;
    for (int i = 0; i < 4; ++i) {
        worker.run<int>(
            &owner, i == 0 ? QString() : QStringLiteral("job %1").arg(i),  // job 0 is a background read
            [&, i] {
                if (++running > 1 || QThread::currentThread() == qApp->thread())
                    ++overlaps;
                QThread::msleep(30);
                --running;
                return i;
            },
            [&](int r) {
                EXPECT_EQ(QThread::currentThread(), qApp->thread());
                delivered << QString::number(r);
            });
    }
    EXPECT_TRUE(worker.isBusy());
    EXPECT_EQ(worker.task(), "job 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !worker.isBusy(); }, 5000));
    EXPECT_EQ(delivered, (QStringList{"0", "1", "2", "3"}));
    EXPECT_EQ(overlaps, 0);
    ASSERT_GE(busy.size(), 2);
    EXPECT_EQ(busy.first().at(0).toBool(), true);
    EXPECT_EQ(busy.last().at(0).toBool(), false);

    std::atomic<int> ran = 0;
    auto gone = std::make_unique<QObject>();
    for (int i = 0; i < 3; ++i)
        worker.run(gone.get(), "slow", [&] { QThread::msleep(100); ++ran; }, [&] { delivered << "gone"; });
    QThread::msleep(20);        // the first has begun
    worker.forget(gone.get());  // waits for it, drops the others
    gone.reset();
    EXPECT_EQ(ran, 1);
    QTest::qWait(200);
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(delivered.size(), 4);
    EXPECT_FALSE(worker.isBusy());
}
