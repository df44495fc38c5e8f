#include "support/ShellScript.h"
#include "zpool/OpenZFSCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

// The four outcomes of the tool and device probes have the main window's
// start-up test; these are the other ways to find them.
TEST(OpenZFSCheck, TheLocalToolCountsTheSystemOneWinsAndZfsFusesSocketIsTheService)
{
    QTemporaryDir dir;
    const OpenZFSProbePaths paths{dir.filePath("sbin/zpool"), dir.filePath("local/zpool"), dir.filePath("dev/zfs"),
                                  dir.filePath("run/zfs_socket")};
    writeFile(paths.localZpool, {});
    EXPECT_EQ(OpenZFSCheck::check(paths).zpoolPath, paths.localZpool);
    writeFile(paths.sbinZpool, {});
    EXPECT_EQ(OpenZFSCheck::check(paths).zpoolPath, paths.sbinZpool);
    EXPECT_FALSE(OpenZFSCheck::check(paths).ZFSInstalled);

    QDir().mkpath(dir.filePath("run"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(paths.zfsFuseSocket);
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    ::close(fd);
    EXPECT_TRUE(r.ZFSInstalled && r.hasOpenZFS);
}

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
}
