#include "base/Notifications.h"
#include "support/FakeTool.h"
#include "support/StandInElevator.h"
#include "zpool/ZpoolCMD.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QSemaphore>
#include <QThread>

// The worker against a recording stand-in zpool. Tests run as root, so the
// administrator verbs reach the stand-in directly.
namespace {
struct Posted { UserInfo info; QThread* thread; };

UserInfo finish(const QString& verb) { return {{"CMD", verb}, {"isRoot", "YES"}}; }
UserInfo request(const QString& verb, const QString& pool)
{
    return {{"CMD", verb}, {"PoolName", pool}, {"Disk1", ""}, {"Disk2", ""}};
}

class Worker : public ::testing::Test {
protected:
    Worker()
    {
        zpool.setZpoolPath(tool.path());
        center.addObserver(Notifications::ZpoolCMDFinish, nullptr, [this](const Notification& n) {
            QMutexLocker lock(&mutex);
            posted.push_back({n.userInfo, QThread::currentThread()});
        });
    }
    std::vector<Posted> posts() { QMutexLocker lock(&mutex); return posted; }

    FakeTool tool;
    NotificationCenter center;
    ZpoolCMD zpool{center};
    QMutex mutex;
    std::vector<Posted> posted;
};
}  // namespace

TEST_F(Worker, UnknownVerbRunsNothingAndAKnownOneReturnsWhatItsRunnerSawOrCanceled)
{
    for (const char* verb : {"OFFLINE", "list", "EJECT ", "", "CREATE"})
        EXPECT_EQ(zpool.runCMD(verb, "tank", "disk3"), QString()) << verb;
    EXPECT_TRUE(tool.calls().isEmpty());
    EXPECT_TRUE(posts().empty());

    tool.setOutput("list", "NAME SIZE\n");
    tool.setError("list", "warning\n");
    EXPECT_EQ(zpool.runCMD("LIST"), "NAME SIZE\nwarning\n");  // the user runner keeps both
    tool.setOutput("export", "exported\n");
    tool.setError("export", "cannot export\n");
    EXPECT_EQ(zpool.runCMD("EJECT", "tank"), "exported\n");  // the administrator one, stdout

    // A cancelled authorization still posts.
    tool.clearCalls();
    const size_t before = posts().size();
    StandInElevator elevator;
    elevator.answer("cancel");
    EXPECT_EQ(zpool.runCMD("EJECT", "tank"), "Canceled");
    EXPECT_TRUE(tool.calls().isEmpty());
    ASSERT_EQ(posts().size(), before + 1);
    EXPECT_EQ(posts().back().info, finish("EJECT"));
}

TEST_F(Worker, ThreadedRunsTakeTurnsAndAllPostOnTheirOwnThreads)
{
    // Each run logs its start and end around a pause; turns never interleave.
    zpool.setZpoolPath(writeShellScript(tool.dir(), "slow-zpool",
                                        "log=\"$(dirname \"$0\")/turns\"\n"
                                        "echo \"start $*\" >> \"$log\"; sleep 0.2; echo \"end $*\" >> \"$log\"\n"));
    QSemaphore started;
    zpool.setThreadStartHook([&](bool begun) {
        if (begun)
            started.release();
    });
    zpool.startThread(request("EJECT", "a"));
    started.acquire();  // begun, so the next request cannot cancel it
    zpool.startThread(request("DELETE", "b"));
    started.acquire();
    zpool.startThread(request("MOUNT", "c"));
    zpool.waitForThreads();

    QFile f(tool.dir() + "/turns");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "start export a\nend export a\nstart destroy b\nend destroy b\n"
                           "start import c\nend import c\n");
    const auto p = posts();
    ASSERT_EQ(p.size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(p[i].info == finish(QStringList{"EJECT", "DELETE", "MOUNT"}[i]) && p[i].thread != QThread::currentThread());

    {  // destruction waits for its threads
        ZpoolCMD local(center);
        local.setZpoolPath(writeShellScript(tool.dir(), "slow-zpool", "sleep 0.3\n"));
        local.startThread(request("MOUNT", "x"));
    }
    EXPECT_EQ(posts().size(), 4u);
}

TEST_F(Worker, ThreadThatIsCancelledBeforeItBeginsRunsNothing)
{
    QSemaphore entered, gate;
    std::atomic<int> n{0};
    zpool.setThreadStartHook([&](bool begun) {
        if (!begun && n++ == 0) {
            entered.release();
            gate.acquire();
        }
    });
    zpool.startThread(request("EJECT", "a"));
    entered.acquire();
    zpool.startThread(request("MOUNT", "b"));  // cancels the first
    gate.release();
    zpool.waitForThreads();
    EXPECT_EQ(tool.calls(), (QList<QStringList>{{"import", "b"}}));
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0].info, finish("MOUNT"));

    n = 0;
    zpool.startThread(request("DELETE", "c"));
    entered.acquire();
    zpool.stopThread();
    gate.release();
    zpool.waitForThreads();
    EXPECT_TRUE(tool.calls().size() == 1 && posts().size() == 1u);
}
