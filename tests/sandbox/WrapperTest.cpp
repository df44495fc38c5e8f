// The sandbox's zpool wrapper, run in front of a recording fake instead of
// zfs-fuse: what reaches the real tool for each OpenZFS form.
#include "support/QtPrinters.h"
#include "support/FakeTool.h"
#include "support/Sandbox.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class WrapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (geteuid() != 0)
            GTEST_SKIP() << "needs root for /dev links";
        wrapper_ = dir_.filePath(QStringLiteral("zpool"));
        const auto r = Sandbox(QStringLiteral("wrapper")).run(
            {QStringLiteral("wrapper-script"), QStringLiteral("--real"), fake_.path()});
        ASSERT_TRUE(r.ok()) << r.err.toStdString();
        QFile f(wrapper_);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(r.out.toUtf8());
        f.close();
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
        present_ = claimDiskLink();
        gone_ = QStringLiteral("disk%1").arg(present_.mid(4).toInt() + 1);
        ASSERT_FALSE(QFile::exists(QStringLiteral("/dev/") + gone_));
    }
    void TearDown() override
    {
        if (!present_.isEmpty())
            QFile::remove(QStringLiteral("/dev/") + present_);
    }

    // A /dev/diskN that exists for this test only.
    QString claimDiskLink()
    {
        for (int n = 400 + getpid() % 200;; n += 2) {
            const QString name = QStringLiteral("disk%1").arg(n);
            if (QFile::exists(QStringLiteral("/dev/disk%1").arg(n + 1)))
                continue;
            if (symlink("/dev/null", ("/dev/" + name).toLocal8Bit().constData()) == 0)
                return name;
        }
    }

    QStringList lastCall(const QStringList& args)
    {
        fake_.clearCalls();
        runTool(wrapper_, args);
        const auto calls = fake_.calls();
        return calls.isEmpty() ? QStringList{} : calls.last();
    }

    QTemporaryDir dir_;
    FakeTool fake_;
    QString wrapper_;
    QString present_;
    QString gone_;
};

TEST_F(WrapperTest, StatusLosesOnlyTheLOption)
{
    const QList<std::pair<QStringList, QStringList>> cases = {
        {{"status", "-L"}, {"status"}},
        {{"status", "-L", "tank"}, {"status", "tank"}},
        {{"status", "-vL", "tank"}, {"status", "-v", "tank"}},
        {{"status", "-x"}, {"status", "-x"}},
        // A pool whose name has an L keeps it.
        {{"status", "-L", "LabPool"}, {"status", "LabPool"}},
        {{"list"}, {"list"}},
        {{"list", "-L"}, {"list", "-L"}},
    };
    for (const auto& [in, out] : cases)
        EXPECT_EQ(lastCall(in), out) << in.join(' ').toStdString();
}

TEST_F(WrapperTest, ArgumentsAreNeverInterpreted)
{
    const QString marker = dir_.filePath(QStringLiteral("ran"));
    const QStringList hostile = {QStringLiteral("$(touch %1)").arg(marker),
                                 QStringLiteral("`touch %1`").arg(marker), QStringLiteral("a b"),
                                 QStringLiteral("*"), QStringLiteral("")};
    for (const QString& a : hostile) {
        EXPECT_EQ(lastCall({"offline", "tank", a}), (QStringList{"offline", "tank", a}));
        EXPECT_EQ(lastCall({"status", a}), (QStringList{"status", a}));
    }
    EXPECT_FALSE(QFile::exists(marker));
}

}  // namespace
