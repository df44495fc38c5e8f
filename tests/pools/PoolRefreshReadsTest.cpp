#include "devices/FixtureRegistry.h"
#include "devices/VRLScanDevice.h"
#include "pools/PoolRefresh.h"
#include "support/FakeTool.h"
#include "zpool/ZpoolCMD.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QThread>

// Shell text: mark that this read began, wait for the other reads' marks,
// then `rest`; a read that runs alone waits in vain and fails unheard.
static QString meet(const QString& self, const QString& rest)
{
    return QStringLiteral("touch \"$d/began-%1\"\nfor i in $(seq 100); do\n"
                          "  [ -f \"$d/began-list\" ] && [ -f \"$d/began-status\" ] && [ -f \"$d/began-df\" ] &&"
                          " { %2; }\n"
                          "  sleep 0.05\ndone\nexit 9\n")
        .arg(self, rest);
}

// List, status and df run at the same time; the first failure in reading
// order is the one told, though the later read fails first.
TEST(PoolRefreshReads, RunAtTheSameTimeAndTellTheFirstFailureInReadingOrder)
{
    const struct { const char* list; const char* status; const char* told; } cases[] = {
        {"sleep 0.3; echo list broke >&2; exit 3", "echo status broke >&2; exit 4", "list broke"},
        {"exit 0", "echo status broke >&2; exit 4", "status broke"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.list);
        FakeTool zpool;
        NotificationCenter center;
        ZpoolCMD cmd{center};
        cmd.setZpoolPath(zpool.path());
        FixtureRegistry registry{TARNWELL_TEST_DATA "/registry/enclosure-771.json", FixtureRegistry::Watching::Off};
        VRLScanDevice scanner{registry};
        zpool.setScript("list", meet("list", c.list));
        zpool.setScript("status", meet("status", c.status));
        const QString dir = zpool.dir();
        bool dfMet = false;
        scanner.setDfRunner([&] {
            QFile(dir + "/began-df").open(QIODevice::WriteOnly);
            for (int i = 0; i < 100 && !dfMet; ++i, QThread::msleep(50))
                dfMet = QFile::exists(dir + "/began-list") && QFile::exists(dir + "/began-status");
            return QString();
        });
        const PoolRefresh::Refreshed fresh = PoolRefresh::refresh(cmd, scanner, false, true);
        EXPECT_TRUE(dfMet);
        ASSERT_TRUE(fresh.failure);
        EXPECT_TRUE(fresh.failure->report().contains(QLatin1String(c.told))) << fresh.failure->report().toStdString();
    }
}
