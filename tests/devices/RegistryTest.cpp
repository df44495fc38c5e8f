#include "TreeHelpers.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QThread>

#include <thread>

static QStringList names(RegistryIterator it)
{
    QStringList out;
    while (RegistryEntry e = Registry::IOIteratorNext(it))
        out << e.node()->name;
    return out;
}

TEST(Registry, NotificationsWaitForADrainedIteratorAndArriveOnThePortThread)
{
    Registry r;
    auto withNew = [&](const QString& name) {
        auto n = std::make_shared<RegistryTree>(*r.tree());
        n->add(RegistryTree::Root, "IOPCIDevice", name);
        n->add(RegistryTree::Root, "IOMedia", name + "-media");
        r.replaceTree(n);
    };
    withNew("present");
    QObject owner;
    int calls = 0;
    QThread* seenOn = nullptr;
    RegistryIterator it;
    ASSERT_EQ(r.IOServiceAddMatchingNotification(
                  r.IONotificationPortCreate(&owner), "IOServicePublish", r.IOServiceMatching("IOPCIDevice"),
                  [&](RegistryIterator&) { ++calls; seenOn = QThread::currentThread(); }, it),
              RegistryStatus::Success);
    withNew("early");  // iterator not drained yet: no call, the entry waits in it
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(names(it), (QStringList{"present", "early"}));
    std::thread([&] { withNew("late"); }).join();
    EXPECT_TRUE(QTest::qWaitFor([&] { return calls == 1; }, 2000));
    EXPECT_EQ(seenOn, QThread::currentThread());
    EXPECT_EQ(names(it), QStringList{"late"});
}
