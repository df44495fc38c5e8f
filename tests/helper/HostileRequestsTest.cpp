// Hostile requests to the real helper, with stand-ins for zpool and umount
// bind-mounted over the real ones in a private mount namespace: each is
// refused with its reason, and the stand-ins never get to change anything.
#include "exec/HelperProtocol.h"
#include "exec/RunCMD.h"
#include "support/ShellScript.h"
#include "support/StandInElevator.h"
#include "zpool/ZpoolOperation.h"

#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QString Helper = TARNWELL_BINARY_DIR "/src/tarnwell-helper";
const QString Destroy = TARNWELL_BINARY_DIR "/src/tarnwell-destroy";

// A root-owned place below /mnt, where paths may be volume paths, with the
// stand-ins, a log of every change they were asked for, and a disk on a loop device.
class Hostile : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root for a private mount namespace";
        base = QStringLiteral("/mnt/tarnwell-hostile-%1").arg(getpid());
        b = base.toUtf8();
        QDir(base).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(base + "/users") && QDir().mkpath(base + "/shared"));
        ::chmod(b, 0755);
        ::chmod(b + "/shared", 01777);
        ASSERT_EQ(::chown(b + "/users", 65534, 65534), 0);
        writeShellScript(base, "zpool",
                         "case \"$1\" in\n"
                         "  list) [ -e '" + b + "/nolist' ] && exit 1\n"
                         "    printf 'NAME SIZE ALLOC FREE CAP DEDUP HEALTH ALTROOT\\n"
                         "tank 1G 1M 1G 0%% 1.00x ONLINE -\\n'; exit 0 ;;\n"
                         "  status) exit 0 ;;\n"
                         "  import) [ $# -eq 1 ] && { cat '" TARNWELL_SOURCE_DIR
                         "/tests/data/zpool/import-zfsfuse-three-pools.txt'; exit 0; } ;;\n"
                         "esac\n"
                         "echo \"zpool $*\" >> '" + b + "/changes'\n");
        writeFile(base + "/changes", {});
        writeShellScript(base, "umount", "echo \"umount $*\" >> '" + b + "/changes'\n");
        // A world-writable place, a link to a system folder, a link that is not root's.
        writeFile("/dev/shm/tarnwell-hostile", "x");
        ASSERT_TRUE(QFile::link("/etc", base + "/etclink"));
        ASSERT_TRUE(QFile::link("/dev/null", "/dev/tarnwell-hostile-link"));
        ASSERT_EQ(::lchown("/dev/tarnwell-hostile-link", 65534, 65534), 0);
        QFile image(base + "/image");
        ASSERT_TRUE(image.open(QIODevice::WriteOnly) && image.resize(8 << 20));
        image.close();
        loop = runTool("/usr/sbin/losetup", {"--find", "--show", image.fileName()}).trimmed();
        ASSERT_TRUE(loop.startsWith("/dev/loop")) << loop.toStdString();
        runTool("/usr/sbin/mkfs.ext2", {"-q", loop});
    }
    void TearDown() override
    {
        for (QProcess* p : {&helper, &other}) {
            p->closeWriteChannel();
            p->waitForFinished(5000);
        }
        if (!loop.isEmpty())
            runTool("/usr/sbin/losetup", {"--detach", loop});
        if (!base.isEmpty())
            QDir(base).removeRecursively();
        QFile::remove("/dev/shm/tarnwell-hostile");
        QFile::remove("/dev/tarnwell-hostile-link");
        if (madeMediaRoot)
            QDir().rmdir("/media/root");
    }

    // The command that starts `program` with the stand-ins in place; `setup` runs first.
    QStringList inNamespace(const QString& program, const QString& setup = {}) const
    {
        return {"/usr/bin/unshare", "-m", "--propagation", "private", "/bin/sh", "-c",
                setup + "mount --bind '" + base + "/zpool' /usr/sbin/zpool && mount --bind '" + base +
                    "/umount' /usr/bin/umount && exec \"$0\"",
                program};
    }
    void start(QProcess& p, const QString& program = Helper, const QString& uid = "0", const QString& setup = {})
    {
        const QStringList command = inNamespace(program, setup);
        p.setEnvironment({"PATH=/usr/sbin:/usr/bin:/sbin:/bin", "PKEXEC_UID=" + uid});
        p.start(command.first(), command.mid(1));
        ASSERT_TRUE(p.waitForReadyRead(10000));
        ASSERT_EQ(p.readLine().trimmed(), HelperProtocol::Hello);
    }
    // The reply's kind word and its error text.
    static std::pair<QByteArray, QString> ask(QProcess& p, const QByteArray& line)
    {
        p.write(line + '\n');
        while (!p.canReadLine() && p.waitForReadyRead(20000)) {}
        const QList<QByteArray> header = p.readLine().trimmed().split(' ');
        if (header.size() != 4)
            return {"NO ANSWER", {}};
        const qsizetype want = header[2].toLongLong() + header[3].toLongLong();
        while (p.bytesAvailable() < want && p.waitForReadyRead(5000)) {}
        p.read(header[2].toLongLong());
        return {header[0], QString::fromUtf8(p.read(header[3].toLongLong()))};
    }
    static QString said(QProcess& p, const QByteArray& line) { return ask(p, line).second; }
    QString changes() const { return runTool("/bin/cat", {base + "/changes"}); }
    QByteArray create(const QByteArray& options) const
    {
        return R"({"op":"create","pool":"p","devices":[")" + loop.toUtf8() + R"("],"options":[)" + options + "]}";
    }

    QString base, loop;
    QByteArray b;
    QProcess helper, other;
    bool madeMediaRoot = !QFileInfo::exists("/media/root");
};

}  // namespace

TEST_F(Hostile, EveryProbeIsRefusedWithItsReasonAndNothingChanges)
{
    ASSERT_NO_FATAL_FAILURE(start(helper));
    QByteArray many = R"({"op":"offline","pool":"tank","devices":["x")";
    for (int i = 0; i < 256; ++i)
        many += R"(,"x")";
    QByteArray sys = runTool("/usr/bin/findmnt", {"-n", "-o", "SOURCE", "/"}).trimmed().toUtf8();  // the system's disk
    sys = sys.startsWith("/dev/") ? sys : QByteArray();
    writeFile("/media/root/pools_mir/keep", "x");
    const std::pair<QByteArray, QString> rows[] = {
        // No program and no argument list travels: only operations.
        {R"({"path":"/usr/sbin/zpool","args":["destroy","rpool"]})", "\"args\" is not a field"},
        {R"({"op":"set","pool":"tank","options":["sharenfs=on"]})", "\"set\" is not an operation"},
        {R"({"op":"export","pool":"ta\u0001nk"})", "an operand holds control characters"},
        {many + "]}", "too many operands"},
        {R"({"op":"destroy","pool":"rpool"})", "destroy asks for its own authorization"},
        {R"({"op":"import-scan","pool":"tank"})", "the import scan takes no operands"},
        {R"({"op":"export","pool":"tank","devices":["x"]})", "export does not take these operands"},
        {R"({"op":"offline","pool":"rpool","devices":["sda2"]})", "there is no pool \"rpool\""},
        {R"({"op":"replace","pool":"tank","devices":["-f","/dev/null"]})", "is not a member's name"},
        {R"({"op":"detach","pool":"tank","devices":["/dev/../etc/passwd"]})", "is not a member's name"},
        {R"({"op":"replace","pool":"tank","devices":["sda2","/dev/shm/tarnwell-hostile"]})",
         "/dev/shm may be changed by other users"},
        // Create: a name, known options, properties a user sets on a data pool, safe places, free disks.
        {R"({"op":"create","pool":"p"})", "create needs a name, a mode zpool knows and devices"},
        {R"({"op":"create","pool":"-n","devices":["/dev/disk1"]})", "must start with a letter"},
        {R"({"op":"create","pool":"tank","devices":["/dev/disk1"]})", "there is a pool \"tank\" already"},
        {create(R"("-t","x")"), "create does not take -t"},
        {create(R"("-o")"), "-o needs a value"},
        {create(R"("-O","=on")"), "\"=on\" is not property=value"},
        {create(R"("-O","sharenfs=rw=*,no_root_squash")"), "the property sharenfs is not one"},
        {create(R"("-o","cachefile=/etc/x")"), "the property cachefile is not one"},
        {create(R"("-m","/etc")"), "the mount point /etc is a system place"},
        {create(R"("-R","/usr","-m","/p")"), "the mount point /usr/p is a system place"},
        {create(R"("-m",")" + b + R"(/etclink")"), base + "/etclink is a symbolic link"},
        {create(R"("-m",")" + b + R"(/users/p")"), base + "/users is not owned by root"},
        {create(R"("-O","mountpoint=)" + b + R"(/shared/p")"), base + "/shared may be changed by other users"},
        {R"({"op":"create","pool":"p","devices":["/dev/shm/tarnwell-hostile"]})", "/dev/shm may be changed"},
        {R"({"op":"create","pool":"p","devices":["/dev/null"]})", "is not a block device"},
        {R"({"op":"create","pool":"p","devices":["/dev/tarnwell-hostile-link"]})", "is a link that is not root's"},
        {R"({"op":"create","pool":"p","devices":["/dev/../etc/passwd"]})", "is not a device under /dev"},
        {R"({"op":"create","pool":"p","devices":[")" + sys + "\"]}", sys.isEmpty() ? "" : "holds the system"},
        // A pool from elsewhere comes in only when the scan shows it, and never over a folder that holds something.
        {R"({"op":"import"})", "import takes one pool"},
        {R"({"op":"import","pool":"tank"})", "tank is mounted already"},
        {R"({"op":"import","pool":"evil"})", "there is no ejected pool \"evil\""},
        {R"({"op":"import","pool":"pools_mir"})", "/media/root/pools_mir is not empty"},
        {R"({"op":"give","pool":"tank"})", "only a RAID set created in this session"},
        {R"({"op":"unmount"})", "unmount takes one device"},
        {R"({"op":"unmount","devices":["/dev/shm/tarnwell-hostile"]})", "/dev/shm may be changed by other users"},
        {R"({"op":"unmount","devices":["/dev/loop-control"]})", "\"/dev/loop-control\" is not a block device"},
        {R"({"op":"unmount","devices":[")" + sys + "\"]}", sys.isEmpty() ? "" : "holds the system"},
        {R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}", loop + " is not mounted"},
    };
    for (const auto& [request, reason] : rows) {
        SCOPED_TRACE(request.toStdString());
        const auto [kind, text] = ask(helper, request);
        EXPECT_EQ(kind, request.contains("\"args\"") ? "ERROR" : "REFUSED");
        EXPECT_TRUE(text.contains(reason)) << text.toStdString();
    }
    QDir("/media/root/pools_mir").removeRecursively();
    writeFile(base + "/nolist", {});  // zpool list fails
    EXPECT_TRUE(said(helper, R"({"op":"export","pool":"tank"})").contains("zpool could not list the pools"));
    QFile::remove(base + "/nolist");
    EXPECT_EQ(changes(), "");

    // What Tarnwell does ask for still reaches zpool, confined.
    EXPECT_EQ(ask(helper, R"({"op":"export","pool":"tank"})").first, "OK");
    EXPECT_EQ(ask(helper, R"({"op":"import","pool":"pools_mir"})").first, "OK");
    EXPECT_EQ(changes(), "zpool export tank\nzpool import -o nosuid,nodev -R /media/root pools_mir\n");
}

TEST_F(Hostile, WithoutToolsOrAKnownUserNothingRuns)
{
    ::chmod(b + "/umount", 0644);
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper, "3999999"));
    EXPECT_EQ(said(helper, R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}"),
              "refused: umount is not installed");
    EXPECT_EQ(said(helper, R"({"op":"import","pool":"pools_mir"})"), "refused: the user who asked is unknown");
    EXPECT_EQ(ask(helper, create(R"("-m",")" + b + R"(/p")")).first, "OK");
    EXPECT_EQ(said(helper, R"({"op":"give","pool":"p"})"), "refused: the user who asked is unknown");
    ::chmod(b + "/zpool", 0644);
    ASSERT_NO_FATAL_FAILURE(start(other));
    EXPECT_EQ(said(other, R"({"op":"export","pool":"tank"})"), "refused: zpool is not installed");
    EXPECT_TRUE(changes().startsWith("zpool create ") && changes().count('\n') == 1) << changes().toStdString();
}

TEST_F(Hostile, UnmountTakesOnlyTheUsersOwnVolumes)
{
    // Another user's file system, mounted where the user's volumes are not.
    QDir().mkpath(base + "/home/bob");
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper, "0", "mount '" + loop + "' '" + base + "/home/bob' && "));
    EXPECT_EQ(said(helper, R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}"),
              "refused: " + loop + " is mounted at " + base + "/home/bob, not among your volumes");
    helper.closeWriteChannel();
    helper.waitForFinished(5000);  // its namespace, and the mount in it, go with it
    EXPECT_EQ(changes(), "");

    // Among the user's volumes it is unmounted.
    const QString volume = "/media/root/tarnwell-hostile-" + QString::number(getpid());
    QDir().mkpath(volume);
    ASSERT_NO_FATAL_FAILURE(start(other, Helper, "0", "mount '" + loop + "' '" + volume + "' && "));
    EXPECT_EQ(ask(other, R"({"op":"unmount","devices":[")" + loop.toUtf8() + "\"]}").first, "OK");
    // The replace wizard names the new disk as zpool shows it; zpool gets the path that was checked.
    EXPECT_EQ(ask(other, R"({"op":"replace","pool":"tank","devices":["disk3",")" + loop.mid(5).toUtf8() + "\"]}").first,
              "OK");
    // A new pool is given to its user only once it is mounted.
    EXPECT_EQ(ask(other, create(R"("-m",")" + b + R"(/p")")).first, "OK");
    EXPECT_EQ(said(other, R"({"op":"give","pool":"p"})"), "refused: p is not mounted");
    other.closeWriteChannel();
    other.waitForFinished(5000);
    QDir().rmdir(volume);
    EXPECT_TRUE(changes().startsWith("umount " + loop + "\nzpool replace -f tank disk3 " + loop + "\nzpool create ")) << changes().toStdString();
}

TEST_F(Hostile, ALinkSwappedInDuringTheChecksNeverLeadsAnywhere)
{
    ASSERT_NO_FATAL_FAILURE(start(helper));
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
    for (int i = 0; i < 100; ++i)
        EXPECT_TRUE(said(helper, create(R"("-m",")" + flip.toUtf8() + R"(/p")")).contains("is not owned by root")) << i;
    stop = true;
    swapper->wait();
    EXPECT_EQ(changes(), "");
}

TEST_F(Hostile, EachDestroyIsAuthorizedAloneAndAnIdleHelperEnds)
{
    QProcess one, two, three;
    ASSERT_NO_FATAL_FAILURE(start(one, Destroy));
    EXPECT_EQ(said(one, R"({"op":"export","pool":"tank"})"), "refused: this program only destroys a pool");
    EXPECT_TRUE(one.waitForFinished(5000));  // one request per authorization, whatever it was
    ASSERT_NO_FATAL_FAILURE(start(two, Destroy));
    EXPECT_EQ(said(two, R"({"op":"destroy","pool":"rpool"})"), "refused: there is no pool \"rpool\"");
    ASSERT_NO_FATAL_FAILURE(start(three, Destroy));
    EXPECT_EQ(ask(three, R"({"op":"destroy","pool":"tank"})").first, "OK");
    EXPECT_EQ(changes(), "zpool destroy tank\n");
    EXPECT_TRUE(two.waitForFinished(5000) && three.waitForFinished(5000));

    // An idle helper ends by itself.
    ASSERT_NO_FATAL_FAILURE(start(helper, Helper, "0", "export TARNWELL_HELPER_IDLE_MS=300; "));
    EXPECT_TRUE(helper.waitForFinished(4000));

    // Through the session, as the windows ask: the helper is started once for
    // many operations, while each destroy asks again.
    StandInElevator elevator;
    PrivilegedSession::instance().setElevator(QStringList{elevator.path()} + inNamespace({}).mid(0, 7));
    for (int i = 0; i < 2; ++i) {
        EXPECT_TRUE(RunCMD::runAsAdmin(ZpoolOperation::exportPool("tank"), {}, {}).ok());
        EXPECT_TRUE(RunCMD::runAsAdmin(ZpoolOperation::destroy("tank"), {}, {}).ok());
    }
    EXPECT_EQ(elevator.asked(), 3);
    EXPECT_EQ(changes(), "zpool destroy tank\n" + QString("zpool export tank\nzpool destroy tank\n").repeated(2));
}
