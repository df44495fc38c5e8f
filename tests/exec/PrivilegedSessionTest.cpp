// Administrator runs through the real tarnwell-helper, started by a stand-in
// for pkexec.
#include "exec/RunCMD.h"
#include "zpool/ZpoolOperation.h"
#include "support/LogCapture.h"
#include "support/StandInElevator.h"

#include <gtest/gtest.h>

#include <QThread>

#include <csignal>
#include <future>

namespace {
class Session : public ::testing::Test {
protected:
    // An operation the helper always serves: "ran" once zpool ran.
    static QString adminList()
    {
        const ToolResult r = RunCMD::runAsAdmin(ZpoolOperation::importScan(), "/usr/sbin/zpool", {"import"});
        return r.canceled() ? "Canceled" : r.ending == ToolResult::Ending::Exited ? "ran" : "";
    }
    StandInElevator elevator;
    LogCapture log;
};
}  // namespace

TEST_F(Session, CancelOrAFailedElevatorKeepsNothingAndTheNextRunAsksAgain)
{
    elevator.answer("cancel");
    EXPECT_EQ(adminList(), "Canceled");
    elevator.answer("fail");
    EXPECT_EQ(adminList(), QString());
    PrivilegedSession::instance().setElevator({elevator.path() + "-missing"});
    EXPECT_EQ(adminList(), QString());
    EXPECT_EQ(log.lines(), (QStringList{"Authorization Canceled", "Something went wrong", "Something went wrong"}));

    PrivilegedSession::instance().setElevator({elevator.path()});
    elevator.answer("run");
    EXPECT_EQ(adminList(), "ran");
    EXPECT_EQ(elevator.asked(), 3);
}

// One authorization serves many runs, refusals included; the helper's answer
// carries the exit status and both streams as zpool gave them.
TEST_F(Session, OneAuthorizationServesManyRunsAndRefusesWhatTarnwellDoesNotRun)
{
    const ToolResult direct = RunCMD::run("/usr/sbin/zpool", {"import"}, ToolLimits::Kind::Change,
                                          ToolProcess::Streams::Separate);
    const ToolResult whole = RunCMD::runAsAdmin(ZpoolOperation::importScan(), "/usr/sbin/zpool", {"import"});
    EXPECT_TRUE(whole.ending == ToolResult::Ending::Exited && whole.exitStatus == direct.exitStatus &&
                whole.output == direct.output && whole.errors == direct.errors) << whole.report().toStdString();

    QTemporaryDir dir;
    const QString marker = dir.filePath("ran");
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/bin/sh", {"-c", "touch " + marker}), QString());
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/sbin/zpool", {"destroy", "-f", "tank"}), QString());
    // A newline inside an argument cannot split the request line.
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/usr/sbin/zpool", {"list", "no pool\nname"}), QString());
    EXPECT_FALSE(QFile::exists(marker));
    EXPECT_EQ(log.count("Something went wrong"), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(adminList(), "ran") << i;
    EXPECT_EQ(elevator.asked(), 1);
}

TEST_F(Session, TwoSimultaneousFirstRunsAskOnceAndAHelperThatDiedIsStartedAgain)
{
    elevator.delay("0.5");
    auto first = std::async(std::launch::async, adminList), second = std::async(std::launch::async, adminList);
    EXPECT_EQ(first.get() + second.get(), "ranran");
    EXPECT_EQ(elevator.asked(), 1);

    elevator.delay("0");
    ASSERT_GT(elevator.helperPid(), 0);
    ASSERT_EQ(::kill(elevator.helperPid(), SIGKILL), 0);
    QThread::msleep(200);
    EXPECT_EQ(adminList(), "ran");
    EXPECT_EQ(elevator.asked(), 2);
    EXPECT_TRUE(log.lines().isEmpty());
}
