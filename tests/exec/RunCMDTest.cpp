#include "exec/PrivilegedSession.h"
#include "exec/RunCMD.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <functional>
#include <unistd.h>

// Tests run as root and without forced elevation, so the administrator
// runner starts tools directly here; its helper path has tests of its own.
namespace {
using Runner = std::function<QString(const QString&, const QStringList&)>;

struct RunnerCase {
    const char* name;
    Runner run;
    bool capturesStderr;
};

const RunnerCase runners[] = {
    {"runCmd", [](const QString& p, const QStringList& a) { return RunCMD().runCmd(p, a); }, true},
    {"runStdoutOnly",
     [](const QString& p, const QStringList& a) { return RunCMD::runStdoutOnly(p, a); }, false},
    {"runCmdAsAdmin",
     [](const QString& p, const QStringList& a) { return RunCMD().runCmdAsAdmin(p, a); }, false},
    {"runCmdAsAdminWithErrors",
     [](const QString& p, const QStringList& a) { return RunCMD().runCmdAsAdminWithErrors(p, a); },
     true},
};

class Runners : public ::testing::TestWithParam<RunnerCase> {
protected:
    void SetUp() override
    {
        if (geteuid() != 0 && std::string(GetParam().name).starts_with("runCmdAsAdmin"))
            GTEST_SKIP() << "the direct administrator run needs root";
    }
    QString script(const QByteArray& body) { return writeShellScript(dir.path(), "tool", body); }
    QTemporaryDir dir;
};
}  // namespace

TEST_P(Runners, StreamsInByteOrder)
{
    const QString tool =
        script("printf 'out1\\n'; printf 'err1\\n' >&2; printf 'out2\\n'; printf 'err2\\n' >&2\n");
    const QString expected =
        GetParam().capturesStderr ? "out1\nerr1\nout2\nerr2\n" : "out1\nout2\n";
    EXPECT_EQ(GetParam().run(tool, {}), expected);
}

TEST_P(Runners, FailingSilentToolGivesEmptyTextAndNoLog)
{
    LogCapture log;
    EXPECT_EQ(GetParam().run(script("exit 3\n"), {}), QString());
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_P(Runners, ArgumentsArriveWholeWithoutAShell)
{
    FakeTool tool("echo");
    const QStringList args = {"a b", "  lead", "", "$(touch x)", "'q' \"d\"", "*", "tail ;"};
    GetParam().run(tool.path(), args);
    ASSERT_EQ(tool.calls().size(), 1);
    EXPECT_EQ(tool.calls().first(), args);
}

TEST_P(Runners, LargeOutputDoesNotStallTheTool)
{
    // 8 MiB on each stream, far beyond any pipe buffer.
    const QString tool = script("head -c 8388608 /dev/zero | tr '\\0' a\n"
                                "head -c 8388608 /dev/zero | tr '\\0' b >&2\n");
    const QString out = GetParam().run(tool, {});
    const qsizetype mib8 = 8 * 1024 * 1024;
    EXPECT_EQ(out.count('a'), mib8);
    EXPECT_EQ(out.count('b'), GetParam().capturesStderr ? mib8 : 0);
}

TEST_P(Runners, InvalidUtf8KeepsTheAsciiMarkers)
{
    const QString out =
        GetParam().run(script("printf '\\377\\376no pools available\\303\\n'\n"), {});
    EXPECT_TRUE(out.contains("no pools available"));
    EXPECT_TRUE(out.contains(QChar(QChar::ReplacementCharacter)));
}

TEST_P(Runners, ToolsSeeTheCLocale)
{
    qputenv("LC_ALL", "de_DE.UTF-8");
    const QString out = GetParam().run(script("printf '%s' \"$LC_ALL\"\n"), {});
    qunsetenv("LC_ALL");
    EXPECT_EQ(out, "C");
}

TEST_P(Runners, ToolThatCannotStartGivesEmptyText)
{
    EXPECT_EQ(GetParam().run(dir.filePath("no-such-tool"), {}), QString());
    EXPECT_EQ(GetParam().run(dir.path(), {}), QString());  // a directory
    // Relative paths are not looked up in PATH.
    EXPECT_EQ(GetParam().run("echo", {"hi"}), QString());
}

TEST_P(Runners, ADescendantHoldingThePipeDoesNotHoldTheRunner)
{
    QElapsedTimer timer;
    timer.start();
    const QString out = GetParam().run(script("(sleep 4) 2>/dev/null &\necho done\n"), {});
    EXPECT_LT(timer.elapsed(), 3000);
    EXPECT_EQ(out, "done\n");
}

TEST_P(Runners, StdinIsClosed)
{
    // A tool that reads stdin sees its end at once instead of waiting for us.
    EXPECT_EQ(GetParam().run(script("cat; echo end\n"), {}), "end\n");
}

INSTANTIATE_TEST_SUITE_P(All, Runners, ::testing::ValuesIn(runners),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AdminRunner, AsRootRunsDirectlyWithoutElevator)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root";
    QTemporaryDir dir;
    const QString elevator = writeShellScript(dir.path(), "elevator",
                                              "echo x >> \"$(dirname \"$0\")/asked\"; exit 126\n");
    PrivilegedSession::instance().setElevator({elevator});
    EXPECT_EQ(RunCMD().runCmdAsAdmin("/bin/echo", {"hi"}), "hi\n");
    EXPECT_FALSE(QFile::exists(dir.filePath("asked")));
    EXPECT_EQ(PrivilegedSession::instance().authorizationCount(), 0);
}
