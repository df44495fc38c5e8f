#include "support/ShellScript.h"
#include "zpool/OpenZFSCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

// The four outcomes of the tool and device probes have the main window's
// start-up test; these are the other ways to find them.
namespace {
class Check : public ::testing::Test {
protected:
    Check()
    {
        paths.sbinZpool = dir.filePath("sbin/zpool");
        paths.localZpool = dir.filePath("local/zpool");
        paths.devZfs = dir.filePath("dev/zfs");
        paths.zfsFuseSocket = dir.filePath("run/zfs_socket");
    }
    QTemporaryDir dir;
    OpenZFSProbePaths paths;
};
}  // namespace

TEST_F(Check, TheLocalToolCountsAndTheSystemOneWins)
{
    writeFile(paths.devZfs, {});
    writeFile(paths.localZpool, {});
    EXPECT_EQ(OpenZFSCheck::check(paths).zpoolPath, paths.localZpool);
    writeFile(paths.sbinZpool, {});
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    EXPECT_TRUE(r.hasOpenZFS && r.ZFSInstalled);
    EXPECT_EQ(r.zpoolPath, paths.sbinZpool);
}

TEST_F(Check, ZfsFuseSocketCountsAsTheService)
{
    writeFile(paths.sbinZpool, {});
    QDir().mkpath(dir.filePath("run"));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray path = QFile::encodeName(paths.zfsFuseSocket);
    ASSERT_LT(size_t(path.size()), sizeof(address.sun_path));
    memcpy(address.sun_path, path.constData(), size_t(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    ::close(fd);
    EXPECT_TRUE(r.ZFSInstalled);
    EXPECT_TRUE(r.hasOpenZFS);
}
