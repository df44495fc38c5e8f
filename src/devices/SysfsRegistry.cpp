#include "devices/SysfsRegistry.h"

#include "base/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>
#include <QtEndian>

#include <libudev.h>

#include <algorithm>
#include <vector>

namespace {
// A burst of hot-plug events (a whole enclosure) becomes one rebuild.
constexpr int kDebounceMs = 300;
const QString kUpAdapter = QStringLiteral("/IOThunderboltPCIUpAdapter");
constexpr qint64 kMakerVendor = 65;

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.read(4096)).trimmed();
}

std::optional<qint64> readHex(const QString& path)
{
    QString t = readText(path);
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    bool ok = false;
    const qint64 v = t.toLongLong(&ok, 16);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QStringList subdirs(const QString& dir, const QRegularExpression& pattern)
{
    QStringList names;
    const QStringList all = QDir(dir).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& n : all)
        if (pattern.match(n).hasMatch())
            names.append(n);
    return names;
}

int trailingNumber(const QString& s)
{
    qsizetype i = s.size();
    while (i > 0 && s[i - 1].isDigit())
        --i;
    return s.mid(i).toInt();
}

void sortByTrailingNumber(QStringList& names)
{
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        return trailingNumber(a) < trailingNumber(b);
    });
}

// ---- Thunderbolt routers ----

struct Router {
    int domain = 0;
    quint64 route = 0;
    int depth = 0;
    QString dir;
    qint64 vendor = 0;
    qint64 device = 0;
    bool authorized = false;
    int entry = -1;

    QString name() const { return nameOf(domain, route); }
    static QString nameOf(int domain, quint64 route) { return QStringLiteral("%1-%2").arg(domain).arg(route, 0, 16); }
    bool isEnclosureModel() const
    {
        static const QList<qint64> models{771, 774, 782, 567, 568};
        return vendor == kMakerVendor && models.contains(device);
    }
};

int routeDepth(quint64 route)
{
    int d = 0;
    for (; route; route >>= 8)
        ++d;
    return d;
}

quint64 parentRoute(quint64 route, int depth)
{
    return depth <= 1 ? 0 : route & ((quint64(1) << (8 * (depth - 1))) - 1);
}

// The kernel writes a ROM UID into unique_id as two little-endian words
// followed by eight 0xff bytes. Other UUIDs (fused into newer routers, or
// made up by the host) carry no ROM UID.
std::optional<qint64> uidFromUniqueId(const QString& text)
{
    static const QRegularExpression uuid(
        QStringLiteral("^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$"),
        QRegularExpression::CaseInsensitiveOption);
    if (!uuid.match(text).hasMatch())
        return std::nullopt;
    const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
    if (bytes.mid(8) != QByteArray(8, '\xff'))
        return std::nullopt;
    return qint64(qFromLittleEndian<quint64>(bytes.constData()));
}

QString ueventValue(const QString& dir, const QString& key)
{
    const QStringList lines = readText(dir + QStringLiteral("/uevent")).split(QLatin1Char('\n'));
    for (const QString& l : lines)
        if (l.startsWith(key + QLatin1Char('=')))
            return l.mid(key.size() + 1);
    return QString();
}

// Routers only: XDomain peers (other computers on the cable) share the name
// pattern and are told apart by their device type alone.
std::vector<Router> readRouters(const QString& sysRoot)
{
    static const QRegularExpression name(QStringLiteral("^(\\d+)-([0-9a-f]+)$"));
    const QString base = sysRoot + QStringLiteral("/bus/thunderbolt/devices");
    std::vector<Router> routers;
    const QStringList all = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& n : all) {
        const auto m = name.match(n);
        Router r;
        r.dir = base + QLatin1Char('/') + n;
        if (!m.hasMatch() || ueventValue(r.dir, QStringLiteral("DEVTYPE")) != QLatin1String("thunderbolt_device"))
            continue;
        r.domain = m.captured(1).toInt();
        r.route = m.captured(2).toULongLong(nullptr, 16);
        r.depth = routeDepth(r.route);
        r.vendor = readHex(r.dir + QStringLiteral("/vendor")).value_or(0);
        r.device = readHex(r.dir + QStringLiteral("/device")).value_or(0);
        r.authorized = readText(r.dir + QStringLiteral("/authorized")).toInt() > 0;
        routers.push_back(r);
    }
    std::sort(routers.begin(), routers.end(), [](const Router& a, const Router& b) {
        return std::tie(a.domain, a.depth, a.route) < std::tie(b.domain, b.depth, b.route);
    });
    return routers;
}

// ---- PCI functions ----

struct PciNode {
    QString dir;
    QString address;
    qint64 vendor = 0;
    qint64 device = 0;
    qint64 classCode = 0;
    int deviceNumber = 0;
    int function = 0;
    bool removable = false;
    bool tunnelled = false;  // below a host's Thunderbolt port
    QStringList suppliers;   // PCI addresses this function has a device link to
    QString thunderboltPath;
    PciNode* parent = nullptr;
    std::vector<PciNode> children;

    bool isBridge() const
    {
        const qint64 sub = classCode >> 8;
        return sub == 0x0604 || sub == 0x0609;
    }
    bool isSata() const { return (classCode >> 8) == 0x0106; }
    // "dddd:bb" of the bus behind a bridge, from the functions on it.
    QString secondaryBus() const { return children.empty() ? QString() : children.front().address.left(7); }
    // The first function behind a port if it is a bridge: a device's PCIe upstream port.
    PciNode* upstreamPortBelow()
    {
        return !children.empty() && children.front().isBridge() ? &children.front() : nullptr;
    }
};

std::vector<PciNode> readPci(const QString& dir)
{
    static const QRegularExpression address(
        QStringLiteral("^[0-9a-f]{4}:[0-9a-f]{2}:([0-9a-f]{2})\\.([0-7])$"));
    std::vector<PciNode> nodes;
    QStringList names = subdirs(dir, address);
    names.sort();
    for (const QString& n : std::as_const(names)) {
        const auto m = address.match(n);
        PciNode node;
        node.dir = dir + QLatin1Char('/') + n;
        node.address = n;
        node.vendor = readHex(node.dir + QStringLiteral("/vendor")).value_or(0);
        node.device = readHex(node.dir + QStringLiteral("/device")).value_or(0);
        node.classCode = readHex(node.dir + QStringLiteral("/class")).value_or(0);
        node.deviceNumber = m.captured(1).toInt(nullptr, 16);
        node.function = m.captured(2).toInt();
        node.removable = readText(node.dir + QStringLiteral("/removable")) == QLatin1String("removable");
        const QStringList links = QDir(node.dir).entryList({QStringLiteral("supplier:pci:*")},
                                                           QDir::AllEntries | QDir::System);
        for (const QString& l : links)
            node.suppliers << l.mid(13);
        node.children = readPci(node.dir);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

void linkParents(PciNode& node, QHash<QString, PciNode*>& byDir)
{
    byDir.insert(node.dir, &node);
    for (PciNode& c : node.children) {
        c.parent = &node;
        linkParents(c, byDir);
    }
}

void forEachNode(PciNode& node, const std::function<void(PciNode&)>& f)
{
    f(node);
    for (PciNode& c : node.children)
        forEachNode(c, f);
}

bool isMakerController(const PciNode& n)
{
    return n.vendor == 0x1b21 && (n.device == 0x612 || n.device == 0x625);
}

// ---- Block devices ----

QSet<QString> mountedDevices(const QString& mountInfoPath)
{
    QSet<QString> devs;
    QFile f(mountInfoPath);
    if (mountInfoPath.isEmpty() || !f.open(QIODevice::ReadOnly))
        return devs;
    for (const QByteArray& line : f.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() > 2)
            devs.insert(QString::fromLatin1(fields[2]));
    }
    return devs;
}

QString serialFromVpd(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray page = f.read(260);
    if (page.size() < 4 || quint8(page[1]) != 0x80)
        return QString();
    const int length = (quint8(page[2]) << 8) | quint8(page[3]);
    return QString::fromLatin1(page.mid(4, length)).trimmed();
}

// udev writes unsafe bytes of a text as \xNN (ID_MODEL_ENC and the like).
QString decodeUdevText(const QString& encoded)
{
    const QByteArray in = encoded.toUtf8();
    QByteArray out;
    for (qsizetype i = 0; i < in.size(); ++i) {
        bool ok = false;
        const int byte = i + 3 < in.size() && in[i] == '\\' && in[i + 1] == 'x' ? in.mid(i + 2, 2).toInt(&ok, 16) : 0;
        if (ok) {
            out += char(byte);
            i += 3;
        } else {
            out += in[i];
        }
    }
    return QString::fromUtf8(out).trimmed();
}

QString partitionName(const QString& partDir, int number)
{
    const QString name = ueventValue(partDir, QStringLiteral("PARTNAME"));
    return name.isEmpty() ? QStringLiteral("Untitled %1").arg(number) : name;
}

struct Builder {
    QString sysRoot;
    QSet<QString> mounted;
    SysfsRegistry::UdevProperties udev;
    RegistryTree tree;
    std::vector<Router> routers;
    PciNode pciRoot;  // the host bridges pci<dddd:bb> are its children
    QHash<QString, PciNode*> pciByDir;
    QSet<QString> slotBuses;  // "dddd:bb" of every bus behind a hotplug port
    QSet<QString>* logged = nullptr;

    void logOnce(const QString& line)
    {
        if (logged && logged->contains(line))
            return;
        if (logged)
            logged->insert(line);
        Log::write(line);
    }

    QString udevProperty(const QString& blockName, const char* key) const
    {
        return udev ? udev(blockName, key) : QString();
    }

    bool isOpen(const QString& blockDir) const
    {
        if (mounted.contains(readText(blockDir + QStringLiteral("/dev"))))
            return true;
        return !QDir(blockDir + QStringLiteral("/holders"))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty();
    }

    void addRouters()
    {
        routers = readRouters(sysRoot);
        QHash<int, int> domains;
        QHash<QString, int> byName;
        for (Router& r : routers) {
            if (!domains.contains(r.domain))
                domains.insert(r.domain, tree.add(RegistryTree::Root, QStringLiteral("IOThunderboltController"),
                                                  QStringLiteral("domain%1").arg(r.domain)));
            int parent = domains.value(r.domain);
            if (r.depth > 0)
                parent = byName.value(Router::nameOf(r.domain, parentRoute(r.route, r.depth)), parent);
            QVariantMap p{{QStringLiteral("Device Vendor ID"), r.vendor},
                          {QStringLiteral("Device Model ID"), r.device},
                          {QStringLiteral("Route String"), qint64(r.route)},
                          {QStringLiteral("Depth"), qint64(r.depth)}};
            const QString vendorName = readText(r.dir + QStringLiteral("/vendor_name"));
            if (!vendorName.isEmpty())
                p.insert(QStringLiteral("Device Vendor Name"), vendorName);
            const QString modelName = readText(r.dir + QStringLiteral("/device_name"));
            if (!modelName.isEmpty())
                p.insert(QStringLiteral("Device Model Name"), modelName);
            if (auto uid = uidFromUniqueId(readText(r.dir + QStringLiteral("/unique_id"))))
                p.insert(QStringLiteral("UID"), *uid);
            r.entry = tree.add(parent, QStringLiteral("IOThunderboltSwitch"), QStringLiteral("IOThunderboltSwitch"),
                               p, QString::number(r.route, 16));
            byName.insert(r.name(), r.entry);
        }
    }

    void readPciTree()
    {
        static const QRegularExpression host(QStringLiteral("^pci[0-9a-f]{4}:[0-9a-f]{2}$"));
        QStringList hosts = subdirs(sysRoot + QStringLiteral("/devices"), host);
        hosts.sort();
        for (const QString& h : std::as_const(hosts)) {
            PciNode n;
            n.dir = sysRoot + QStringLiteral("/devices/") + h;
            n.address = h.mid(3);
            n.children = readPci(n.dir);
            pciRoot.children.push_back(std::move(n));
        }
        linkParents(pciRoot, pciByDir);
        const QString slotDir = sysRoot + QStringLiteral("/bus/pci/slots/");
        for (const QString& s : QDir(slotDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (const QString bus = readText(slotDir + s + QStringLiteral("/address")).left(7); !bus.isEmpty())
                slotBuses.insert(bus);
    }

    bool isHotplugPort(const PciNode& n) const { return n.isBridge() && slotBuses.contains(n.secondaryBus()); }

    // The PCIe ports with a device that a domain tunnels to, in PCI order: the
    // hotplug ports beside the NHI on the host's own Thunderbolt bridge, and
    // ports the kernel linked to the NHI (integrated controllers).
    std::vector<PciNode*> hostPorts(const PciNode& nhi)
    {
        std::vector<PciNode*> ports;
        const PciNode* bridge = nhi.parent && nhi.parent->isBridge() ? nhi.parent->parent : nullptr;
        forEachNode(pciRoot, [&](PciNode& n) {
            const bool besideNhi = bridge && bridge->isBridge() && n.parent == bridge && &n != nhi.parent;
            if (isHotplugPort(n) && (besideNhi || n.suppliers.contains(nhi.address)))
                ports.push_back(&n);
        });
        return ports;
    }

    // A router's own PCIe functions that are no bridge: everything below its
    // upstream port short of a hotplug port, behind which the next device
    // sits. Bridges stay unmarked: a disk further down the chain must not
    // find this router's path among its ancestors.
    void markEnclosureFunctions(PciNode& port, const QString& path)
    {
        for (PciNode& c : port.children) {
            if (!c.isBridge())
                c.thunderboltPath = path;
            else if (!isHotplugPort(c))
                markEnclosureFunctions(c, path);
        }
    }

    const Router* onlyChild(const Router& r) const
    {
        const Router* child = nullptr;
        for (const Router& c : routers)
            if (c.domain == r.domain && c.depth == r.depth + 1 && parentRoute(c.route, c.depth) == r.route) {
                if (child)
                    return nullptr;
                child = &c;
            }
        return child;
    }

    // The next device's upstream port: the one device behind a hotplug port
    // of this device's switch.
    PciNode* nextUpstreamPort(PciNode& up)
    {
        std::vector<PciNode*> ports;
        for (PciNode& c : up.children)
            if (isHotplugPort(c))
                ports.push_back(&c);
        return ports.size() == 1 ? ports.front()->upstreamPortBelow() : nullptr;
    }

    // Gives each enclosure's own SATA controllers its "Thunderbolt Path".
    // Per domain, the occupied host ports (PCI order) go with the authorized
    // first-hop routers (route order; the kernel maps host ports to PCIe
    // ports in that order) when they are as many. Along a chain, a router is
    // matched only when its upstream port is found behind the previous
    // enclosure's hotplug port; the walk ends at the first router that is
    // not an authorized enclosure.
    QSet<const Router*> pairChains()
    {
        QSet<const Router*> paired;
        QSet<int> domains;
        for (const Router& r : routers)
            domains.insert(r.domain);
        for (int d : std::as_const(domains)) {
            const QString domainDir = QFileInfo(sysRoot + QStringLiteral("/bus/thunderbolt/devices/domain%1").arg(d))
                                          .canonicalFilePath();
            PciNode* nhi = pciByDir.value(QFileInfo(domainDir).path());
            if (!nhi)
                continue;
            const std::vector<PciNode*> occupied = hostPorts(*nhi);
            for (PciNode* port : occupied)
                forEachNode(*port, [](PciNode& n) { n.tunnelled = true; });
            std::vector<const Router*> first;
            for (const Router& r : routers)
                if (r.domain == d && r.depth == 1 && r.authorized)
                    first.push_back(&r);
            if (first.size() != occupied.size())
                continue;
            for (size_t i = 0; i < first.size(); ++i) {
                PciNode* up = occupied[i]->upstreamPortBelow();
                for (const Router* r = first[i]; r && up && r->authorized && r->isEnclosureModel();) {
                    markEnclosureFunctions(*up, tree.path(r->entry) + kUpAdapter);
                    paired.insert(r);
                    r = onlyChild(*r);
                    up = nextUpstreamPort(*up);
                }
            }
        }
        return paired;
    }

    void logLeftOut(const QSet<const Router*>& paired)
    {
        for (const Router& r : routers) {
            if (!r.isEnclosureModel() || paired.contains(&r))
                continue;
            const QString who = QStringLiteral("Thunderbolt enclosure %1 (%2)")
                                    .arg(r.name(), readText(r.dir + QStringLiteral("/device_name")));
            logOnce(who + (r.authorized ? QStringLiteral(" cannot be matched with its PCIe devices;")
                                        : QStringLiteral(" is not authorized;")) +
                    QStringLiteral(" its disks are not listed."));
        }
        forEachNode(pciRoot, [this](PciNode& n) {
            if (isMakerController(n) && n.thunderboltPath.isEmpty())
                logOnce(QStringLiteral("SATA controller %1 (%2:%3) is not inside a Thunderbolt enclosure;"
                                       " its disks are in no bay.")
                            .arg(n.address)
                            .arg(n.vendor, 4, 16, QLatin1Char('0'))
                            .arg(n.device, 4, 16, QLatin1Char('0')));
        });
    }

    void addPci()
    {
        for (const PciNode& h : pciRoot.children) {
            const int host = tree.add(RegistryTree::Root, QStringLiteral("IOPCIBridge"), QStringLiteral("pci-host"),
                                      {}, h.address);
            for (const PciNode& n : h.children)
                addFunction(n, host, false);
        }
    }

    void addFunction(const PciNode& n, int parent, bool external)
    {
        external = external || n.tunnelled || n.removable || !n.thunderboltPath.isEmpty();
        QVariantMap p{{QStringLiteral("vendor-id"), n.vendor},
                      {QStringLiteral("device-id"), n.device},
                      {QStringLiteral("class-code"), n.classCode}};
        if (!n.thunderboltPath.isEmpty())
            p.insert(QStringLiteral("Thunderbolt Path"), n.thunderboltPath);
        const QString name = n.isBridge()
                                 ? QStringLiteral("pci-bridge")
                                 : QStringLiteral("pci%1,%2").arg(n.vendor, 0, 16).arg(n.device, 0, 16);
        QString location = QString::number(n.deviceNumber, 16);
        if (n.function)
            location += QLatin1Char(',') + QString::number(n.function, 16);
        const int e = tree.add(parent, QStringLiteral("IOPCIDevice"), name, p, location);
        if (n.isBridge()) {
            const int iopp = tree.add(e, QStringLiteral("IOPCI2PCIBridge"), QStringLiteral("IOPP"));
            for (const PciNode& c : n.children)
                addFunction(c, iopp, external);
        } else if (n.isSata()) {
            addAhci(n, e, external);
        }
    }

    void addAhci(const PciNode& n, int parent, bool external)
    {
        static const QRegularExpression ata(QStringLiteral("^ata\\d+$"));
        static const QRegularExpression hostDir(QStringLiteral("^host\\d+$"));
        static const QRegularExpression targetDir(QStringLiteral("^target\\d+:\\d+:\\d+$"));
        static const QRegularExpression lunDir(QStringLiteral("^\\d+:\\d+:\\d+:\\d+$"));
        static const QRegularExpression any(QStringLiteral("."));
        const int ahci = tree.add(parent, QStringLiteral("AppleAHCI"), QStringLiteral("AppleAHCI"));
        QStringList ports = subdirs(n.dir, ata);
        sortByTrailingNumber(ports);
        for (int i = 0; i < ports.size(); ++i) {
            const QString portDir = n.dir + QLatin1Char('/') + ports[i];
            // port_no counts from 1; the ata numbers run across all controllers.
            bool ok = false;
            const QString portNo = portDir + QStringLiteral("/ata_port/") + ports[i] + QStringLiteral("/port_no");
            int p = readText(portNo).toInt(&ok) - 1;
            if (!ok || p < 0)
                p = i;
            const int port = tree.add(ahci, QStringLiteral("AppleAHCIPort"), QStringLiteral("PRT%1").arg(p),
                                      {}, QString::number(p));
            for (const QString& h : subdirs(portDir, hostDir))
                for (const QString& t : subdirs(portDir + QLatin1Char('/') + h, targetDir))
                    for (const QString& l : subdirs(portDir + QLatin1Char('/') + h + QLatin1Char('/') + t, lunDir)) {
                        const QString scsi = portDir + QLatin1Char('/') + h + QLatin1Char('/') + t +
                                             QLatin1Char('/') + l;
                        for (const QString& b : subdirs(scsi + QStringLiteral("/block"), any))
                            addDisk(port, scsi, b, external);
                    }
        }
    }

    void addDisk(int port, const QString& scsiDir, const QString& blockName, bool external)
    {
        const QString blockDir = scsiDir + QStringLiteral("/block/") + blockName;
        // The SCSI "model" file keeps 16 characters of the ATA model; udev has it whole.
        QString model = decodeUdevText(udevProperty(blockName, "ID_MODEL_ENC"));
        if (model.isEmpty())
            model = readText(scsiDir + QStringLiteral("/model"));
        QString serial = serialFromVpd(scsiDir + QStringLiteral("/vpd_pg80"));
        if (serial.isEmpty())
            serial = udevProperty(blockName, "ID_SERIAL_SHORT");
        const bool removable = readText(blockDir + QStringLiteral("/removable")) == QLatin1String("1");

        QVariantMap driver;
        if (!model.isEmpty())
            driver.insert(QStringLiteral("Model"), model);
        if (!serial.isEmpty())
            driver.insert(QStringLiteral("Serial Number"), serial);
        driver.insert(QStringLiteral("Physical Interconnect Location"),
                      external || removable ? QStringLiteral("External") : QStringLiteral("Internal"));
        const int dev = tree.add(port, QStringLiteral("IOAHCIDevice"), QStringLiteral("IOAHCIDevice"), {},
                                 QStringLiteral("0"));
        const int drv = tree.add(dev, QStringLiteral("AppleAHCIDiskDriver"), QStringLiteral("AppleAHCIDiskDriver"),
                                 driver);
        const int blk = tree.add(drv, QStringLiteral("IOAHCIBlockStorageDevice"),
                                 QStringLiteral("IOAHCIBlockStorageDevice"));
        const int sdrv = tree.add(blk, QStringLiteral("IOBlockStorageDriver"), QStringLiteral("IOBlockStorageDriver"));

        QStringList parts;
        for (const QString& d : QDir(blockDir).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
            if (QFileInfo::exists(blockDir + QLatin1Char('/') + d + QStringLiteral("/partition")))
                parts.append(d);
        std::sort(parts.begin(), parts.end(), [&](const QString& a, const QString& b) {
            return readText(blockDir + QLatin1Char('/') + a + QStringLiteral("/partition")).toInt() <
                   readText(blockDir + QLatin1Char('/') + b + QStringLiteral("/partition")).toInt();
        });

        const QString table = udevProperty(blockName, "ID_PART_TABLE_TYPE");
        QString scheme = QStringLiteral("IOPartitionScheme");
        QString content;
        if (table == QLatin1String("gpt")) {
            scheme = QStringLiteral("IOGUIDPartitionScheme");
            content = QStringLiteral("GUID_partition_scheme");
        } else if (table == QLatin1String("dos")) {
            scheme = QStringLiteral("IOFDiskPartitionScheme");
            content = QStringLiteral("FDisk_partition_scheme");
        } else if (!table.isEmpty() || !parts.isEmpty()) {
            content = QStringLiteral("partition_scheme");
        } else {
            content = udevProperty(blockName, "ID_FS_TYPE");
        }

        const qint64 sectors = readText(blockDir + QStringLiteral("/size")).toLongLong();
        QVariantMap media{{QStringLiteral("BSD Name"), blockName},
                          {QStringLiteral("Whole"), true},
                          {QStringLiteral("Leaf"), parts.isEmpty()},
                          {QStringLiteral("Open"), !parts.isEmpty() || isOpen(blockDir)},
                          {QStringLiteral("Size"), sectors * 512},
                          {QStringLiteral("Content"), content},
                          {QStringLiteral("Removable"), removable},
                          {QStringLiteral("Writable"), readText(blockDir + QStringLiteral("/ro")) != QLatin1String("1")}};
        const QString mediaName = (model.isEmpty() ? blockName : model) + QStringLiteral(" Media");
        const int whole = tree.add(sdrv, QStringLiteral("IOMedia"), mediaName, media);
        if (parts.isEmpty())
            return;
        const int sch = tree.add(whole, QStringLiteral("IOPartitionScheme"), scheme);
        for (const QString& part : std::as_const(parts)) {
            const QString partDir = blockDir + QLatin1Char('/') + part;
            const int number = readText(partDir + QStringLiteral("/partition")).toInt();
            QVariantMap pp{{QStringLiteral("BSD Name"), part},
                           {QStringLiteral("Whole"), false},
                           {QStringLiteral("Leaf"), true},
                           {QStringLiteral("Open"), isOpen(partDir)},
                           {QStringLiteral("Size"), readText(partDir + QStringLiteral("/size")).toLongLong() * 512},
                           {QStringLiteral("Content"), udevProperty(part, "ID_PART_ENTRY_TYPE")},
                           {QStringLiteral("Partition ID"), qint64(number)}};
            tree.add(sch, QStringLiteral("IOMedia"), partitionName(partDir, number), pp,
                     QString::number(number));
        }
    }
};

bool isRealSysfs(const QString& sysRoot)
{
    return QFileInfo(sysRoot).canonicalFilePath() == QLatin1String("/sys");
}
}  // namespace

SysfsRegistry::SysfsRegistry(const QString& sysRoot, QObject* parent)
    : SysfsRegistry(sysRoot, QStringLiteral("/proc/self/mountinfo"), UdevProperties(), parent)
{
}

SysfsRegistry::SysfsRegistry(const QString& sysRoot, const QString& mountInfoPath, UdevProperties udevProperties,
                             QObject* parent)
    : Registry(parent), sysRoot_(sysRoot), mountInfoPath_(mountInfoPath), udevProperties_(std::move(udevProperties))
{
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &SysfsRegistry::rebuild);
    if (isRealSysfs(sysRoot_)) {
        udev_ = udev_new();
        startMonitor();
        if (!udevProperties_ && udev_)
            udevProperties_ = [this](const QString& blockName, const char* key) {
                udev_device* d = udev_device_new_from_subsystem_sysname(udev_, "block", blockName.toUtf8().constData());
                const char* v = d ? udev_device_get_property_value(d, key) : nullptr;
                const QString value = v ? QString::fromUtf8(v) : QString();
                if (d)
                    udev_device_unref(d);
                return value;
            };
    }
    rebuild();
}

SysfsRegistry::~SysfsRegistry()
{
    delete notifier_;
    if (monitor_)
        udev_monitor_unref(monitor_);
    if (udev_)
        udev_unref(udev_);
}

RegistryTreePtr SysfsRegistry::build(const QString& sysRoot, const QString& mountInfoPath,
                                     const UdevProperties& udevProperties, QSet<QString>* logged)
{
    Builder b;
    b.logged = logged;
    // Canonical, so that a domain's resolved link finds its host interface.
    b.sysRoot = QFileInfo(sysRoot).exists() ? QFileInfo(sysRoot).canonicalFilePath() : sysRoot;
    b.mounted = mountedDevices(mountInfoPath);
    b.udev = udevProperties;
    b.addRouters();
    b.readPciTree();
    b.logLeftOut(b.pairChains());
    b.addPci();
    return std::make_shared<const RegistryTree>(std::move(b.tree));
}

void SysfsRegistry::rebuild()
{
    RegistryTreePtr next;
    {
        // udev contexts are not thread-safe and a scan may rebuild from a worker thread;
        // the lock guards logged_ too.
        QMutexLocker lock(&udevMutex_);
        next = build(sysRoot_, mountInfoPath_, udevProperties_, &logged_);
    }
    // Outside the lock: the announcements may lead to another query.
    replaceTree(next);
}

void SysfsRegistry::aboutToQuery()
{
    // Mounts change without udev events and decide "Open"; the tree is cheap to read.
    rebuild();
}

void SysfsRegistry::startMonitor()
{
    if (!udev_)
        return;
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_)
        return;
    for (const char* subsystem : {"pci", "block", "thunderbolt"})
        udev_monitor_filter_add_match_subsystem_devtype(monitor_, subsystem, nullptr);
    if (udev_monitor_enable_receiving(monitor_) < 0) {
        udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        return;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SysfsRegistry::onUdevEvent);
}

void SysfsRegistry::onUdevEvent()
{
    // The socket is non-blocking: read until it is empty so it stops reporting ready.
    QMutexLocker lock(&udevMutex_);
    while (udev_device* d = udev_monitor_receive_device(monitor_))
        udev_device_unref(d);
    debounce_.start();
}
