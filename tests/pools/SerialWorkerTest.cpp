#include "pools/SerialWorker.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

// Off the GUI thread, busy text and results back are met in the pool view's
// tests; a background read (no text) is not the task shown.
TEST(SerialWorker, OneJobAtATimeInOrderAndNothingForAGoneOwner)
{
    SerialWorker worker;
    QObject owner;
    std::atomic<int> running = 0, overlaps = 0;
    QStringList delivered;
    for (int i = 0; i < 4; ++i)
        worker.run<int>(
            &owner, i == 0 ? QString() : QStringLiteral("job %1").arg(i),
            [&, i] {
                overlaps += ++running > 1;
                QThread::msleep(30);
                --running;
                return i;
            },
            [&](int r) { delivered << QString::number(r); });
    EXPECT_EQ(worker.task(), "job 1");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !worker.isBusy(); }, 5000));
    EXPECT_EQ(delivered, (QStringList{"0", "1", "2", "3"}));
    EXPECT_EQ(overlaps, 0);

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
