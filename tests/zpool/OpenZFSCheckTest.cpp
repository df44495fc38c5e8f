#include "support/ShellScript.h"
#include "zpool/OpenZFSCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>
#include <unistd.h>

// The probes must answer as `ls -l PATH` does, so ls itself is the judge.
TEST(OpenZFSCheck, APathIsThereWhenLsListsIt)
{
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    writeFile(at("file"), {});
    QDir().mkpath(at("folder"));
    for (const auto& [link, target] : {std::pair{"dangling", "nowhere"}, {"link", "file"}, {"loop-a", "loop-b"},
                                       {"loop-b", "loop-a"}})
        ASSERT_EQ(::symlink(target, QFile::encodeName(at(link)).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);
    for (const char* name : {"file", "folder", "fifo", "link", "dangling", "loop-a", "loop-a/x", "file/x", "missing",
                             "missing/x", "dangling/", "dangling/x", "folder/../file", "folder/../missing"}) {
        const bool ls = !runTool("/bin/ls", {"-l", at(name)}).contains("No such file or directory");
        EXPECT_EQ(OpenZFSCheck::listed(at(name)), ls) << name;
    }
    EXPECT_FALSE(OpenZFSCheck::listed(QString()));

    // A zpool of one's own counts where the system has none.
    const OpenZFSProbePaths paths{at("sbin-zpool"), at("file"), at("dev-zfs"), at("socket")};
    EXPECT_EQ(OpenZFSCheck::check(paths).zpoolPath, paths.localZpool);
}
