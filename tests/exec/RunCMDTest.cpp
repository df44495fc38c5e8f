#include "exec/RunCMD.h"
#include "support/FakeTool.h"
#include "support/LogCapture.h"
#include "support/StandInElevator.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <functional>

#include <unistd.h>

// Tests run as root and without forced elevation, so the administrator
// runners start tools directly here; their helper path has tests of its own.
namespace {
struct RunnerCase { const char* name; std::function<QString(const QString&, const QStringList&)> run; bool capturesStderr; };

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
        elevator.answer("cancel");
        PrivilegedSession::instance().setForceElevation(false);
    }
    void TearDown() override { EXPECT_EQ(elevator.asked(), 0); }  // as root, never elevated
    QString run(const QByteArray& script, const QStringList& args = {})
    {
        return GetParam().run(writeShellScript(dir.path(), "tool", script), args);
    }
    QTemporaryDir dir;
    StandInElevator elevator;
};
}  // namespace

TEST_P(Runners, TextArrivesInByteOrderArgumentsWholeAndFailuresEmpty)
{
    const QString out = run("printf 'out1\\n'; printf 'err1\\n' >&2; printf 'out2\\n'; printf 'err2\\n' >&2\n");
    EXPECT_EQ(out, GetParam().capturesStderr ? "out1\nerr1\nout2\nerr2\n" : "out1\nout2\n");
    // Invalid bytes must not hide the ASCII markers the parsers look for.
    const QString odd = run("printf '\\377\\376no pools available\\303\\n'\n");
    EXPECT_TRUE(odd.contains("no pools available") && odd.contains(QChar(QChar::ReplacementCharacter)));
    qputenv("LC_ALL", "de_DE.UTF-8");
    EXPECT_EQ(run("printf '%s' \"$LC_ALL\"\n"), "C");
    qunsetenv("LC_ALL");

    FakeTool tool("echo");
    const QStringList args = {"a b", "  lead", "", "$(touch x)", "'q' \"d\"", "*", "tail ;"};
    GetParam().run(tool.path(), args);
    EXPECT_EQ(tool.calls(), QList<QStringList>{args});

    {
        LogCapture log;
        EXPECT_EQ(run("exit 3\n"), QString());
        EXPECT_TRUE(log.lines().isEmpty());  // a tool's failure is no failure of ours
    }
    EXPECT_EQ(GetParam().run(dir.filePath("no-such-tool"), {}), QString());
    EXPECT_EQ(GetParam().run(dir.path(), {}), QString());  // a directory
    EXPECT_EQ(GetParam().run("echo", {"hi"}), QString());  // no PATH lookup
}

TEST_P(Runners, NeitherLargeOutputStdinNorADescendantHoldingThePipeHoldsTheRunner)
{
    // 8 MiB on each stream, far beyond any pipe buffer.
    const QString out = run("head -c 8388608 /dev/zero | tr '\\0' a\n"
                            "head -c 8388608 /dev/zero | tr '\\0' b >&2\n");
    const qsizetype mib8 = 8 * 1024 * 1024;
    EXPECT_EQ(out.count('a'), mib8);
    EXPECT_EQ(out.count('b'), GetParam().capturesStderr ? mib8 : 0);
    QElapsedTimer timer;
    timer.start();
    EXPECT_EQ(run("cat; (sleep 4) 2>/dev/null &\necho done\n"), "done\n");
    EXPECT_LT(timer.elapsed(), 3000);
}

INSTANTIATE_TEST_SUITE_P(All, Runners, ::testing::ValuesIn(runners),
                         [](const auto& info) { return std::string(info.param.name); });

// The whole outcome, each way a run can end, and a tool past its limit
// killed with its children.
TEST(ToolResult, EachEndingIsToldApartAndNothingOutlivesTheLimit)
{
    using E = ToolResult::Ending;
    ToolLimits::set(ToolLimits::Kind::Read, 700);
    const struct { const char* script; E ending; int status; const char* failure; const char* excerpt; } cases[] = {
        {"echo out; echo \"cannot open 'tank': no such pool\" >&2; exit 1", E::Exited, 1, "exited with status 1",
         "cannot open 'tank': no such pool"},
        {"exit 3", E::Exited, 3, "exited with status 3", ""},
        {"seq 1 50 >&2; exit 1", E::Exited, 1, "exited with status 1",
         "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n16\n17\n18\n19\n20\n…"},
        {"sleep 86398.$PPID & sleep 5", E::TimedOut, -1, "timed out after 700 ms and was stopped", ""},
        {"head -c 52428800 /dev/zero", E::TooMuchOutput, -1, "printed more than 32 MB and was stopped", ""},
        {"kill -9 $$", E::Crashed, -1, "stopped unexpectedly", ""},
    };
    QTemporaryDir dir;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.script);
        const ToolResult r = RunCMD::run(writeShellScript(dir.path(), "zpool", c.script), {"export", "tank"},
                                         ToolLimits::Kind::Read, ToolProcess::Streams::Separate);
        EXPECT_TRUE(r.ending == c.ending && r.exitStatus == c.status && !r.ok()) << int(r.ending) << " " << r.exitStatus;
        EXPECT_EQ(r.failure(), c.failure);
        EXPECT_EQ(r.errorExcerpt(), c.excerpt);
        EXPECT_TRUE(r.report().startsWith(QStringLiteral("zpool export tank ") + c.failure));
    }
    ToolLimits::set(ToolLimits::Kind::Read, 0);
    EXPECT_EQ(runTool("/usr/bin/pgrep", {"-f", QString("sleep 86398.%1").arg(getpid())}), "");

    const ToolResult missing = RunCMD::run(dir.filePath("no-such-zpool"), {"list"});
    EXPECT_EQ(missing.ending, E::CouldNotStart);
    EXPECT_TRUE(missing.failure().startsWith("could not be started: ")) << qPrintable(missing.failure());
    EXPECT_TRUE(RunCMD::run(writeShellScript(dir.path(), "true", "exit 0"), {}).ok());
}
