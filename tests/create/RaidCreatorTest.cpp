#include "create/RaidCreator.h"

#include "base/Notifications.h"
#include "exec/RunCMD.h"
#include "support/FakeTool.h"
#include "support/QtPrinters.h"
#include "support/RecordingEjector.h"

#include <gtest/gtest.h>

namespace {
struct Creation : ::testing::Test {
    Creation()
    {
        creator.setZpoolPath(zpool.path());
        creator.setChownPath(chown.path());
        creator.setOwner("alice:users");
        // The pool is mounted once zpool has run, unless a test says otherwise.
        creator.setMountPointLookup([this](const QString& name) -> std::optional<QString> {
            lookups << name;
            if (mountedBefore || (!zpool.calls().isEmpty() && createMounts))
                return "/mnt/" + name;
            return std::nullopt;
        });
        for (const QString& n : {Notifications::NoVolumeNameOfRAID, Notifications::ShowRAIDInfo,
                                 Notifications::CreateRAIDFinish})
            center.addObserver(n, nullptr, [this](const Notification& note) { posted << note.name; });
    }
    RaidCreator::Outcome create(const QString& name)
    {
        HddList disks;
        for (const char* path : {"/dev/disk2", "/dev/disk3"}) {
            disks << std::make_shared<VRLHddInfo>();
            disks.last()->devPath = path;
        }
        RaidCreateRequest r;
        r.name = name;
        r.disks = disks;
        r.modeTitle = "STRIPED";
        return creator.create(r).outcome;
    }

    FakeTool zpool{"zpool"};
    FakeTool chown{"chown"};
    RunCMD runner;
    RecordingEjector ejector;
    NotificationCenter center;
    RaidCreator creator{runner, ejector, center};
    QStringList posted;
    QStringList lookups;
    bool mountedBefore = false;
    bool createMounts = true;
    const QStringList finished{Notifications::ShowRAIDInfo, Notifications::CreateRAIDFinish};
};
}  // namespace

// The new pool's mount point, and nothing else, goes to the user after the disks left the desktop.
TEST_F(Creation, HandsOnlyTheNewPoolsMountPointToTheUser)
{
    ejector.onEject = [this](const QString&) { EXPECT_TRUE(zpool.calls().isEmpty()); };
    EXPECT_EQ(create("tank"), RaidCreator::Outcome::Created);
    EXPECT_EQ(ejector.calls(), (QStringList{"/dev/disk2", "/dev/disk3"}));
    EXPECT_EQ(chown.calls(), (QList<QStringList>{{"-R", "alice:users", "/mnt/tank"}}));

    ejector.onEject = {};
    const struct { QString name; bool mountedBefore, createMounts; } cases[] = {
        {"../../etc", false, true},  // a path, not a pool name
        {"..", false, true},
        {"tank", true, true},    // an existing pool of that name is not ours
        {"tank", false, false},  // zpool failed: nothing mounted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        zpool.clearCalls();
        chown.clearCalls();
        posted.clear();
        mountedBefore = c.mountedBefore;
        createMounts = c.createMounts;
        create(c.name);
        EXPECT_TRUE(chown.calls().isEmpty());
        // Not a pool name: nothing runs at all; else the attempt is still announced.
        EXPECT_EQ(zpool.calls().size(), c.name == "tank" ? 1 : 0);
        EXPECT_EQ(posted, c.name == "tank" ? finished : QStringList());
    }
    // Names that are paths are never even looked up in the mount table.
    EXPECT_EQ(lookups.count("../../etc"), 0);
}
