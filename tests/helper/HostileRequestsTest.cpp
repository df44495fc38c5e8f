// Hostile requests to the real helper, with stand-ins for zpool and umount
// bind-mounted over the real ones in a private mount namespace: each is
// refused with its reason, and the stand-ins never get to change anything.
#include "exec/HelperProtocol.h"
#include "helper/LiveChecks.h"
#include "support/ShellScript.h"
#include "support/StandInElevator.h"
#include "exec/RunCMD.h"
#include "zpool/ZpoolOperation.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {
const QString Helper = TARNWELL_BINARY_DIR "/src/tarnwell-helper";
const QString Destroy = TARNWELL_BINARY_DIR "/src/tarnwell-destroy";

// A root-owned place below /mnt, where paths may be volume paths, with the
// stand-ins and a log of every change they were asked for.
class Hostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root for a private mount namespace";
        base = QStringLiteral("/mnt/tarnwell-hostile-%1").arg(getpid());
        QDir(base).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(base));
        ::chmod(QFile::encodeName(base).constData(), 0755);
        const QByteArray log = QFile::encodeName(base + "/changes");
        writeShellScript(base, "zpool",
                         "case \"$1\" in\n"
                         "  list) printf 'NAME SIZE ALLOC FREE CAP DEDUP HEALTH ALTROOT\\n"
                         "tank 1G 1M 1G 0%% 1.00x ONLINE -\\n'; exit 0 ;;\n"
                         "  status) exit 0 ;;\n"
                         "  import) [ $# -eq 1 ] && { cat '" TARNWELL_SOURCE_DIR
                         "/tests/data/zpool/import-zfsfuse-three-pools.txt'; exit 0; } ;;\n"
                         "esac\n"
                         "echo \"zpool $*\" >> '" + log + "'\n");
        writeShellScript(base, "umount", "echo \"umount $*\" >> '" + log + "'\n");
        // Test fixtures: a world-writable place, a link to a system folder, a user's folder.
        writeFile("/dev/shm/tarnwell-hostile", "x");
        ASSERT_TRUE(QFile::link("/etc", base + "/etclink"));
        ASSERT_TRUE(QDir().mkpath(base + "/users"));
        ASSERT_EQ(::chown(QFile::encodeName(base + "/users").constData(), 65534, 65534), 0);
        ASSERT_TRUE(QFile::link("/dev/null", "/dev/tarnwell-hostile-link"));
        ASSERT_EQ(::lchown("/dev/tarnwell-hostile-link", 65534, 65534), 0);
        ASSERT_TRUE(QDir().mkpath(base + "/shared"));
        ::chmod(QFile::encodeName(base + "/shared").constData(), 01777);
    }
    void TearDown() override
    {
        if (helper.state() != QProcess::NotRunning) {
            helper.closeWriteChannel();
            helper.waitForFinished(5000);
        }
        if (!base.isEmpty())
            QDir(base).removeRecursively();
        QFile::remove("/dev/shm/tarnwell-hostile");
        QFile::remove("/dev/tarnwell-hostile-link");
        if (madeMediaRoot)
            QDir().rmdir("/media/root");
    }

    // The command that starts `program` with the stand-ins in place.
    // `setup` runs first inside the namespace.
    QStringList inNamespace(const QString& program, const QString& setup = {}) const
    {
        return {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                setup + "mount --bind '" + base + "/zpool' /usr/sbin/zpool && mount --bind '" + base +
                    "/umount' /usr/bin/umount && exec \"$0\"",
                program};
    }
    void start(QProcess& p, const QString& program, const QStringList& env = {"PKEXEC_UID=0"},
               const QString& setup = {})
    {
        const QStringList command = inNamespace(program, setup);
        p.setEnvironment(QStringList{"PATH=/usr/sbin:/usr/bin:/sbin:/bin"} + env);
        p.start(command.first(), command.mid(1));
        ASSERT_TRUE(p.waitForReadyRead(10000));
        ASSERT_EQ(p.readLine().trimmed(), HelperProtocol::Hello);
    }
    // The reply's kind word and its error text.
    std::pair<QByteArray, QString> ask(QProcess& p, const QByteArray& line)
    {
        p.write(line + '\n');
        while (!p.canReadLine() && p.waitForReadyRead(20000)) {
        }
        const QList<QByteArray> header = p.readLine().trimmed().split(' ');
        if (header.size() != 4)
            return {"NO ANSWER", {}};
        const qsizetype want = header[2].toLongLong() + header[3].toLongLong();
        while (p.bytesAvailable() < want && p.waitForReadyRead(5000)) {
        }
        p.read(header[2].toLongLong());
        return {header[0], QString::fromUtf8(p.read(header[3].toLongLong()))};
    }
    QString changes() const
    {
        QFile f(base + "/changes");
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    QString base;
    QProcess helper;
    bool madeMediaRoot = !QFileInfo::exists("/media/root");
};

// The disk under "/", when it is a block device.
QString systemDisk()
{
    struct stat st;
    if (::stat("/", &st) != 0 || major(st.st_dev) == 0)
        return {};
    QFile uevent(QStringLiteral("/sys/dev/block/%1:%2/uevent").arg(major(st.st_dev)).arg(minor(st.st_dev)));
    if (!uevent.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& l : uevent.readAll().split('\n'))
        if (l.startsWith("DEVNAME="))
            return "/dev/" + QString::fromLatin1(l.mid(8));
    return {};
}
}  // namespace

TEST_F(Hostile, EveryProbeIsRefusedWithItsReasonAndNothingChanges)
{
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper));
    const QByteArray b = base.toUtf8();
    const QString root = systemDisk();
    struct Row {
        QByteArray request;
        const char* kind;
        QString reason;
    } rows[] = {
        // No program and no argument list travels: only operations.
        {R"({"path":"/usr/bin/chown","args":["-R","alice:alice","/home/bob"]})", "ERROR", "\"args\" is not a field"},
        {R"({"path":"/usr/sbin/zpool","args":["destroy","rpool"]})", "ERROR", "is not a field of a request"},
        {R"({"op":"set","pool":"tank","options":["sharenfs=on"]})", "REFUSED", "\"set\" is not an operation"},
        // A pool from elsewhere comes in only when the scan shows it.
        {R"({"op":"import","pool":"evil"})", "REFUSED", "there is no ejected pool \"evil\""},
        {R"({"op":"import","pool":"tank"})", "REFUSED", "tank is mounted already"},
        // Mount points through links, in others' folders, in system places.
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-m",")" + b + R"(/etclink"]})",
         "REFUSED", base + "/etclink is a symbolic link"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-m",")" + b + R"(/users/p"]})",
         "REFUSED", base + "/users is not owned by root"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-O","mountpoint=)" + b + R"(/shared/p"]})",
         "REFUSED", base + "/shared may be changed by other users"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-m","/etc"]})", "REFUSED",
         "the mount point /etc is a system place"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-R","/usr","-m","/p"]})", "REFUSED",
         "the mount point /usr/p is a system place"},
        // Ownership only for a pool this session created.
        {R"({"op":"give","pool":"tank"})", "REFUSED", "only a RAID set created in this session"},
        // Devices: whole-disk block devices away from the system.
        {R"({"op":"create","pool":"p","devices":["/dev/shm/tarnwell-hostile"]})", "REFUSED",
         "/dev/shm may be changed by other users"},
        {R"({"op":"replace","pool":"tank","devices":["sda2","/dev/shm/tarnwell-hostile"]})", "REFUSED",
         "/dev/shm may be changed by other users"},
        {R"({"op":"create","pool":"p","devices":["/dev/null"]})", "REFUSED", "is not a block device"},
        {R"({"op":"create","pool":"p","devices":["/dev/tarnwell-hostile-link"]})", "REFUSED",
         "is a link that is not root's"},
        {R"({"op":"create","pool":"p","devices":["/dev/../etc/passwd"]})", "REFUSED", "is not a device under /dev"},
        {R"({"op":"replace","pool":"tank","devices":["-f","/dev/null"]})", "REFUSED", "is not a member's name"},
        // Only pools that exist; destroy is not this program's at all.
        {R"({"op":"destroy","pool":"rpool"})", "REFUSED", "destroy asks for its own authorization"},
        {R"({"op":"offline","pool":"rpool","devices":["sda2"]})", "REFUSED", "there is no pool \"rpool\""},
        {R"({"op":"detach","pool":"rpool","devices":["sda2"]})", "REFUSED", "there is no pool \"rpool\""},
        {R"({"op":"export","pool":"tank","devices":["x"]})", "REFUSED", "export does not take these operands"},
        // Properties: only what a user sets on a data pool.
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-O","sharenfs=rw=*,no_root_squash"]})",
         "REFUSED", "the property sharenfs is not one"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-O","keylocation=file:///etc/shadow"]})",
         "REFUSED", "the property keylocation is not one"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-O","devices=on"]})", "REFUSED",
         "the property devices is not one"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-o","cachefile=/etc/x"]})", "REFUSED",
         "the property cachefile is not one"},
        {R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-t","x"]})", "REFUSED",
         "create does not take -t"},
        {R"({"op":"unmount","devices":["/dev/shm/tarnwell-hostile"]})", "REFUSED",
         "/dev/shm may be changed by other users"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.request.toStdString());
        const auto [kind, said] = ask(helper, r.request);
        EXPECT_EQ(kind, r.kind);
        EXPECT_TRUE(said.contains(r.reason)) << said.toStdString();
    }
    if (!root.isEmpty()) {
        for (const QByteArray& op : {QByteArray("create\",\"pool\":\"p"), QByteArray("unmount")}) {
            const auto [kind, said] = ask(helper, R"({"op":")" + op + R"(","devices":[")" + root.toUtf8() + "\"]}");
            EXPECT_EQ(kind, "REFUSED");
            EXPECT_TRUE(said.contains("holds the system")) << said.toStdString();
        }
    }
    EXPECT_EQ(changes(), "");

    // Never over a folder that holds something.
    writeFile("/media/root/pools_mir/keep", "x");
    EXPECT_EQ(ask(helper, R"({"op":"import","pool":"pools_mir"})").second,
              "refused: /media/root/pools_mir is not empty");
    QDir("/media/root/pools_mir").removeRecursively();
    EXPECT_EQ(changes(), "");

    // What Tarnwell does ask for still reaches zpool, confined.
    EXPECT_EQ(ask(helper, R"({"op":"export","pool":"tank"})").first, "OK");
    EXPECT_EQ(ask(helper, R"({"op":"import","pool":"pools_mir"})").first, "OK");
    EXPECT_EQ(changes(), "zpool export tank\nzpool import -o nosuid,nodev -R /media/root pools_mir\n");
}

TEST_F(Hostile, UnmountTakesOnlyTheUsersOwnVolumes)
{
    // Another user's file system on a block device, mounted where the user's volumes are not.
    QFile image(base + "/image");
    ASSERT_TRUE(image.open(QIODevice::WriteOnly) && image.resize(8 << 20));
    image.close();
    const QString loop = runTool("/usr/sbin/losetup", {"--find", "--show", image.fileName()}).trimmed();
    ASSERT_TRUE(loop.startsWith("/dev/loop")) << loop.toStdString();
    runTool("/usr/sbin/mkfs.ext2", {"-q", loop});
    QDir().mkpath(base + "/home/bob");
    ASSERT_NO_FATAL_FAILURE(
        start(helper, Helper, {"PKEXEC_UID=0"}, "mount '" + loop + "' '" + base + "/home/bob' && "));
    const auto [kind, said] = ask(helper, R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}");
    EXPECT_EQ(kind, "REFUSED");
    EXPECT_EQ(said, "refused: " + loop + " is mounted at " + base + "/home/bob, not among your volumes");
    EXPECT_EQ(ask(helper, R"({"op":"unmount","devices":["/dev/loop-control"]})").second,
              "refused: \"/dev/loop-control\" is not a block device");
    helper.closeWriteChannel();
    helper.waitForFinished(5000);  // its namespace, and the mount in it, go with it
    EXPECT_EQ(changes(), "");

    // Among the user's volumes it is unmounted.
    const QString volume = "/media/root/tarnwell-hostile-" + QString::number(getpid());
    QDir().mkpath(volume);
    QProcess again;
    ASSERT_NO_FATAL_FAILURE(start(again, Helper, {"PKEXEC_UID=0"}, "mount '" + loop + "' '" + volume + "' && "));
    EXPECT_EQ(ask(again, R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}").first, "OK");
    // The replace wizard names the new disk as zpool shows it; zpool gets the path that was checked.
    EXPECT_EQ(ask(again, R"({"op":"replace","pool":"tank","devices":["disk3",")" + loop.mid(5).toUtf8() + "\"]}").first,
              "OK");
    again.closeWriteChannel();
    again.waitForFinished(5000);
    QDir().rmdir(volume);
    runTool("/usr/sbin/losetup", {"--detach", loop});
    EXPECT_EQ(changes(), "umount " + loop + "\nzpool replace -f tank disk3 " + loop + "\n");
}

TEST_F(Hostile, ALinkSwappedInDuringTheChecksNeverLeadsAnywhere)
{
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper));
    // The user's folder flips between a folder and a link to /etc while the helper looks.
    const QString flip = base + "/users/flip";
    std::atomic<bool> stop = false;
    std::unique_ptr<QThread> swapper(QThread::create([&] {
        while (!stop) {
            QDir().mkdir(flip);
            QDir().rmdir(flip);
            QFile::link("/etc", flip);
            QFile::remove(flip);
        }
    }));
    swapper->start();
    for (int i = 0; i < 100; ++i) {
        const auto [kind, said] =
            ask(helper, R"({"op":"create","pool":"p","devices":["/dev/disk1"],"options":["-m",")" +
                            flip.toUtf8() + R"(/p"]})");
        EXPECT_EQ(kind, "REFUSED") << i;
        EXPECT_TRUE(said.contains("is not owned by root")) << said.toStdString();
    }
    stop = true;
    swapper->wait();
    EXPECT_EQ(changes(), "");
}

TEST_F(Hostile, DestroyProgramServesOneDestroyOfAnExistingPoolAndEnds)
{
    QProcess one;
    ASSERT_NO_FATAL_FAILURE(start(one, Destroy));
    EXPECT_EQ(ask(one, R"({"op":"export","pool":"tank"})"),
              (std::pair<QByteArray, QString>{"REFUSED", "refused: this program only destroys a pool"}));
    EXPECT_TRUE(one.waitForFinished(5000));  // one request per authorization, whatever it was
    QProcess two;
    ASSERT_NO_FATAL_FAILURE(start(two, Destroy));
    EXPECT_EQ(ask(two, R"({"op":"destroy","pool":"rpool"})").second, "refused: there is no pool \"rpool\"");
    QProcess three;
    ASSERT_NO_FATAL_FAILURE(start(three, Destroy));
    EXPECT_EQ(ask(three, R"({"op":"destroy","pool":"tank"})").first, "OK");
    EXPECT_EQ(changes(), "zpool destroy tank\n");
    EXPECT_TRUE(two.waitForFinished(5000) && three.waitForFinished(5000));
}

TEST_F(Hostile, AnIdleHelperEnds)
{
    QElapsedTimer t;
    t.start();
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper, {"PKEXEC_UID=0", "TARNWELL_HELPER_IDLE_MS=300"}));
    EXPECT_TRUE(helper.waitForFinished(5000));
    EXPECT_LT(t.elapsed(), 5000);
}

// Through the session, as the windows ask: the helper is started once for
// many operations, while each destroy asks again.
TEST_F(Hostile, DestroyAsksForAuthorizationEveryTime)
{
    StandInElevator elevator;
    PrivilegedSession::instance().setElevator(QStringList{elevator.path()} + inNamespace({}).mid(0, 7));
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(RunCMD::runAsAdmin(ZpoolOperation::exportPool("tank"), {}, {}).ok());
        EXPECT_TRUE(RunCMD::runAsAdmin(ZpoolOperation::destroy("tank"), {}, {}).ok());
    }
    EXPECT_EQ(elevator.asked(), 3);
    EXPECT_EQ(changes(), "zpool export tank\nzpool destroy tank\nzpool export tank\nzpool destroy tank\n");
}

TEST(SystemPlaces, APoolOrDiskUnderASystemFolderIsTheSystems)
{
    const LiveChecks::System s = LiveChecks::systemOf({{"rpool/ROOT/debian", "/", "zfs", "rw", 0, "rw"},
                                                       {"bpool/BOOT", "/boot", "zfs", "rw", 0, "rw"},
                                                       {"data", "/data", "zfs", "rw", 0, "rw"},
                                                       {"hpool/home", "/home/alice", "zfs", "rw", 0, "rw"}});
    EXPECT_EQ(s.pools, (QSet<QString>{"rpool", "bpool"}));
}
