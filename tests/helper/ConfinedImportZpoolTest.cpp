// A pool from elsewhere, on the real zpool, mounted through Tarnwell and the
// real helper: its setuid program has no power and its mount points lead
// nowhere outside the place Tarnwell mounts it.
#include "exec/MountInfo.h"
#include "support/RealZpool.h"
#include "support/StandInElevator.h"
#include "zpool/ZpoolCMD.h"

#include <sys/statvfs.h>

namespace {
class ImportOnRealZpool : public RealZpool::Test {
protected:
    ImportOnRealZpool() : RealZpool::Test(1) {}
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

TEST_F(ImportOnRealZpool, SetuidHasNoEffectAndNothingMountsThroughALink)
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
    QDir().rmdir(system);
    QDir().rmdir("/media/root" + place);
    QDir().rmdir("/media/root/mnt");
    QDir().rmdir("/media/root/" + pool);
    QDir().rmdir("/media/root");  // only when no one else's volume is there
}
