#include "app/Notifications.h"
#include "exec/PrivilegedSession.h"
#include "exec/ZpoolCMD.h"
#include "support/FakeTool.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QMutex>
#include <QSemaphore>
#include <QThread>

// The worker against a recording stand-in zpool. Tests run as root, so the
// administrator verbs reach the stand-in directly.
namespace {
struct Posted {
    UserInfo info;
    QThread* thread;
};

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
    std::vector<Posted> posts()
    {
        QMutexLocker lock(&mutex);
        return posted;
    }
    static UserInfo finish(const QString& verb, const char* isRoot)
    {
        return {{"CMD", verb}, {"isRoot", isRoot}};
    }

    FakeTool tool;
    NotificationCenter center;
    ZpoolCMD zpool{center};
    QMutex mutex;
    std::vector<Posted> posted;
};

struct VerbCase {
    const char* verb;
    QStringList operands;  // pool, disk1, disk2
    QStringList arguments;
    bool isRoot;
};

const VerbCase verbs[] = {
    {"LIST", {"tank", "disk3", "disk5"}, {"list"}, false},
    {"LIST EJECTED", {}, {"import"}, true},
    {"STATUS", {"tank", "disk3", "disk5"}, {"status", "-L"}, false},
    {"DELETE", {"tank"}, {"destroy", "tank"}, true},
    {"MOUNT", {"tank"}, {"import", "tank"}, true},
    {"EJECT", {"tank", "", ""}, {"export", "tank"}, true},
    {"EJECT", {"my tank"}, {"export", "my tank"}, true},
    {"REPLACE", {"tank", "disk3", "disk5"}, {"replace", "-f", "tank", "disk3", "disk5"}, true},
    {"ONLINE", {"tank", "disk3", "disk5"}, {"online", "tank", "disk3"}, true},
    {"OFFINE", {"tank", "disk3"}, {"offline", "tank", "disk3"}, true},
    {"DETACH", {"tank", "disk3"}, {"detach", "tank", "disk3"}, true},
};

class Verbs : public Worker, public ::testing::WithParamInterface<VerbCase> {};
}  // namespace

TEST_P(Verbs, RunExactlyTheirArgumentsAndPostTheirRights)
{
    const VerbCase& c = GetParam();
    const QStringList ops = c.operands + QStringList{"", "", ""};
    zpool.runCMD(c.verb, ops[0], ops[1], ops[2]);
    ASSERT_EQ(tool.calls().size(), 1);
    EXPECT_EQ(tool.calls().first(), c.arguments);
    // Delivered before runCMD returned, on this thread.
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0].info, finish(c.verb, c.isRoot ? "YES" : "NO"));
    EXPECT_EQ(posts()[0].thread, QThread::currentThread());

    const auto row = ZpoolCMD::rowFor(c.verb, ops[0], ops[1], ops[2]);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->arguments, c.arguments);
    EXPECT_EQ(row->isRoot, c.isRoot);
}

INSTANTIATE_TEST_SUITE_P(Table, Verbs, ::testing::ValuesIn(verbs));

TEST_F(Worker, UnknownVerbRunsAndPostsNothing)
{
    for (const char* verb : {"OFFLINE", "list", "EJECT ", "", "CREATE"}) {
        EXPECT_EQ(zpool.runCMD(verb, "tank", "disk3"), QString()) << verb;
        EXPECT_FALSE(ZpoolCMD::rowFor(verb, "tank", "disk3", {})) << verb;
    }
    EXPECT_TRUE(tool.calls().isEmpty());
    EXPECT_TRUE(posts().empty());
}

TEST_F(Worker, ReturnsWhatTheRunnerOfItsRowSaw)
{
    tool.setOutput("list", "NAME SIZE\n");
    tool.setError("list", "warning\n");
    EXPECT_EQ(zpool.runCMD("LIST"), "NAME SIZE\nwarning\n");  // the user runner keeps both
    tool.setOutput("export", "exported\n");
    tool.setError("export", "cannot export\n");
    EXPECT_EQ(zpool.runCMD("EJECT", "tank"), "exported\n");  // the administrator one, stdout
    EXPECT_EQ(posts().size(), 2u);
}

TEST_F(Worker, ThreadedRunsAllPostOnTheirOwnThreads)
{
    QSemaphore started;
    zpool.setThreadStartHook([&](bool begun) {
        if (begun)
            started.release();
    });
    zpool.startThread({{"CMD", "EJECT"}, {"PoolName", "a"}, {"Disk1", ""}, {"Disk2", ""}});
    started.acquire();  // begun, so the next request cannot cancel it
    zpool.startThread({{"CMD", "DELETE"}, {"PoolName", "b"}, {"Disk1", ""}, {"Disk2", ""}});
    zpool.waitForThreads();

    EXPECT_EQ(tool.calls(), (QList<QStringList>{{"export", "a"}, {"destroy", "b"}}));
    const auto p = posts();
    ASSERT_EQ(p.size(), 2u);
    EXPECT_EQ(p[0].info, finish("EJECT", "YES"));
    EXPECT_EQ(p[1].info, finish("DELETE", "YES"));
    EXPECT_NE(p[0].thread, QThread::currentThread());
    EXPECT_NE(p[1].thread, QThread::currentThread());
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
    zpool.startThread({{"CMD", "EJECT"}, {"PoolName", "a"}});
    entered.acquire();
    zpool.startThread({{"CMD", "MOUNT"}, {"PoolName", "b"}});  // cancels the first
    gate.release();
    zpool.waitForThreads();
    EXPECT_EQ(tool.calls(), (QList<QStringList>{{"import", "b"}}));
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0].info, finish("MOUNT", "YES"));

    n = 0;
    zpool.startThread({{"CMD", "DELETE"}, {"PoolName", "c"}});
    entered.acquire();
    zpool.stopThread();
    gate.release();
    zpool.waitForThreads();
    EXPECT_EQ(tool.calls().size(), 1);
    EXPECT_EQ(posts().size(), 1u);
}

TEST_F(Worker, ThreadedRunsTakeTurnsInOrder)
{
    // Each run logs its start and end around a pause; turns never interleave.
    const QString slow = writeShellScript(tool.dir(), "slow-zpool",
                                          "log=\"$(dirname \"$0\")/turns\"\n"
                                          "echo \"start $2\" >> \"$log\"\n"
                                          "sleep 0.2\n"
                                          "echo \"end $2\" >> \"$log\"\n");
    zpool.setZpoolPath(slow);
    QSemaphore started;
    zpool.setThreadStartHook([&](bool begun) {
        if (begun)
            started.release();
    });
    for (const char* pool : {"a", "b", "c"}) {
        zpool.startThread({{"CMD", "EJECT"}, {"PoolName", pool}});
        started.acquire();  // begun, though perhaps still waiting for its turn
    }
    zpool.waitForThreads();
    QFile f(tool.dir() + "/turns");
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "start a\nend a\nstart b\nend b\nstart c\nend c\n");
    EXPECT_EQ(posts().size(), 3u);
}

TEST_F(Worker, DestructionWaitsForItsThreads)
{
    const QString slow = writeShellScript(tool.dir(), "slow-zpool", "sleep 0.3\n");
    {
        ZpoolCMD local(center);
        local.setZpoolPath(slow);
        local.startThread({{"CMD", "MOUNT"}, {"PoolName", "x"}});
    }
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0].info, finish("MOUNT", "YES"));
}

TEST_F(Worker, CancelledAuthorizationStillPosts)
{
    PrivilegedSession& session = PrivilegedSession::instance();
    session.reset();
    session.setForceElevation(true);
    session.setElevator({writeShellScript(tool.dir(), "elevator", "exit 126\n")});
    const QString out = zpool.runCMD("EJECT", "tank");
    session.reset();
    session.setForceElevation(false);

    EXPECT_EQ(out, "Canceled");
    EXPECT_TRUE(tool.calls().isEmpty());
    ASSERT_EQ(posts().size(), 1u);
    EXPECT_EQ(posts()[0].info, finish("EJECT", "YES"));
}
