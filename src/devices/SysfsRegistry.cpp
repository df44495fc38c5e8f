#include "devices/SysfsRegistry.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSocketNotifier>

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
    int entry = -1;
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

std::optional<qint64> uidFromUuid(const QString& uuid)
{
    QString hex = uuid;
    hex.remove(QLatin1Char('-'));
    if (hex.size() < 16)
        return std::nullopt;
    bool ok = false;
    const quint64 v = hex.left(16).toULongLong(&ok, 16);
    return ok ? std::optional<qint64>(qint64(v)) : std::nullopt;
}

std::vector<Router> readRouters(const QString& sysRoot)
{
    static const QRegularExpression name(QStringLiteral("^(\\d+)-([0-9a-f]+)$"));
    const QString base = sysRoot + QStringLiteral("/bus/thunderbolt/devices");
    std::vector<Router> routers;
    const QStringList all = QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& n : all) {
        const auto m = name.match(n);
        if (!m.hasMatch())
            continue;
        Router r;
        r.domain = m.captured(1).toInt();
        r.route = m.captured(2).toULongLong(nullptr, 16);
        r.depth = routeDepth(r.route);
        r.dir = base + QLatin1Char('/') + n;
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
    bool tunnelled = false;
    QString thunderboltPath;
    std::vector<PciNode> children;

    bool isBridge() const
    {
        const qint64 sub = classCode >> 8;
        return sub == 0x0604 || sub == 0x0609;
    }
    bool isSata() const { return (classCode >> 8) == 0x0106; }
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
        node.tunnelled = readText(node.dir + QStringLiteral("/removable")) == QLatin1String("removable");
        node.children = readPci(node.dir);
        nodes.push_back(std::move(node));
    }
    return nodes;
}

bool isMakerController(const PciNode& n)
{
    return n.vendor == 0x1b21 && (n.device == 0x612 || n.device == 0x625);
}

// The enclosures' upstream ports along one Thunderbolt chain, host side first.
struct Chain {
    std::vector<PciNode*> ports;
    bool ambiguous = false;
};

// An enclosure's SATA controllers sit behind the downstream bridges of its
// own PCIe switch, so the bridge two levels above a controller is the
// enclosure's upstream port. Ports nested in another port belong to the
// same chain, further from the host.
void collectPorts(PciNode& node, std::vector<PciNode*>& ancestors, std::vector<PciNode*>& ports,
                  QHash<PciNode*, std::vector<PciNode*>>& portAncestors)
{
    for (PciNode& c : node.children) {
        if (isMakerController(c) && ancestors.size() >= 2) {
            PciNode* down = ancestors.back();
            PciNode* up = ancestors[ancestors.size() - 2];
            if (down->isBridge() && up->isBridge() && !portAncestors.contains(up)) {
                ports.push_back(up);
                portAncestors.insert(up, std::vector<PciNode*>(ancestors.begin(), ancestors.end() - 2));
            }
        }
        ancestors.push_back(&c);
        collectPorts(c, ancestors, ports, portAncestors);
        ancestors.pop_back();
    }
}

std::vector<Chain> enclosureChains(std::vector<PciNode>& hosts)
{
    std::vector<PciNode*> ports;
    QHash<PciNode*, std::vector<PciNode*>> above;
    for (PciNode& h : hosts) {
        std::vector<PciNode*> ancestors;
        collectPorts(h, ancestors, ports, above);
    }
    // Ports are found in tree order once their controllers are; put every
    // port after the ports it is nested in.
    std::stable_sort(ports.begin(), ports.end(),
                     [&](PciNode* a, PciNode* b) { return above[a].size() < above[b].size(); });
    std::vector<Chain> chains;
    QHash<PciNode*, size_t> chainOf;
    for (PciNode* p : ports) {
        const std::vector<PciNode*>& anc = above[p];
        auto outer = std::find_if(anc.begin(), anc.end(), [&](PciNode* a) { return chainOf.contains(a); });
        if (outer == anc.end()) {
            chainOf.insert(p, chains.size());
            chains.push_back(Chain{{p}, false});
            continue;
        }
        Chain& chain = chains[chainOf.value(*outer)];
        // Each port must sit inside the previous one; anything else is no chain.
        if (std::find(anc.begin(), anc.end(), chain.ports.back()) == anc.end())
            chain.ambiguous = true;
        chain.ports.push_back(p);
        chainOf.insert(p, chainOf.value(*outer));
    }
    std::stable_sort(chains.begin(), chains.end(), [](const Chain& a, const Chain& b) {
        return a.ports.front()->dir < b.ports.front()->dir;
    });
    return chains;
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

QString udevProperty(struct udev* u, const QString& sysname, const char* key)
{
    if (!u)
        return QString();
    udev_device* d = udev_device_new_from_subsystem_sysname(u, "block", sysname.toUtf8().constData());
    if (!d)
        return QString();
    const char* v = udev_device_get_property_value(d, key);
    const QString result = v ? QString::fromUtf8(v) : QString();
    udev_device_unref(d);
    return result;
}

QString partitionName(const QString& partDir, int number)
{
    const QStringList lines = readText(partDir + QStringLiteral("/uevent")).split(QLatin1Char('\n'));
    for (const QString& l : lines)
        if (l.startsWith(QLatin1String("PARTNAME=")) && l.size() > 9)
            return l.mid(9);
    return QStringLiteral("Untitled %1").arg(number);
}

struct Builder {
    QString sysRoot;
    QSet<QString> mounted;
    struct udev* udevContext = nullptr;
    RegistryTree tree;

    bool isOpen(const QString& blockDir) const
    {
        if (mounted.contains(readText(blockDir + QStringLiteral("/dev"))))
            return true;
        return !QDir(blockDir + QStringLiteral("/holders"))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot)
                    .isEmpty();
    }

    std::vector<Router> addRouters()
    {
        std::vector<Router> routers = readRouters(sysRoot);
        QHash<int, int> domains;
        QHash<QString, int> byKey;
        auto key = [](int domain, quint64 route) {
            return QStringLiteral("%1-%2").arg(domain).arg(route, 0, 16);
        };
        for (Router& r : routers) {
            if (!domains.contains(r.domain))
                domains.insert(r.domain, tree.add(RegistryTree::Root, QStringLiteral("IOThunderboltController"),
                                                  QStringLiteral("domain%1").arg(r.domain)));
            int parent = domains.value(r.domain);
            if (r.depth > 0)
                parent = byKey.value(key(r.domain, parentRoute(r.route, r.depth)), parent);
            QVariantMap p;
            if (auto v = readHex(r.dir + QStringLiteral("/vendor")))
                p.insert(QStringLiteral("Device Vendor ID"), *v);
            if (auto v = readHex(r.dir + QStringLiteral("/device")))
                p.insert(QStringLiteral("Device Model ID"), *v);
            const QString vendorName = readText(r.dir + QStringLiteral("/vendor_name"));
            if (!vendorName.isEmpty())
                p.insert(QStringLiteral("Device Vendor Name"), vendorName);
            const QString modelName = readText(r.dir + QStringLiteral("/device_name"));
            if (!modelName.isEmpty())
                p.insert(QStringLiteral("Device Model Name"), modelName);
            if (auto uid = uidFromUuid(readText(r.dir + QStringLiteral("/unique_id"))))
                p.insert(QStringLiteral("UID"), *uid);
            p.insert(QStringLiteral("Route String"), qint64(r.route));
            p.insert(QStringLiteral("Depth"), qint64(r.depth));
            r.entry = tree.add(parent, QStringLiteral("IOThunderboltSwitch"),
                               QStringLiteral("IOThunderboltSwitch"), p,
                               QString::number(r.route, 16));
            byKey.insert(key(r.domain, r.route), r.entry);
        }
        return routers;
    }

    std::vector<PciNode> hostBridges;
    QStringList hostNames;

    void readPciTree()
    {
        static const QRegularExpression host(QStringLiteral("^pci[0-9a-f]{4}:[0-9a-f]{2}$"));
        hostNames = subdirs(sysRoot + QStringLiteral("/devices"), host);
        hostNames.sort();
        for (const QString& h : std::as_const(hostNames)) {
            PciNode n;
            n.dir = sysRoot + QStringLiteral("/devices/") + h;
            n.children = readPci(n.dir);
            hostBridges.push_back(std::move(n));
        }
    }

    // Pairs the maker's routers (vendor 65), chain by chain and depth by
    // depth, with the enclosures' upstream ports.
    void pairChains(const std::vector<Router>& routers)
    {
        std::vector<std::vector<const Router*>> routerChains;
        std::vector<bool> routerAmbiguous;
        for (const Router& head : routers) {
            if (head.depth != 1)
                continue;
            std::vector<const Router*> makers;
            bool ambiguous = false;
            for (const Router* at = &head; at;) {
                if (readHex(at->dir + QStringLiteral("/vendor")).value_or(0) == kMakerVendor)
                    makers.push_back(at);
                std::vector<const Router*> next;
                for (const Router& r : routers)
                    if (r.domain == at->domain && r.depth == at->depth + 1 &&
                        parentRoute(r.route, r.depth) == at->route)
                        next.push_back(&r);
                ambiguous = ambiguous || next.size() > 1;
                at = next.size() == 1 ? next.front() : nullptr;
            }
            if (makers.empty())
                continue;
            routerChains.push_back(makers);
            routerAmbiguous.push_back(ambiguous);
        }

        const std::vector<Chain> pciChains = enclosureChains(hostBridges);
        if (pciChains.size() != routerChains.size())
            return;
        for (size_t i = 0; i < pciChains.size(); ++i) {
            const Chain& pc = pciChains[i];
            if (pc.ambiguous || routerAmbiguous[i] || pc.ports.size() != routerChains[i].size())
                continue;
            for (size_t k = 0; k < pc.ports.size(); ++k)
                pc.ports[k]->thunderboltPath = tree.path(routerChains[i][k]->entry) + kUpAdapter;
        }
    }

    void addPci()
    {
        for (size_t i = 0; i < hostBridges.size(); ++i) {
            const int host = tree.add(RegistryTree::Root, QStringLiteral("IOPCIBridge"),
                                      QStringLiteral("pci-host"), {}, hostNames[int(i)].mid(3));
            for (const PciNode& n : hostBridges[i].children)
                addFunction(n, host, false);
        }
    }

    void addFunction(const PciNode& n, int parent, bool behindThunderbolt)
    {
        behindThunderbolt = behindThunderbolt || n.tunnelled || !n.thunderboltPath.isEmpty();
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
                addFunction(c, iopp, behindThunderbolt);
        } else if (n.isSata()) {
            addAhci(n, e, behindThunderbolt);
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
        for (int p = 0; p < ports.size(); ++p) {
            const QString portDir = n.dir + QLatin1Char('/') + ports[p];
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
        const QString model = readText(scsiDir + QStringLiteral("/model"));
        QString serial = serialFromVpd(scsiDir + QStringLiteral("/vpd_pg80"));
        if (serial.isEmpty())
            serial = udevProperty(udevContext, blockName, "ID_SERIAL_SHORT");
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

        const QString table = udevProperty(udevContext, blockName, "ID_PART_TABLE_TYPE");
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
            content = udevProperty(udevContext, blockName, "ID_FS_TYPE");
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
                           {QStringLiteral("Content"), udevProperty(udevContext, part, "ID_PART_ENTRY_TYPE")},
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
    : SysfsRegistry(sysRoot, QStringLiteral("/proc/self/mountinfo"), parent)
{
}

SysfsRegistry::SysfsRegistry(const QString& sysRoot, const QString& mountInfoPath, QObject* parent)
    : Registry(parent), sysRoot_(sysRoot), mountInfoPath_(mountInfoPath)
{
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &SysfsRegistry::rebuild);
    if (isRealSysfs(sysRoot_)) {
        udev_ = udev_new();
        startMonitor();
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
                                     struct udev* udevContext)
{
    Builder b;
    b.sysRoot = sysRoot;
    b.mounted = mountedDevices(mountInfoPath);
    b.udevContext = udevContext;
    const std::vector<Router> routers = b.addRouters();
    b.readPciTree();
    b.pairChains(routers);
    b.addPci();
    return std::make_shared<const RegistryTree>(std::move(b.tree));
}

void SysfsRegistry::rebuild()
{
    RegistryTreePtr next;
    {
        // udev contexts are not thread-safe and a scan may rebuild from a worker thread.
        QMutexLocker lock(&udevMutex_);
        next = build(sysRoot_, mountInfoPath_, udev_);
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
