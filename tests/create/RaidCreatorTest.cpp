#include "create/RaidCreator.h"

#include "FakeDiskEjector.h"
#include "QtPrinters.h"
#include "app/Notifications.h"
#include "exec/RunCMD.h"
#include "support/FakeTool.h"

#include <gtest/gtest.h>

namespace {
VRLHddInfoPtr disk(std::optional<QString> devPath, const QString& slot = "Slot-A")
{
    auto d = std::make_shared<VRLHddInfo>();
    d->devPath = std::move(devPath);
    d->slotPath = slot;
    return d;
}

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
    RaidCreateRequest request(const QString& name, HddList disks)
    {
        RaidCreateRequest r;
        r.name = name;
        r.disks = std::move(disks);
        r.modeTitle = "STRIPED";
        return r;
    }

    FakeTool zpool{"zpool"};
    FakeTool chown{"chown"};
    RunCMD runner;
    FakeDiskEjector ejector;
    NotificationCenter center;
    RaidCreator creator{runner, ejector, center};
    QStringList posted;
    QStringList lookups;
    bool mountedBefore = false;
    bool createMounts = true;
    const QStringList finished{Notifications::ShowRAIDInfo, Notifications::CreateRAIDFinish};
};
}  // namespace

TEST_F(Creation, HandsTheNewPoolsMountPointToTheUser)
{
    ejector.onEject = [this](const QString&) { EXPECT_TRUE(zpool.calls().isEmpty()); };
    EXPECT_EQ(creator.create(request("tank", {disk("/dev/disk2"), disk("/dev/disk3")})),
              RaidCreator::Outcome::Ran);
    EXPECT_EQ(ejector.ejected, (QStringList{"/dev/disk2", "/dev/disk3"}));
    ASSERT_EQ(zpool.calls().size(), 1);
    EXPECT_EQ(chown.calls(), (QList<QStringList>{{"-R", "alice:users", "/mnt/tank"}}));
    EXPECT_EQ(posted, finished);
}

TEST_F(Creation, NeverChownsOutsideANewPool)
{
    const struct {
        QString name;
        bool mountedBefore;
        bool createMounts;
    } cases[] = {
        {"../../etc", false, true},        // a path, not a pool name
        {"../Users/someone", false, true},
        {"..", false, true},
        {".", false, true},
        {"a/b", false, true},
        {"tank", true, true},   // an existing pool of that name is not ours
        {"tank", false, false},  // zpool failed: nothing mounted
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        zpool.clearCalls();
        posted.clear();
        mountedBefore = c.mountedBefore;
        createMounts = c.createMounts;
        creator.create(request(c.name, {disk("/dev/disk2"), disk("/dev/disk3")}));
        ASSERT_EQ(zpool.calls().size(), 1);
        EXPECT_TRUE(zpool.calls().first().contains(c.name));
        EXPECT_TRUE(chown.calls().isEmpty());
        EXPECT_EQ(posted, finished);  // the attempt is still announced
    }
    // Names that are paths are never even looked up in the mount table.
    EXPECT_EQ(lookups.count("../../etc"), 0);
}
