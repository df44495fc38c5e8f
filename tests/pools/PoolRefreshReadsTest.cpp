#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "pools/PoolRefresh.h"
#include "support/FakeTool.h"
#include "zpool/ZpoolCMD.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

namespace {
// Shell text: mark that this read began, then wait for the others' marks;
// run one after another, the first read waits in vain and fails.
QString meet(const QString& self, const QStringList& others)
{
    QString all;
    for (const QString& o : others)
        all += QStringLiteral(" && [ -f \"$d/began-%1\" ]").arg(o);
    return QStringLiteral("touch \"$d/began-%1\"\n"
                          "for i in $(seq 100); do true%2 && exit 0; sleep 0.05; done\nexit 3\n")
        .arg(self, all);
}

struct Reads {
    FakeTool zpool;
    NotificationCenter center;
    ZpoolCMD cmd{center};
    FixtureRegistry registry{TARNWELL_TEST_DATA "/registry/enclosure-771.json", FixtureRegistry::Watching::Off};
    VRLScanDevice scanner{registry};
    Reads() { cmd.setZpoolPath(zpool.path()); }
};
}  // namespace

TEST(PoolRefreshReads, ListStatusAndDfRunAtTheSameTime)
{
    Reads r;
    r.zpool.setScript("list", meet("list", {"status", "df"}));
    r.zpool.setScript("status", meet("status", {"list", "df"}));
    const QString dir = r.zpool.dir();
    bool dfMet = false;
    r.scanner.setDfRunner([&] {
        QFile(dir + "/began-df").open(QIODevice::WriteOnly);
        for (int i = 0; i < 100 && !dfMet; ++i) {
            dfMet = QFile::exists(dir + "/began-list") && QFile::exists(dir + "/began-status");
            QThread::msleep(50);
        }
        return QString();
    });
    const PoolRefresh::Refreshed fresh = PoolRefresh::refresh(r.cmd, r.scanner, false, true);
    EXPECT_FALSE(fresh.failure) << fresh.failure->report().toStdString();
    EXPECT_TRUE(fresh.listed);
    EXPECT_TRUE(dfMet);
}

TEST(PoolRefreshReads, TheFirstFailureInReadingOrderIsTheOneTold)
{
    // The later read fails first: the order of finishing must not matter.
    const struct {
        const char* listScript;
        const char* statusScript;
        const char* told;
    } cases[] = {
        {"sleep 0.3; echo list broke >&2; exit 3\n", "echo status broke >&2; exit 4\n", "list broke"},
        {"sleep 0.3\n", "echo status broke >&2; exit 4\n", "status broke"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.told);
        Reads r;
        r.zpool.setScript("list", c.listScript);
        r.zpool.setScript("status", c.statusScript);
        const PoolRefresh::Pools pools = PoolRefresh::readPools(r.cmd, false);
        ASSERT_TRUE(pools.failure);
        EXPECT_TRUE(pools.failure->report().contains(QLatin1String(c.told))) << pools.failure->report().toStdString();
    }
}
