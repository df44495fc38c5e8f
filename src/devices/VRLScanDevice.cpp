#include "devices/VRLScanDevice.h"

#include "base/Log.h"
#include "exec/RunCMD.h"

#include <QRegularExpression>

namespace {
const QString kVendorID = QStringLiteral("Device Vendor ID");
const QString kModelID = QStringLiteral("Device Model ID");
constexpr qint64 kMakerVendor = 65;

// Mount roots of desktop volumes. On Linux the desktop mounts under
// /media/<user>/ and /run/media/<user>/; "/run/media/" must win over the
// "/media/" inside it.
const QStringList& volumeRoots()
{
#ifdef Q_OS_MACOS
    static const QStringList roots{QStringLiteral("/Volumes/")};
#else
    static const QStringList roots{QStringLiteral("/Volumes/"), QStringLiteral("/run/media/"),
                                   QStringLiteral("/media/")};
#endif
    return roots;
}

QString trimBlanks(const QString& s)
{
    qsizetype b = 0, e = s.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (b < e && blank(s[b]))
        ++b;
    while (e > b && blank(s[e - 1]))
        --e;
    return s.mid(b, e - b);
}

std::optional<QString> trimmedText(const QVariantMap& props, const QString& key)
{
    const auto t = Registry::text(props.value(key));
    if (!t)
        return std::nullopt;
    return trimBlanks(*t);
}

std::optional<qint64> decimal(const QString& field)
{
    bool ok = false;
    const qint64 v = field.toLongLong(&ok, 10);
    return ok ? std::optional<qint64>(v) : std::nullopt;
}

QString defaultDf(const QString& dfPath)
{
#ifdef Q_OS_MACOS
    return VRLScanDevice::runCommandWithCommand(dfPath, {});
#else
    // GNU df counts in 1024-byte blocks unless POSIXLY_CORRECT is set; the
    // records are in 512-byte blocks. env runs df directly, no shell.
    return VRLScanDevice::runCommandWithCommand(QStringLiteral("/usr/bin/env"),
                                                {QStringLiteral("POSIXLY_CORRECT=1"), dfPath});
#endif
}
}  // namespace

VRLScanDevice::VRLScanDevice(Registry& registry, const QString& dfPath)
    : registry_(registry), dfPath_(dfPath), dfRunner_([dfPath] { return defaultDf(dfPath); })
{
}

const QList<qint64>& VRLScanDevice::enclosureModelIDs()
{
    static const QList<qint64> ids{771, 774, 782, 567, 568};
    return ids;
}

void VRLScanDevice::resetArray(const QString& category)
{
    const bool all = category == QLatin1String("All");
    if (all || category == QLatin1String("RADade"))
        tbArray_ = TBList();
    if (all || category == QLatin1String("USB/1394"))
        otherDiskArray_ = HddList();
    if (all || category == QLatin1String("TBOthers"))
        otherTBArray_ = TBList();
}

int VRLScanDevice::scanForDeviceName(const QString& category, RegistryIterator& iterator)
{
    std::optional<MatchingDictionary> matching;
    if (category == QLatin1String("thunderbolt")) {
        matching = registry_.IOServiceMatching(QStringLiteral("IOThunderboltSwitch"));
        if (matching)
            matching->propertyMatch.insert(kVendorID, qint32(kMakerVendor));
    } else if (category == QLatin1String("hdd")) {
        matching = registry_.IOServiceMatching(QStringLiteral("AppleAHCIDiskDriver"));
        if (matching)
            matching->propertyMatch.insert(QStringLiteral("Physical Interconnect Location"),
                                           QStringLiteral("External"));
    }
    if (!matching)
        Log::write(QStringLiteral("IOServiceMatching returned a NULL dictionary."));
    return registry_.IOServiceGetMatchingServices(matching, iterator);
}

void VRLScanDevice::getThunderboltInfo(RegistryIterator& iterator)
{
    while (RegistryEntry e = Registry::IOIteratorNext(iterator)) {
        const QVariantMap p = Registry::IORegistryEntryCreateCFProperties(e);
        const auto moduleName = Registry::text(p.value(QStringLiteral("Device Model Name")));
        const auto uid = Registry::number(p.value(QStringLiteral("UID")));
        const auto depth = Registry::number(p.value(QStringLiteral("Depth")));
        const auto route = Registry::number(p.value(QStringLiteral("Route String")));
        const auto modelID = Registry::number(p.value(kModelID));
        const auto vendorID = Registry::number(p.value(kVendorID));
        const auto vendorName = Registry::text(p.value(QStringLiteral("Device Vendor Name")));

        std::optional<qint64> parentUid;
        if (depth.value_or(0) >= 1) {
            const RegistryEntry parent = Registry::IORegistryEntryGetParentEntry(e);
            parentUid = Registry::number(Registry::IORegistryEntrySearchCFProperty(
                parent, QStringLiteral("UID"), Registry::SearchRecursively | Registry::SearchParents));
        }
        if (vendorID.value_or(0) != kMakerVendor)
            continue;
        const QString path = Registry::IORegistryEntryGetPath(e);
        if (!enclosureModelIDs().contains(modelID.value_or(0)))
            continue;

        auto tb = std::make_shared<VRLThunderboltInfo>();
        tb->moduleName = moduleName;
        tb->uid = uid;
        tb->routeSring = route;
        tb->depth = depth;
        tb->parentTb = parentUid;
        tb->portNum = 0.0f;
        tb->tbPath = path;
        tb->moduleID = modelID;
        tb->vendorID = vendorID;
        tb->vendorName = vendorName;
        tb->state = 4;
        tbArray_.append(tb);
    }
}

std::optional<QString> VRLScanDevice::slotForPath(const QString& path)
{
    static const QString labels[] = {QStringLiteral("Slot-A"), QStringLiteral("Slot-B"),
                                     QStringLiteral("Slot-C"), QStringLiteral("Slot-D")};
    if (path.contains(QLatin1String("pci1b21,612"))) {
        for (int bridge = 0; bridge < 4; ++bridge)
            if (path.contains(QStringLiteral("pci-bridge@%1/IOPP/pci1b21,612").arg(bridge)))
                return labels[bridge];
        return std::nullopt;
    }
    if (path.contains(QLatin1String("pci1b21,625"))) {
        static const struct {
            const char* bridge;
            const char* port;
        } rows[] = {{"pci-bridge@0/IOPP/pci1b21,625", "PRT0@0/"},
                    {"pci-bridge@0/IOPP/pci1b21,625", "PRT1@1/"},
                    {"pci-bridge@3/IOPP/pci1b21,625", "PRT0@0/"},
                    {"pci-bridge@3/IOPP/pci1b21,625", "PRT1@1/"}};
        for (int i = 0; i < 4; ++i)
            if (path.contains(QLatin1String(rows[i].bridge)) &&
                path.contains(QLatin1String(rows[i].port)))
                return labels[i];
    }
    return std::nullopt;
}

QString VRLScanDevice::deletingLastPathComponent(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(QLatin1Char('/')))
        p.chop(1);
    const qsizetype slash = p.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    QString parent = p.left(slash);
    while (parent.size() > 1 && parent.endsWith(QLatin1Char('/')))
        parent.chop(1);
    return parent;
}

void VRLScanDevice::getHddInfo(RegistryIterator& iterator)
{
    while (RegistryEntry d = Registry::IOIteratorNext(iterator)) {
        const QVariantMap p = Registry::IORegistryEntryCreateCFProperties(d);
        const auto model = trimmedText(p, QStringLiteral("Model"));
        const auto serial = trimmedText(p, QStringLiteral("Serial Number"));
        const QString path = Registry::IORegistryEntryGetPath(d);
        const auto slot = slotForPath(path);

        const auto tbPath = Registry::text(Registry::IORegistryEntrySearchCFProperty(
            d, QStringLiteral("Thunderbolt Path"), Registry::SearchRecursively | Registry::SearchParents));
        if (!tbPath)
            continue;
        const QString key = deletingLastPathComponent(*tbPath);
        for (qsizetype r = 0; r < tbArray_.size(); ++r) {
            const VRLThunderboltInfoPtr& tb = tbArray_[r];
            if (!tb->tbPath || *tb->tbPath != key)
                continue;
            auto hdd = std::make_shared<VRLHddInfo>();
            hdd->hddModel = model;
            hdd->hddSN = serial;
            hdd->slotPath = slot;
            tb->hddArray.append(hdd);
            searchPartition(d, r, tb->hddArray.size() - 1);
        }
    }
}

void VRLScanDevice::searchPartition(const RegistryEntry& entry, qsizetype tbIndex, qsizetype hddIndex)
{
    if (tbIndex < 0 || tbIndex >= tbArray_.size())
        return;
    const HddList& disks = tbArray_[tbIndex]->hddArray;
    if (hddIndex < 0 || hddIndex >= disks.size())
        return;
    VRLHddInfo& hdd = *disks[hddIndex];

    RegistryIterator children = Registry::IORegistryEntryGetChildIterator(entry);
    while (RegistryEntry x = Registry::IOIteratorNext(children)) {
        const bool open = Registry::isTrue(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("Open")));
        const bool leaf = Registry::isTrue(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("Leaf")));
        const bool whole = Registry::isTrue(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("Whole")));
        const auto content = Registry::text(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("Content")));
        const auto size = Registry::number(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("Size")));
        const auto bsd = Registry::text(Registry::IORegistryEntryCreateCFProperty(x, QStringLiteral("BSD Name")));
        const QString devPath = bsd ? QStringLiteral("/dev/") + *bsd : QString(QLatin1String(""));

        if (whole) {
            hdd.devPath = devPath;
            hdd.diskSize = size;
            hdd.isUnFormated = !content || content->isEmpty();
        } else if (open && leaf) {
            auto bsdInfo = std::make_shared<VRLBsdInfo>();
            bsdInfo->devPath = devPath;
            hdd.bsdPathArray.append(bsdInfo);
        }
        searchPartition(x, tbIndex, hddIndex);
    }
}

std::optional<QString> VRLScanDevice::mountPointInLine(const QString& line)
{
    qsizetype best = -1;
    for (const QString& root : volumeRoots()) {
        const qsizetype at = line.lastIndexOf(root);
        // A later root wins; at the same spot the longer one was seen first.
        if (at > best)
            best = at;
    }
    if (best < 0)
        return std::nullopt;
    // "/media/" inside "/run/media/" belongs to the longer root.
    static const QString run = QStringLiteral("/run/media/");
    if (best >= 4 && line.mid(best - 4, run.size()) == run &&
        volumeRoots().contains(run))
        best -= 4;
    return line.mid(best);
}

void VRLScanDevice::getMountPoint()
{
    const QString text = dfRunner_ ? dfRunner_() : QString();
    if (text.isEmpty())
        return;
    static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        const QStringList f = line.split(blanks, Qt::SkipEmptyParts);
        if (f.isEmpty())
            continue;
        const auto mount = mountPointInLine(line);
        for (const VRLThunderboltInfoPtr& tb : std::as_const(tbArray_)) {
            for (const VRLHddInfoPtr& hdd : std::as_const(tb->hddArray)) {
                for (const VRLBsdInfoPtr& b : std::as_const(hdd->bsdPathArray)) {
                    if (!b->devPath || b->devPath->isEmpty() || f.first() != *b->devPath)
                        continue;
                    b->mountPoint = mount;
                    // A line cut short keeps its mount point but tells no sizes.
                    b->capacitySize = f.size() >= 4 ? decimal(f[1]) : std::nullopt;
                    b->availableSize = f.size() >= 4 ? decimal(f[3]) : std::nullopt;
                }
            }
        }
    }
}

void VRLScanDevice::scanTBDevice()
{
    RegistryIterator iterator;
    if (scanForDeviceName(QStringLiteral("thunderbolt"), iterator) != RegistryStatus::Success)
        return;
    getThunderboltInfo(iterator);
    Registry::IOObjectRelease(iterator);
    if (scanForDeviceName(QStringLiteral("hdd"), iterator) != RegistryStatus::Success)
        return;
    getHddInfo(iterator);
    Registry::IOObjectRelease(iterator);
    getMountPoint();
}

QString VRLScanDevice::runCommandWithCommand(const QString& path, const QStringList& args)
{
    const ToolResult r = RunCMD::run(path, args, ToolLimits::Kind::Read, ToolProcess::Streams::Separate);
    return r.ending == ToolResult::Ending::Exited ? r.outputText() : QString();
}
