// The sandbox itself against the real zfs-fuse: what it makes, what a pulled
// or inserted disk and an unplugged cable look like in the fixture, and that
// down leaves nothing behind.
#include "support/Sandbox.h"

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

// BSD name -> service-plane path of the disk driver above it.
QMap<QString, QString> disksByName(const QList<Entry>& all)
{
    QMap<QString, QString> out;
    for (const Entry& e : ofClass(all, QStringLiteral("IOMedia"))) {
        const QString bsd = e.json.value(QStringLiteral("properties")).toObject().value(QStringLiteral("BSD Name")).toString();
        out[bsd] = e.path.left(e.path.indexOf(QStringLiteral("/AppleAHCIDiskDriver")) + 20);
    }
    return out;
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
    const auto drivers = ofClass(all, QStringLiteral("AppleAHCIDiskDriver"));
    ASSERT_EQ(drivers.size(), 8);
    for (int enc = 1; enc <= 2; ++enc) {
        for (const QString& bay : expect1.keys()) {
            const QString disk = sandbox_.diskIn(bay, enc);
            ASSERT_FALSE(disk.isEmpty()) << bay.toStdString();
            EXPECT_TRUE(linkExists(disk));
            const QString path = disks.value(disk);
            const QStringList needles = enc == 1 ? QStringList{expect1[bay]} : expect2[bay];
            for (const QString& n : needles)
                EXPECT_TRUE(path.contains(n)) << path.toStdString() << " lacks " << n.toStdString();
            for (const Entry& d : drivers) {
                if (d.path != path)
                    continue;
                const QJsonObject p = d.json.value("properties").toObject();
                const QString tb = p.value("Thunderbolt Path").toString();
                EXPECT_EQ(tb.left(tb.lastIndexOf('/')), ours[enc - 1].path);
                EXPECT_EQ(p.value("Physical Interconnect Location").toString(), "External");
            }
        }
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
    for (const Entry& m : ofClass(all, "IOMedia"))
        EXPECT_EQ(m.json.value("properties").toObject().value("Content").toString(), "") << "blank disks";
    EXPECT_FALSE(sandbox_.insert("B").ok()) << "an occupied bay takes no second disk";

    ASSERT_TRUE(sandbox_.run({"unplug"}).ok());
    const auto unplugged = entries(sandbox_.fixture());
    for (const Entry& e : ofClass(unplugged, "IOPCIDevice"))
        EXPECT_FALSE(e.json.value("name").toString().startsWith("pci1b21")) << e.path.toStdString();
    EXPECT_TRUE(ofClass(unplugged, "AppleAHCIDiskDriver").isEmpty());
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
