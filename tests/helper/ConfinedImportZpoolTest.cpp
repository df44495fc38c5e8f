// A pool from elsewhere, on the real zpool, mounted through Tarnwell and the
// real helper: its setuid program has no power and its mount points lead
// nowhere outside the place Tarnwell mounts it.
#include "exec/MountInfo.h"
#include "support/RealZpool.h"
#include "support/StandInElevator.h"
#include "zpool/ZpoolCMD.h"

#include <QProcess>

#include <sys/statvfs.h>

namespace {
class OnRealZpool : public RealZpool::Test {
protected:
    OnRealZpool() : RealZpool::Test(1) {}
};

QList<MountEntry> mountsOf(const QString& pool)
{
    QList<MountEntry> found;
    for (const MountEntry& e : MountInfo::read())
        if (e.source == pool || e.source.startsWith(pool + "/"))
            found << e;
    return found;
}
}  // namespace

TEST_F(OnRealZpool, SetuidHasNoEffectAndNothingMountsThroughALink)
{
    const QString pool = scratch->createPool({scratch->dev(0)});
    // A dataset with a setuid program, and one whose mount point will be a link to a system folder.
    runTool("/usr/sbin/zfs", {"create", pool + "/tools"});
    runTool("/usr/sbin/zfs", {"create", pool + "/sneaky"});
    const QString place = QStringLiteral("/mnt/tarnwell-sneaky-%1").arg(getpid());
    const QString system = QStringLiteral("/mnt/tarnwell-system-%1").arg(getpid());
    runTool("/usr/sbin/zfs", {"set", "mountpoint=" + place, pool + "/sneaky"});
    QString program;
    for (int i = 0; i < 50 && program.isEmpty(); ++i, QThread::msleep(100))
        for (const MountEntry& e : mountsOf(pool))
            if (e.source == pool + "/tools")
                program = e.target + "/suid";
    ASSERT_TRUE(QFile::copy("/usr/bin/id", program)) << program.toStdString() << RealZpool::run({"list"}).toStdString();
    ASSERT_EQ(::chmod(QFile::encodeName(program).constData(), 04755), 0);
    RealZpool::run({"export", pool});
    ASSERT_FALSE(RealZpool::listed(pool));
    QDir(place).removeRecursively();
    ASSERT_TRUE(QDir().mkpath(system));
    ASSERT_TRUE(QFile::link(system, place));

    StandInElevator elevator;
    NotificationCenter center;
    ZpoolCMD zpool(center);
    zpool.setZpoolPath(RealZpool::path);
    const ToolResult r = zpool.run("MOUNT", pool);
    EXPECT_TRUE(r.ok()) << r.report().toStdString();
    EXPECT_TRUE(RealZpool::listed(pool));

    const QList<MountEntry> mounts = mountsOf(pool);
    EXPECT_EQ(mounts.size(), 3);
    for (const MountEntry& e : mounts) {
        EXPECT_TRUE(e.target.startsWith("/media/root/")) << e.target.toStdString();
        EXPECT_TRUE(e.mountOptions.contains("nosuid") && e.mountOptions.contains("nodev")) << e.target.toStdString();
        EXPECT_NE(e.target, system);
    }
    struct statvfs vfs;
    ASSERT_EQ(::statvfs(QFile::encodeName("/media/root/" + pool + "/tools/suid").constData(), &vfs), 0);
    EXPECT_TRUE(vfs.f_flag & ST_NOSUID);
    EXPECT_TRUE(QDir(system).isEmpty());

    RealZpool::destroy(pool);
    QFile::remove(place);
    // /media/root goes only when no one else's volume is there.
    for (const QString& d : QStringList{system, "/media/root" + place, "/media/root/mnt", "/media/root/" + pool, "/media/root"})
        QDir().rmdir(d);
}

// A pool whose file system is /home (in the helper's own mount namespace) is
// the system's: no operation touches it or its disks, while it stays as it was.
TEST_F(OnRealZpool, NothingTouchesThePoolOrDisksOfTheSystem)
{
    const QString pool = scratch->createPool({scratch->dev(0)});
    QString mountPoint;
    for (int i = 0; i < 50 && mountPoint.isEmpty(); ++i, QThread::msleep(100))
        for (const MountEntry& e : mountsOf(pool))
            mountPoint = e.target;
    ASSERT_FALSE(mountPoint.isEmpty());
    QProcess helper;
    helper.setEnvironment({"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "PKEXEC_UID=0"});
    helper.start("/usr/bin/unshare", {"-m", "--propagation", "private", "/bin/sh", "-c",
                                      "mount --bind '" + mountPoint + "' /home && exec \"$0\"",
                                      TARNWELL_BINARY_DIR "/src/tarnwell-helper"});
    ASSERT_TRUE(helper.waitForReadyRead(10000));
    helper.readLine();
    const auto refusal = [&](const QByteArray& request) {
        helper.write(request + '\n');
        while (!helper.canReadLine() && helper.waitForReadyRead(20000)) {}
        const QList<QByteArray> header = helper.readLine().trimmed().split(' ');
        const qsizetype length = header.value(2).toLongLong() + header.value(3).toLongLong();
        while (helper.bytesAvailable() < length && helper.waitForReadyRead(5000)) {}
        return header.value(0) + ' ' + helper.read(length);
    };
    const QByteArray p = pool.toUtf8(), d = scratch->dev(0).toUtf8(), n = scratch->disk(0).toUtf8();
    EXPECT_EQ(refusal(R"({"op":"export","pool":")" + p + "\"}"), "REFUSED refused: " + p + " holds the system");
    EXPECT_EQ(refusal(R"({"op":"offline","pool":")" + p + R"(","devices":[")" + n + "\"]}"),
              "REFUSED refused: " + p + " holds the system");
    EXPECT_EQ(refusal(R"({"op":"create","pool":"other","devices":[")" + d + "\"]}"),
              "REFUSED refused: \"" + d + "\" is on a disk that holds the system");
    helper.closeWriteChannel();
    helper.waitForFinished(5000);
    EXPECT_TRUE(RealZpool::listed(pool));
    EXPECT_FALSE(RealZpool::run({"status", pool}).contains("OFFLINE"));
}
