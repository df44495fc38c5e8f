#include "support/ShellScript.h"
#include "zpool/OpenZFSCheck.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

// The probes must answer as `ls -l PATH` does, so ls itself is the judge.
namespace {
bool lsLists(const QString& path)
{
    return !runTool(QStringLiteral("/bin/ls"), {QStringLiteral("-l"), path})
                .contains(QLatin1String("No such file or directory"));
}
}  // namespace

TEST(OpenZFSProbe, AnswersAsLsDoes)
{
    QTemporaryDir dir;
    const auto at = [&dir](const char* name) { return dir.filePath(QString::fromLatin1(name)); };
    writeFile(at("file"), {});
    QDir().mkpath(at("folder"));
    ASSERT_EQ(::symlink("nowhere", QFile::encodeName(at("dangling")).constData()), 0);
    ASSERT_EQ(::symlink("file", QFile::encodeName(at("link")).constData()), 0);
    ASSERT_EQ(::symlink("loop-b", QFile::encodeName(at("loop-a")).constData()), 0);
    ASSERT_EQ(::symlink("loop-a", QFile::encodeName(at("loop-b")).constData()), 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(at("fifo")).constData(), 0600), 0);

    const struct {
        const char* name;
        bool present;
    } cases[] = {
        {"file", true},         {"folder", true},        {"fifo", true},
        {"link", true},         {"dangling", true},      {"loop-a", true},
        {"loop-a/x", true},     {"file/x", true},        {"missing", false},
        {"missing/x", false},   {"dangling/", false},    {"dangling/x", false},
        {"folder/../file", true}, {"folder/../missing", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(lsLists(at(c.name)), c.present) << "the table is wrong about ls";
        EXPECT_EQ(OpenZFSCheck::listed(at(c.name)), c.present);
    }
    EXPECT_FALSE(OpenZFSCheck::listed(QString()));
}

TEST(OpenZFSProbe, APermissionErrorIsPresent)
{
    QTemporaryDir dir;
    const QString locked = dir.filePath(QStringLiteral("locked"));
    QDir().mkpath(locked);
    ::chmod(QFile::encodeName(locked).constData(), 0);
    const QString inside = locked + QStringLiteral("/zpool");
    // Root is never refused: the probe runs as nobody, in a child.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::getuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        struct stat st;
        if (::lstat(QFile::encodeName(inside).constData(), &st) == 0 || errno != EACCES)
            ::_exit(4);
        ::_exit(OpenZFSCheck::listed(inside) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become nobody";
    ASSERT_NE(WEXITSTATUS(status), 4) << "the probe path gave no permission error";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
