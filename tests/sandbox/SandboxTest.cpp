// The sandbox itself against the real zfs-fuse: what it makes, what a pulled
// or inserted disk and an unplugged cable look like in the fixture, and that
// down leaves nothing behind.
#include "app/NotificationCenter.h"
#include "devices/FixtureRegistry.h"
#include "devices/ThunderBoltMonitor.h"
#include "devices/VRLScanDevice.h"
#include "support/Sandbox.h"

#include <QElapsedTimer>
#include <QTest>

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <functional>
#include <unistd.h>

namespace {

// Every registry entry of the fixture with its service-plane path.
struct Entry {
    QString path;
    QJsonObject json;
};

QList<Entry> entries(const QString& fixture)
{
    QFile f(fixture);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<Entry> out;
    std::function<void(const QJsonObject&, const QString&)> walk = [&](const QJsonObject& e,
                                                                       const QString& path) {
        out.append({path, e});
        for (const auto& c : e.value(QStringLiteral("children")).toArray()) {
            const QJsonObject child = c.toObject();
            QString comp = child.value(QStringLiteral("name")).toString();
            if (child.contains(QStringLiteral("location")))
                comp += QLatin1Char('@') + child.value(QStringLiteral("location")).toString();
            walk(child, path.endsWith(QLatin1Char('/')) ? path + comp : path + QLatin1Char('/') + comp);
        }
    };
    walk(QJsonDocument::fromJson(f.readAll()).object().value(QStringLiteral("root")).toObject(),
         QStringLiteral("IOService:/"));
    return out;
}

QList<Entry> ofClass(const QList<Entry>& all, const QString& cls)
{
    QList<Entry> out;
    for (const Entry& e : all)
        if (e.json.value(QStringLiteral("class")).toString() == cls)
            out << e;
    return out;
}

QJsonObject props(const Entry& e) { return e.json.value(QStringLiteral("properties")).toObject(); }

// The external disks: BSD name of the whole-disk media -> path of its disk driver.
QMap<QString, QString> disksByName(const QList<Entry>& all)
{
    QMap<QString, QString> out;
    for (const Entry& d : ofClass(all, QStringLiteral("AppleAHCIDiskDriver"))) {
        if (props(d).value(QStringLiteral("Physical Interconnect Location")).toString() != QLatin1String("External"))
            continue;
        for (const Entry& m : ofClass(all, QStringLiteral("IOMedia")))
            if (m.path.startsWith(d.path + QLatin1Char('/')) && props(m).value(QStringLiteral("Whole")).toBool())
                out[props(m).value(QStringLiteral("BSD Name")).toString()] = d.path;
    }
    return out;
}

// A property as the scanner searches it: on the entry or its nearest ancestor.
QString inherited(const QList<Entry>& all, const QString& path, const QString& key)
{
    QString best;
    qsizetype bestLength = -1;
    for (const Entry& e : all) {
        if ((e.path == path || path.startsWith(e.path + QLatin1Char('/'))) && e.path.size() > bestLength &&
            props(e).contains(key)) {
            best = props(e).value(key).toString();
            bestLength = e.path.size();
        }
    }
    return best;
}

// What the product's scanner finds: "Slot-A /dev/disk300" per disk, enclosures in order.
QStringList scan(Registry& registry)
{
    VRLScanDevice scanner(registry);
    scanner.setDfRunner([] { return QString(); });
    scanner.resetArray(QStringLiteral("RADade"));
    scanner.scanTBDevice();
    QStringList out;
    for (const auto& tb : scanner.tbArray()) {
        out << tb->moduleName.value_or(QStringLiteral("?"));
        for (const auto& h : tb->hddArray)
            out << h->slotPath.value_or(QStringLiteral("-")) + QLatin1Char(' ') + h->devPath.value_or(QString()) +
                       (h->isUnFormated ? QStringLiteral(" blank") : QString());
    }
    return out;
}

bool waitFor(const std::function<bool()>& done, int ms = 5000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms)
        QTest::qWait(20);
    return done();
}

bool linkExists(const QString& disk) { return QFileInfo(QStringLiteral("/dev/") + disk).isSymLink(); }

class SandboxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!Sandbox::canRun())
            GTEST_SKIP() << "needs root and /dev/fuse";
        sandbox_.down();  // whatever an interrupted run left
        wrapperBefore_ = runTool(QStringLiteral("/usr/bin/dpkg-divert"), {QStringLiteral("--list"), QStringLiteral("*zpool")});
    }
    void TearDown() override
    {
        if (!Sandbox::canRun())
            return;
        const auto r = sandbox_.down();
        EXPECT_TRUE(r.ok()) << r.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(sandbox_.stateDir()));
        EXPECT_EQ(runTool(QStringLiteral("/usr/bin/dpkg-divert"), {QStringLiteral("--list"), QStringLiteral("*zpool")}),
                  wrapperBefore_);
    }

    Sandbox sandbox_{QStringLiteral("sandboxtest")};
    QString wrapperBefore_;
};

TEST_F(SandboxTest, TwoEnclosuresDescribeTheirBaysAsTheHardwareDoes)
{
    const auto r = sandbox_.up(2);
    ASSERT_TRUE(r.ok()) << r.err.toStdString();
    EXPECT_EQ(r.out.trimmed(), sandbox_.fixture());

    const auto all = entries(sandbox_.fixture());
    const auto switches = ofClass(all, QStringLiteral("IOThunderboltSwitch"));
    QList<Entry> ours;
    for (const Entry& s : switches)
        if (s.json.value(QStringLiteral("properties")).toObject().value(QStringLiteral("Device Vendor ID")).toInt() == 65)
            ours << s;
    ASSERT_EQ(ours.size(), 2);
    EXPECT_EQ(ours[0].json.value("properties").toObject().value("Device Model ID").toInt(), 771);
    EXPECT_EQ(ours[1].json.value("properties").toObject().value("Device Model ID").toInt(), 782);

    // Each bay's disk sits on the path the bay rules read, and its
    // Thunderbolt Path leads back to its own enclosure's switch.
    const QMap<QString, QString> expect1 = {
        {"Slot-A", "pci-bridge@0/IOPP/pci1b21,612"}, {"Slot-B", "pci-bridge@1/IOPP/pci1b21,612"},
        {"Slot-C", "pci-bridge@2/IOPP/pci1b21,612"}, {"Slot-D", "pci-bridge@3/IOPP/pci1b21,612"}};
    const QMap<QString, QStringList> expect2 = {
        {"Slot-A", {"pci-bridge@0/IOPP/pci1b21,625", "PRT0@0/"}},
        {"Slot-B", {"pci-bridge@0/IOPP/pci1b21,625", "PRT1@1/"}},
        {"Slot-C", {"pci-bridge@3/IOPP/pci1b21,625", "PRT0@0/"}},
        {"Slot-D", {"pci-bridge@3/IOPP/pci1b21,625", "PRT1@1/"}}};
    const auto disks = disksByName(all);
    ASSERT_EQ(disks.size(), 8);
    for (int enc = 1; enc <= 2; ++enc) {
        for (const QString& bay : expect1.keys()) {
            const QString disk = sandbox_.diskIn(bay, enc);
            ASSERT_FALSE(disk.isEmpty()) << bay.toStdString();
            EXPECT_TRUE(linkExists(disk));
            const QString path = disks.value(disk);
            const QStringList needles = enc == 1 ? QStringList{expect1[bay]} : expect2[bay];
            for (const QString& n : needles)
                EXPECT_TRUE(path.contains(n)) << path.toStdString() << " lacks " << n.toStdString();
            const QString tb = inherited(all, path, "Thunderbolt Path");
            EXPECT_EQ(tb.left(tb.lastIndexOf('/')), ours[enc - 1].path);
        }
    }

    // Unplugging the first enclosure leaves the second exactly where it was,
    // so a running Tarnwell sees only the first one go.
    ASSERT_TRUE(sandbox_.run({"unplug", "--enclosure", "1"}).ok());
    const auto after = disksByName(entries(sandbox_.fixture()));
    EXPECT_EQ(after.size(), 4);
    for (const QString& bay : expect1.keys()) {
        const QString disk = sandbox_.diskIn(bay, 2);
        EXPECT_EQ(after.value(disk), disks.value(disk)) << disk.toStdString();
        EXPECT_FALSE(linkExists(sandbox_.diskIn(bay, 1)));
    }
}

TEST_F(SandboxTest, PullInsertUnplugAndPlugChangeLinksAndFixture)
{
    ASSERT_TRUE(sandbox_.up().ok());
    const QString b = sandbox_.diskIn("Slot-B");
    ASSERT_TRUE(sandbox_.pull("B").ok());
    EXPECT_FALSE(linkExists(b));
    EXPECT_FALSE(disksByName(entries(sandbox_.fixture())).contains(b));
    EXPECT_EQ(sandbox_.diskIn("Slot-B"), "");
    EXPECT_FALSE(sandbox_.pull("B").ok()) << "an empty bay cannot be pulled";

    const auto ins = sandbox_.insert("Slot-B");
    ASSERT_TRUE(ins.ok()) << ins.err.toStdString();
    const QString fresh = ins.out.trimmed();
    EXPECT_NE(fresh, b) << "a new disk gets a new name";
    EXPECT_EQ(sandbox_.diskIn("Slot-B"), fresh);
    EXPECT_TRUE(linkExists(fresh));
    const auto all = entries(sandbox_.fixture());
    EXPECT_TRUE(disksByName(all)[fresh].contains("pci-bridge@1/IOPP/pci1b21,612"));
    const auto external = disksByName(all);
    for (const Entry& m : ofClass(all, "IOMedia")) {
        if (external.contains(props(m).value("BSD Name").toString())) {
            EXPECT_EQ(props(m).value("Content").toString(), "") << "blank disks";
        }
    }
    EXPECT_FALSE(sandbox_.insert("B").ok()) << "an occupied bay takes no second disk";

    ASSERT_TRUE(sandbox_.run({"unplug"}).ok());
    const auto unplugged = entries(sandbox_.fixture());
    for (const Entry& e : ofClass(unplugged, "IOPCIDevice"))
        EXPECT_FALSE(e.json.value("name").toString().startsWith("pci1b21")) << e.path.toStdString();
    EXPECT_TRUE(disksByName(unplugged).isEmpty());
    EXPECT_FALSE(linkExists(fresh));

    ASSERT_TRUE(sandbox_.run({"plug"}).ok());
    const auto plugged = entries(sandbox_.fixture());
    int controllers = 0;
    for (const Entry& e : ofClass(plugged, "IOPCIDevice"))
        controllers += e.json.value("name").toString() == "pci1b21,612";
    EXPECT_EQ(controllers, 4);
    EXPECT_EQ(disksByName(plugged).size(), 4);
    EXPECT_TRUE(linkExists(fresh));
}

TEST_F(SandboxTest, TarnwellsScannerAndHotPlugMonitorFollowTheSandbox)
{
    ASSERT_TRUE(sandbox_.up(2).ok());
    FixtureRegistry registry(sandbox_.fixture());
    auto bays = [&](int enc) {
        QStringList l;
        for (const char* b : {"Slot-A", "Slot-B", "Slot-C", "Slot-D"})
            l << QString::fromLatin1(b) + " /dev/" + sandbox_.diskIn(b, enc) + " blank";
        return l;
    };
    QStringList expected = QStringList{"Varnelo Quad TB2"} + bays(1) + QStringList{"Varnelo Quad TB3"} + bays(2);
    EXPECT_EQ(scan(registry), expected);

    NotificationCenter center;
    int attached = 0, detached = 0;
    center.addObserver("TBDeviceAttached", nullptr, [&](const Notification&) { ++attached; });
    center.addObserver("TBDeviceDeattached", nullptr, [&](const Notification&) { ++detached; });
    ThunderBoltMonitor monitor(registry, center);
    monitor.MonitorInit();

    // A pulled disk leaves its bay without a hot-plug event, as in the enclosure.
    ASSERT_TRUE(sandbox_.run({"pull", "C", "--enclosure", "2"}).ok());
    expected.removeAt(8);
    EXPECT_TRUE(waitFor([&] { return scan(registry) == expected; })) << scan(registry).join(", ").toStdString();
    EXPECT_EQ(attached + detached, 0);

    // The cable: one event per SATA controller (two in the second layout).
    ASSERT_TRUE(sandbox_.run({"unplug", "--enclosure", "2"}).ok());
    EXPECT_TRUE(waitFor([&] { return detached == 2; })) << detached;
    EXPECT_EQ(scan(registry), expected.mid(0, 5));
    ASSERT_TRUE(sandbox_.run({"plug", "--enclosure", "2"}).ok());
    EXPECT_TRUE(waitFor([&] { return attached == 2; })) << attached;
    EXPECT_EQ(scan(registry), expected);
    EXPECT_EQ(detached, 2);
}

TEST_F(SandboxTest, PoolsOnItsDisksAreExportedByDownAndThePulledMemberGoesOffline)
{
    ASSERT_TRUE(sandbox_.up().ok());
    const QString pool = QStringLiteral("sbx_lifecycle_%1").arg(getpid());
    const QStringList members = {sandbox_.diskIn("Slot-A"), sandbox_.diskIn("Slot-B"),
                                 sandbox_.diskIn("Slot-C")};
    int rc = -1;
    const QString made = runTool(realZpoolPath(), QStringList{"create", "-f", pool, "raidz"} +
                                                      QStringList{"/dev/" + members[0], "/dev/" + members[1],
                                                                  "/dev/" + members[2]},
                                 &rc);
    ASSERT_EQ(rc, 0) << made.toStdString();

    // The wrapper makes zfs-fuse answer the OpenZFS form.
    const QString st = runTool(realZpoolPath(), {"status", "-L", pool}, &rc);
    EXPECT_EQ(rc, 0) << st.toStdString();

    ASSERT_TRUE(sandbox_.pull("B").ok());
    const QString after = runTool(realZpoolPath(), {"status", "-L", pool});
    EXPECT_TRUE(after.contains(QRegularExpression(members[1] + "\\s+OFFLINE"))) << after.toStdString();
    EXPECT_TRUE(sandbox_.status().value("enclosures").toArray()[0].toObject().value("pulled").toArray()[0]
                    .toObject().value("pool").toString() == pool);

    ASSERT_TRUE(sandbox_.down().ok());
    EXPECT_FALSE(runTool(realZpoolPath(), {"list"}).contains(pool));
    for (const QString& d : members)
        EXPECT_FALSE(QFileInfo::exists("/dev/" + d));
}

}  // namespace
