// The sandbox's zpool wrapper, run in front of a recording fake instead of
// zfs-fuse: what reaches the real tool for each OpenZFS form.
#include "support/FakeTool.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

namespace {

TEST(SandboxWrapper, StatusLosesOnlyTheLOptionAndArgumentsAreNeverInterpreted)
{
    QTemporaryDir dir;
    FakeTool fake;
    const QString wrapper = dir.filePath("zpool");
    int status = -1;
    const QString script =
        runTool(TARNWELL_SOURCE_DIR "/tools/sandbox", {"wrapper-script", "--real", fake.path()}, &status);
    ASSERT_EQ(status, 0) << script.toStdString();
    ASSERT_TRUE(writeFile(wrapper, script.toUtf8()));
    QFile(wrapper).setPermissions(QFileDevice::ReadOwner | QFileDevice::ExeOwner);

    QList<std::pair<QStringList, QStringList>> cases = {
        {{"status", "-L"}, {"status"}},
        {{"status", "-vL", "tank"}, {"status", "-v", "tank"}},
        {{"status", "-x"}, {"status", "-x"}},
        {{"status", "-L", "LabPool"}, {"status", "LabPool"}},  // a pool whose name has an L keeps it
        {{"list", "-L"}, {"list", "-L"}},
    };
    const QString marker = dir.filePath("ran");
    const QStringList hostile = {"$(touch " + marker + ")", "`touch " + marker + "`", "a b", "*", ""};
    for (const QString& a : hostile)
        cases << std::pair{QStringList{"offline", "tank", a}, QStringList{"offline", "tank", a}}
              << std::pair{QStringList{"status", a}, QStringList{"status", a}};
    for (const auto& [in, out] : cases) {
        fake.clearCalls();
        runTool(wrapper, in);
        const QList<QStringList> calls = fake.calls();  // the last is what the wrapper ran
        EXPECT_EQ(calls.value(calls.size() - 1), out) << in.join(' ').toStdString();
    }
    EXPECT_FALSE(QFile::exists(marker));
}

}  // namespace
