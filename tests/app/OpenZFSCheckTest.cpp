#include "app/OpenZFSCheck.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

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
    void create(const QString& path)
    {
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }

    QTemporaryDir dir;
    OpenZFSProbePaths paths;
};

struct Outcome {
    const char* name;
    bool sbin, local, dev;
    bool hasOpenZFS, ZFSInstalled;
    const char* zpool;  // "sbin", "local" or ""
};

const Outcome outcomes[] = {
    {"OnlyLocalTool", false, true, true, true, true, "local"},
    {"BothTools", true, true, true, true, true, "sbin"},
    {"ToolWithoutDevice", true, false, false, true, false, "sbin"},
    {"Nothing", false, false, false, false, false, ""},
};

class Outcomes : public Check, public ::testing::WithParamInterface<Outcome> {};
}  // namespace

TEST_P(Outcomes, FollowWhatExists)
{
    const Outcome& o = GetParam();
    if (o.sbin)
        create(paths.sbinZpool);
    if (o.local)
        create(paths.localZpool);
    if (o.dev)
        create(paths.devZfs);
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    EXPECT_EQ(r.hasOpenZFS, o.hasOpenZFS);
    EXPECT_EQ(r.ZFSInstalled, o.ZFSInstalled);
    const QString expected = QString(o.zpool) == "sbin"    ? paths.sbinZpool
                             : QString(o.zpool) == "local" ? paths.localZpool
                                                           : QString();
    EXPECT_EQ(r.zpoolPath, expected);
}

INSTANTIATE_TEST_SUITE_P(Table, Outcomes, ::testing::ValuesIn(outcomes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(Check, ZfsFuseSocketCountsAsTheService)
{
    create(paths.sbinZpool);
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

TEST_F(Check, AnyOtherProbeErrorCountsAsPresent)
{
    // Root may read everything, so a stand-in ls reports the permission error.
    paths.ls = writeShellScript(dir.path(), "ls",
                                "echo \"ls: cannot access '$2': Permission denied\" >&2; exit 2\n");
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    EXPECT_TRUE(r.hasOpenZFS);
    EXPECT_TRUE(r.ZFSInstalled);
    EXPECT_EQ(r.zpoolPath, paths.sbinZpool);
}

TEST_F(Check, TranslatedMessagesCannotFakeAPresentTool)
{
    // An ls that speaks the user's language unless told LC_ALL=C.
    paths.ls = writeShellScript(dir.path(), "ls",
                                "if [ \"$LC_ALL\" = C ]; then m='No such file or directory';\n"
                                "else m='Datei oder Verzeichnis nicht gefunden'; fi\n"
                                "echo \"ls: cannot access '$2': $m\" >&2; exit 2\n");
    qputenv("LC_ALL", "de_DE.UTF-8");
    const OpenZFSResult r = OpenZFSCheck::check(paths);
    qunsetenv("LC_ALL");
    EXPECT_FALSE(r.hasOpenZFS);
    EXPECT_FALSE(r.ZFSInstalled);
}
