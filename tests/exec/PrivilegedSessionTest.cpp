#include "exec/PrivilegedSession.h"
#include "exec/RunCMD.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>

// Administrator runs through the real tarnwell-helper, started by a stand-in
// for pkexec: it counts how often it is asked and then cancels (126), fails
// (127) or becomes the helper, as its "mode" file says.
namespace {
class Session : public ::testing::Test {
protected:
    void SetUp() override
    {
        elevator = writeShellScript(dir.path(), "elevator",
                                    "d=$(dirname \"$0\")\n"
                                    "echo x >> \"$d/asked\"\n"
                                    "[ -f \"$d/delay\" ] && sleep \"$(cat \"$d/delay\")\"\n"
                                    "case \"$(cat \"$d/mode\" 2>/dev/null)\" in\n"
                                    "  cancel) exit 126 ;;\n"
                                    "  fail) exit 127 ;;\n"
                                    "esac\n"
                                    "echo $$ > \"$d/pid\"\n"
                                    "PKEXEC_UID=$(id -u) exec \"$@\"\n");
        session().reset();
        session().setForceElevation(true);
        session().setElevator({elevator});
        session().setHelperPath(TARNWELL_BINARY_DIR "/src/tarnwell-helper");
        setMode("run");
    }
    void TearDown() override
    {
        session().reset();
        session().setForceElevation(false);
        session().setElevator({"/usr/bin/pkexec"});
        session().setHelperPath({});
    }

    static PrivilegedSession& session() { return PrivilegedSession::instance(); }
    void setMode(const QByteArray& mode) { write("mode", mode); }
    void write(const QString& name, const QByteArray& text)
    {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    int asked() const
    {
        QFile f(dir.filePath("asked"));
        return f.open(QIODevice::ReadOnly) ? int(f.readAll().count('\n')) : 0;
    }
    // A request the helper allows and whose answer is never empty.
    static QString adminList() { return RunCMD().runCmdAsAdmin("/usr/sbin/zpool", {"list"}); }

    QTemporaryDir dir;
    QString elevator;
};
}  // namespace

TEST_F(Session, CancelThenSuccessAsksTwice)
{
    LogCapture log;
    setMode("cancel");
    EXPECT_EQ(adminList(), "Canceled");
    EXPECT_EQ(log.count("Authorization Canceled"), 1);
    EXPECT_EQ(log.count("Something went wrong"), 0);

    setMode("run");
    EXPECT_FALSE(adminList().isEmpty());
    EXPECT_EQ(asked(), 2);
    EXPECT_EQ(session().authorizationCount(), 2);
    EXPECT_EQ(log.lines().size(), 1);
}

TEST_F(Session, OneAuthorizationServesManyRuns)
{
    LogCapture log;
    for (int i = 0; i < 5; ++i)
        EXPECT_FALSE(adminList().isEmpty()) << i;
    EXPECT_EQ(asked(), 1);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(Session, TwoSimultaneousFirstRunsAskOnce)
{
    write("delay", "0.5");  // the user takes a while with the dialog
    QString first, second;
    QThread* a = QThread::create([&] { first = adminList(); });
    QThread* b = QThread::create([&] { second = adminList(); });
    a->start();
    b->start();
    a->wait();
    b->wait();
    delete a;
    delete b;
    EXPECT_FALSE(first.isEmpty());
    EXPECT_FALSE(second.isEmpty());
    EXPECT_EQ(asked(), 1);
}

TEST_F(Session, ElevatorFailureIsSomethingWentWrong)
{
    LogCapture log;
    setMode("fail");
    EXPECT_EQ(adminList(), QString());
    EXPECT_EQ(log.count("Something went wrong"), 1);
    EXPECT_EQ(log.count("Authorization Canceled"), 0);

    session().setElevator({dir.filePath("no-such-elevator")});
    EXPECT_EQ(adminList(), QString());
    EXPECT_EQ(log.count("Something went wrong"), 2);

    // Nothing was kept: the next run asks again.
    session().setElevator({elevator});
    setMode("run");
    EXPECT_FALSE(adminList().isEmpty());
    EXPECT_EQ(asked(), 2);
}

TEST_F(Session, HelperRefusesWhatTarnwellDoesNotRun)
{
    LogCapture log;
    const QString marker = dir.filePath("ran");
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/bin/sh", {"-c", "touch " + marker}), QString());
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/sbin/zpool", {"destroy", "-f", "tank"}), QString());
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/bin/chown", {"-R", "root:root", "/etc"}), QString());
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(log.count("Something went wrong"), 3);
    // A refusal does not end the session.
    EXPECT_FALSE(adminList().isEmpty());
    EXPECT_EQ(asked(), 1);
}

TEST_F(Session, HelperThatDiedIsStartedAgain)
{
    EXPECT_FALSE(adminList().isEmpty());
    QFile pidFile(dir.filePath("pid"));
    ASSERT_TRUE(pidFile.open(QIODevice::ReadOnly));
    const pid_t pid = pidFile.readAll().trimmed().toInt();
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid, SIGKILL), 0);
    QThread::msleep(200);

    LogCapture log;
    EXPECT_FALSE(adminList().isEmpty());
    EXPECT_EQ(asked(), 2);
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(Session, ArgumentsAndOutputSurviveTheTrip)
{
    // The helper's answer is the tool's stdout, byte for byte: the same text
    // as the tool run directly, its stderr left out.
    const QStringList args = {"list", "no pool \"with\" odd\nname"};
    const QString viaHelper = RunCMD().runCmdAsAdmin("/usr/sbin/zpool", {"status", "-x"});
    const QString direct = RunCMD::runStdoutOnly("/usr/sbin/zpool", {"status", "-x"});
    EXPECT_EQ(viaHelper, direct);
    EXPECT_FALSE(viaHelper.isEmpty());
    LogCapture log;
    // A newline inside an argument cannot split the request line.
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/sbin/zpool", args), QString());
    EXPECT_EQ(log.count("Something went wrong"), 1);  // refused: control character
    EXPECT_FALSE(adminList().isEmpty());
    EXPECT_EQ(asked(), 1);
}

TEST_F(Session, MergedRequestBringsBackTheToolsErrors)
{
    // zpool names a missing pool on stderr only; one session serves both kinds.
    const QStringList args = {"status", "tarnwell-no-such-pool"};
    const QString merged = RunCMD().runCmdAsAdminWithErrors("/usr/sbin/zpool", args);
    EXPECT_TRUE(merged.contains("tarnwell-no-such-pool")) << qPrintable(merged);
    EXPECT_EQ(merged, RunCMD().runCmd("/usr/sbin/zpool", args));
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/sbin/zpool", args), QString());
    EXPECT_EQ(asked(), 1);
}
