// The pool view and the replacement wizard against the real zpool
// (zfs-fuse), on sparse files that /dev/diskN symlinks name like whole disks.
#include "support/LogCapture.h"
#include "support/MainWinHarness.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QProcess>
#include <QPushButton>

#include <unistd.h>

namespace {

const QString realZpool = QStringLiteral("/usr/sbin/zpool");

QString run(const QStringList& args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(realZpool, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAll());
}

class RealPool : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!QFileInfo::exists(realZpool) || !QFileInfo::exists("/dev/fuse") || geteuid() != 0)
            GTEST_SKIP() << "needs root, zfs-fuse and /dev/fuse";
        if (run({"list"}).contains("connect"))
            GTEST_SKIP() << "the zfs-fuse daemon is not running (tools/zfs-daemon start)";
        pool = QStringLiteral("mainwin%1").arg(getpid());
        // Five free disk numbers of our own, from 90 up.
        for (base = 90 + (getpid() % 400) * 5;; base += 5) {
            bool free = true;
            for (int i = 0; i < 5; ++i)
                free = free && !QFileInfo::exists(dev(i)) && !QFileInfo(dev(i)).isSymLink();
            if (free)
                break;
        }
        for (int i = 0; i < 5; ++i) {
            QFile f(files.filePath(QString::number(i)));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            ASSERT_TRUE(f.resize(128 * 1024 * 1024));
        }
        for (int i = 0; i < 4; ++i)
            link(i, i);
        // zfs-fuse knows no "status -L"; the product keeps the OpenZFS form.
        wrapper = files.filePath("zpool");
        QFile w(wrapper);
        ASSERT_TRUE(w.open(QIODevice::WriteOnly));
        w.write(("#!/bin/sh\n"
                 "if [ \"$1\" = status ] && [ \"$2\" = -L ]; then shift 2; exec " + realZpool +
                 " status \"$@\"; fi\n"
                 "exec " + realZpool + " \"$@\"\n").toUtf8());
        w.close();
        w.setPermissions(w.permissions() | QFileDevice::ExeOwner);
        const QString out = run({"create", "-f", pool, "raidz", dev(0), dev(1), dev(2), dev(3)});
        ASSERT_TRUE(run({"list"}).contains(pool)) << out.toStdString();
        created = true;
    }

    void TearDown() override
    {
        if (created) {
            if (!run({"list"}).contains(pool))
                run({"import", "-f", pool});
            for (int attempt = 0; attempt < 5 && run({"list"}).contains(pool); ++attempt) {
                run({"destroy", "-f", pool});
                if (run({"list"}).contains(pool))
                    QTest::qWait(1000);  // busy right after a resilver
            }
        }
        for (int i = 0; i < 5; ++i)
            QFile::remove(dev(i));
    }

    QString dev(int i) const { return QStringLiteral("/dev/disk%1").arg(base + i); }
    QString disk(int i) const { return QStringLiteral("disk%1").arg(base + i); }
    void link(int number, int file) { QFile::link(files.filePath(QString::number(file)), dev(number)); }

    // A harness whose zpool is the wrapper around the real one.
    void useRealZpool(MainWinHarness& h) { h.context.probePaths.sbinZpool = wrapper; }

    static int rowOf(RaidTableViewController* v, const QString& name)
    {
        const QAbstractItemModel* m = v->RaidListView()->model();
        for (int r = 0; r < m->rowCount(); ++r) {
            if (m->index(r, 0).data().toString() == name)
                return r;
        }
        return -1;
    }
    static QString healthOf(RaidTableViewController* v, const QString& name)
    {
        const int r = rowOf(v, name);
        return r < 0 ? QString() : v->RaidListView()->model()->index(r, 6).data().toString();
    }

    QTemporaryDir files;
    QString wrapper;
    QString pool;
    int base = 90;
    bool created = false;
};

}  // namespace

TEST_F(RealPool, ListsEjectsMountsAndDeletes)
{
    MainWinHarness h({{1001, 0, {{"Slot-A", disk(0)}, {"Slot-B", disk(1)}, {"Slot-C", disk(2)}, {"Slot-D", disk(3)}}}});
    useRealZpool(h);
    StartedMainWindow w(h);
    RaidTableViewController* v = w.pools();
    ASSERT_EQ(healthOf(v, pool), "ONLINE");

    w.selectPool(rowOf(v, pool));
    QStringList members;
    for (const RaidStatusPtr& m : v->RaidStateArray())
        members << *m->DiskName + " " + m->slotPath.value_or("-");
    EXPECT_EQ(members, (QStringList{disk(0) + " Slot-A", disk(1) + " Slot-B", disk(2) + " Slot-C",
                                    disk(3) + " Slot-D"}));

    v->EjectBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return healthOf(v, pool) == "EJECTED"; }, 30000));
    EXPECT_FALSE(run({"list"}).contains(pool));

    w.selectPool(rowOf(v, pool));
    EXPECT_TRUE(v->MountBtn()->isEnabled());
    v->MountBtn()->click();
    ASSERT_TRUE(waitUntil([&] { return healthOf(v, pool) == "ONLINE"; }, 30000));

    // zfs-fuse calls a pool busy for a moment after an import while its file
    // system settles; a user would simply ask again.
    for (int attempt = 0; attempt < 5 && rowOf(v, pool) >= 0; ++attempt) {
        w.selectPool(rowOf(v, pool));
        v->DeleteBtn()->click();
        ASSERT_EQ(w.alerts().size(), 1);
        press(w.alerts().first(), "Delete");
        v->zpoolCmd()->waitForThreads();
        waitUntil([&] { return rowOf(v, pool) < 0; }, 2000);
    }
    EXPECT_LT(rowOf(v, pool), 0);
    EXPECT_FALSE(run({"list"}).contains(pool));
}

TEST_F(RealPool, WizardReplacesAGoneDisk)
{
    // The disk in the second bay goes; a new one sits in its bay.
    run({"export", pool});
    QFile::remove(dev(1));
    run({"import", pool});
    ASSERT_TRUE(run({"status", pool}).contains("UNAVAIL"));
    link(4, 4);

    MainWinHarness h({{1001, 0, {{"Slot-A", disk(0)}, {"Slot-B", disk(4)}, {"Slot-C", disk(2)}, {"Slot-D", disk(3)}}}});
    useRealZpool(h);
    StartedMainWindow w(h);
    LogCapture log;
    RaidTableViewController* v = w.pools();
    ASSERT_EQ(healthOf(v, pool), "DEGRADED");
    w.selectPool(rowOf(v, pool));
    int gone = -1;
    const RaidStatusList members = v->RaidStateArray();
    for (int i = 0; i < members.size(); ++i) {
        if (members.at(i)->State == "UNAVAIL")
            gone = i;
    }
    ASSERT_GE(gone, 0);
    const QString goneName = *members.at(gone)->DiskName;
    EXPECT_EQ(members.at(gone)->slotPath, "Slot-B");
    w.selectMember(gone);
    v->ReplaceBtn()->click();

    press(w.alerts().first(), "Eject");
    EXPECT_FALSE(run({"list"}).contains(pool));
    ASSERT_EQ(w.alerts().size(), 1);
    press(w.alerts().first(), "OK");  // step 2
    ASSERT_EQ(w.alerts().size(), 1);
    press(w.alerts().first(), "OK");  // step 3
    ASSERT_TRUE(waitUntil([&] { return !log.lines().filter("REPLACE ").isEmpty(); }, 30000));
    EXPECT_EQ(log.count(QStringLiteral("REPLACE %1 %2 %3").arg(pool, goneName, disk(4))), 1);
    EXPECT_EQ(h.ejector.calls(), QStringList{dev(4)});
    const QString status = run({"status", pool});
    EXPECT_TRUE(status.contains(disk(4))) << status.toStdString();
}
