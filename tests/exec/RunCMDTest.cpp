#include "exec/RunCMD.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/StandInElevator.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <functional>

// Tests run as root and without forced elevation, so the administrator
// runners start tools directly here; their helper path has tests of its own.
namespace {
struct RunnerCase {
    const char* name;
    std::function<QString(const QString&, const QStringList&)> run;
    bool capturesStderr;
};

const RunnerCase runners[] = {
    {"runCmd", [](const QString& p, const QStringList& a) { return RunCMD().runCmd(p, a); }, true},
    {"runStdoutOnly", [](const QString& p, const QStringList& a) { return RunCMD::runStdoutOnly(p, a); }, false},
    {"runCmdAsAdmin", [](const QString& p, const QStringList& a) { return RunCMD().runCmdAsAdmin(p, a); }, false},
    {"runCmdAsAdminWithErrors",
     [](const QString& p, const QStringList& a) { return RunCMD().runCmdAsAdminWithErrors(p, a); }, true},
};

class Runners : public ::testing::TestWithParam<RunnerCase> {
protected:
    void SetUp() override
    {
        if (geteuid() != 0 && std::string(GetParam().name).starts_with("runCmdAsAdmin"))
            GTEST_SKIP() << "the direct administrator run needs root";
    }
    QString run(const QByteArray& script, const QStringList& args = {})
    {
        return GetParam().run(writeShellScript(dir.path(), "tool", script), args);
    }
    QTemporaryDir dir;
};
}  // namespace

TEST_P(Runners, StreamsInByteOrder)
{
    const QString out = run("printf 'out1\\n'; printf 'err1\\n' >&2; printf 'out2\\n'; printf 'err2\\n' >&2\n");
    EXPECT_EQ(out, GetParam().capturesStderr ? "out1\nerr1\nout2\nerr2\n" : "out1\nout2\n");
}

TEST_P(Runners, SilentFailureOrNoToolGivesEmptyText)
{
    {
        LogCapture log;
        EXPECT_EQ(run("exit 3\n"), QString());
        EXPECT_TRUE(log.lines().isEmpty());  // a tool's failure is no failure of ours
    }
    EXPECT_EQ(GetParam().run(dir.filePath("no-such-tool"), {}), QString());
    EXPECT_EQ(GetParam().run(dir.path(), {}), QString());  // a directory
    EXPECT_EQ(GetParam().run("echo", {"hi"}), QString());  // no PATH lookup
}

TEST_P(Runners, ArgumentsArriveWholeWithoutAShell)
{
    FakeTool tool("echo");
    const QStringList args = {"a b", "  lead", "", "$(touch x)", "'q' \"d\"", "*", "tail ;"};
    GetParam().run(tool.path(), args);
    EXPECT_EQ(tool.calls(), QList<QStringList>{args});
}

TEST_P(Runners, LargeOutputDoesNotStallTheTool)
{
    // 8 MiB on each stream, far beyond any pipe buffer.
    const QString out = run("head -c 8388608 /dev/zero | tr '\\0' a\n"
                            "head -c 8388608 /dev/zero | tr '\\0' b >&2\n");
    const qsizetype mib8 = 8 * 1024 * 1024;
    EXPECT_EQ(out.count('a'), mib8);
    EXPECT_EQ(out.count('b'), GetParam().capturesStderr ? mib8 : 0);
}

TEST_P(Runners, Utf8TextInTheCLocale)
{
    // Invalid bytes must not hide the ASCII markers the parsers look for.
    const QString out = run("printf '\\377\\376no pools available\\303\\n'\n");
    EXPECT_TRUE(out.contains("no pools available"));
    EXPECT_TRUE(out.contains(QChar(QChar::ReplacementCharacter)));
    qputenv("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(run("printf '%s' \"$LC_ALL\"\n"), "C");
    qunsetenv("LC_ALL");
}

TEST_P(Runners, NeitherStdinNorADescendantHoldingThePipeHoldsTheRunner)
{
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(run("cat; (sleep 4) 2>/dev/null &\necho done\n"), "done\n");
    EXPECT_LT(timer.elapsed(), 3000);
}

INSTANTIATE_TEST_SUITE_P(All, Runners, ::testing::ValuesIn(runners),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AdminRunner, AsRootRunsDirectlyWithoutElevator)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    StandInElevator elevator;
    elevator.answer("cancel");
    PrivilegedSession::instance().setForceElevation(false);
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/bin/echo", {"hi"}), "hi\n");
    EXPECT_EQ(elevator.asked(), 0);
}
