// Tarnwell runs non-dumpable, so another process of the same user cannot
// reach its pipes to the privileged helper through /proc/<pid>/fd.
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(Session, TarnwellsDescriptorsAreNotTheUsersToReach)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root to run Tarnwell as another user";
    QTemporaryDir home;
    ASSERT_EQ(::chown(QFile::encodeName(home.path()).constData(), 65534, 65534), 0);
    QProcess tarnwell;
    tarnwell.setEnvironment({"HOME=" + home.path(), "QT_QPA_PLATFORM=offscreen", "PATH=/usr/bin:/bin"});
    tarnwell.start("/usr/bin/setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups",
                                        TARNWELL_BINARY_DIR "/src/tarnwell"});
    ASSERT_TRUE(tarnwell.waitForStarted());
    const QString proc = "/proc/" + QString::number(tarnwell.processId());
    // Once it runs as the window, which `tarnwell` becomes, its /proc entries belong to root, not to its user.
    struct stat st {};
    bool started = false, guarded = false;
    for (QDeadlineTimer t(10000); !t.hasExpired() && !guarded; QThread::msleep(50)) {
        started = started || QFile::symLinkTarget(proc + "/exe").endsWith("/tarnwell-gui");
        guarded = started && ::stat(QFile::encodeName(proc + "/fd").constData(), &st) == 0 && st.st_uid == 0;
    }
    EXPECT_TRUE(started && guarded) << "started: " << started << ", owner of its fds: " << st.st_uid;
    tarnwell.kill();
    tarnwell.waitForFinished();
}
