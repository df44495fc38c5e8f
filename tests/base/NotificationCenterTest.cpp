#include "base/NotificationCenter.h"

#include <gtest/gtest.h>

#include <QStringList>

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
