#include "base/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <atomic>
#include <thread>

TEST(NotificationCenter, DeliversSynchronouslyInRegistrationOrderToTheSendersObservers)
{
    NotificationCenter c;
    QStringList seen;
    int tokenA = 0, tokenB = 0;
    c.addObserver("A", nullptr, [&](const Notification& n) { seen << "1:" + n.userInfo.value("k"); });
    c.addObserver("A", nullptr, [&](const Notification&) { seen << "2"; });
    c.addObserver("A", &tokenA, [&](const Notification&) { seen << "only A"; });
    c.removeObserver(c.addObserver("A", nullptr, [&](const Notification&) { seen << "removed"; }));
    c.post("A", nullptr, {{"k", "v"}});
    EXPECT_EQ(seen, (QStringList{"1:v", "2"}));  // already delivered when post returns
    c.post("A", &tokenB);
    c.post("A", &tokenA);
    c.post("Unknown");
    EXPECT_EQ(seen, (QStringList{"1:v", "2", "1:", "2", "1:", "2", "only A"}));

    // A handler may post and register.
    seen.clear();
    c.addObserver("Outer", nullptr, [&](const Notification&) {
        seen << "outer-begin";
        c.addObserver("Late", nullptr, [&](const Notification&) { seen << "late"; });
        c.post("Inner");
        c.post("Late");
        seen << "outer-end";
    });
    c.addObserver("Inner", nullptr, [&](const Notification&) { seen << "inner"; });
    c.post("Outer");
    EXPECT_EQ(seen, (QStringList{"outer-begin", "inner", "late", "outer-end"}));
}

TEST(NotificationCenter, PostsFromTwoThreadsRunOnThePostingThread)
{
    NotificationCenter c;
    std::atomic<int> count{0}, wrongThread{0};
    thread_local int marker = 0;
    c.addObserver("T", nullptr, [&](const Notification& n) {
        wrongThread += marker != n.userInfo.value("t").toInt();
        ++count;
    });
    auto worker = [&](int id) {
        marker = id;
        for (int i = 0; i < 2000; ++i) {
            c.post("T", nullptr, {{"t", QString::number(id)}});
            if (i % 100 == 0)
                c.addObserver("Other", nullptr, [](const Notification&) {});
        }
    };
    std::thread t1(worker, 1), t2(worker, 2);
    t1.join();
    t2.join();
    EXPECT_EQ(count.load(), 4000);
    EXPECT_EQ(wrongThread.load(), 0);
}
