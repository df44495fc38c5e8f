#pragma once
// Writes a registry fixture with the maker's four-bay enclosures, each disk
// in the bay its controller bridge stands for, for FixtureRegistry.
#include "support/ShellScript.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QString>

struct FixtureDisk {
    QString slot;  // "Slot-A".."Slot-D"
    QString bsd;   // "disk92"
    int partitions = 1;
};

struct FixtureEnclosure {
    qint64 uid = 0;  // 0: the switch has no UID
    int port = 0;    // the host port it hangs off, which makes its path
    QList<FixtureDisk> disks;
};

namespace RegistryFixture {

inline QJsonObject entry(const QString& cls, const QString& name, const QString& location,
                         const QJsonObject& properties, const QJsonArray& children = {})
{
    QJsonObject e{{"class", cls}, {"name", name}, {"properties", properties}, {"children", children}};
    if (!location.isNull())
        e.insert("location", location);
    return e;
}

inline QJsonObject disk(const FixtureEnclosure& e, const FixtureDisk& d)
{
    QJsonArray parts;
    for (int p = 1; p <= d.partitions; ++p) {
        parts.append(entry("IOMedia", QStringLiteral("Partition %1").arg(p), QStringLiteral("%1").arg(p),
                           {{"BSD Name", QStringLiteral("%1s%2").arg(d.bsd).arg(p)},
                            {"Leaf", true}, {"Open", true}, {"Whole", false},
                            {"Content", "6A898CC3-1DD2-11B2-99A6-080020736631"}, {"Size", 1000000000.0}}));
    }
    const QJsonObject whole = entry("IOMedia", d.bsd + " Media", QString(),
                                    {{"BSD Name", d.bsd}, {"Whole", true}, {"Leaf", false}, {"Open", true},
                                     {"Content", d.partitions ? "GUID_partition_scheme" : ""},
                                     {"Size", 1000204886016.0}},
                                    {entry("IOGUIDPartitionScheme", "GUID_partition_scheme", QString(), {}, parts)});
    const QJsonObject driver = entry("AppleAHCIDiskDriver", "AppleAHCIDiskDriver", QString(),
                                     {{"Model", "  TESTDISK 1TB  "}, {"Serial Number", " SN-" + d.bsd + " "},
                                      {"Physical Interconnect Location", "External"}},
                                     {whole});
    const QJsonObject port = entry("IOAHCIPort", "PRT0", "0", {}, {driver});
    const QJsonObject controller = entry("IOPCIDevice", "pci1b21,612", "0", {}, {port});
    const QJsonObject iopp = entry("IOPCI2PCIBridge", "IOPP", QString(), {}, {controller});
    const int bay = d.slot.isEmpty() ? 0 : d.slot.back().unicode() - 'A';
    const QString path = QStringLiteral("IOService:/pci-bridge@%1/IOThunderboltSwitchType3@0/IOThunderboltPort@1");
    return entry("IOPCIDevice", "pci-bridge", QString::number(bay), {{"Thunderbolt Path", path.arg(e.port)}}, {iopp});
}

inline void write(const QString& path, const QList<FixtureEnclosure>& enclosures)
{
    QJsonArray hostPorts;
    for (const FixtureEnclosure& e : enclosures) {
        QJsonArray bays;
        for (const FixtureDisk& d : e.disks)
            bays.append(disk(e, d));
        QJsonObject props{{"Device Vendor ID", 65}, {"Device Model ID", 771},
                          {"Device Model Name", "Varnelo Quad"}, {"Device Vendor Name", "Varnelo"},
                          {"Depth", 1}, {"Route String", e.port}};
        if (e.uid != 0)
            props.insert("UID", double(e.uid));
        const QJsonObject port = entry("IOThunderboltPort", "IOThunderboltPort", "1", {}, bays);
        const QJsonObject sw = entry("IOThunderboltSwitch", "IOThunderboltSwitchType3", "0", props, {port});
        hostPorts.append(entry("IOPCIDevice", "pci-bridge", QString::number(e.port), {}, {sw}));
    }
    writeFile(path, QJsonDocument(QJsonObject{{"root", entry("IORegistryEntry", "Root", QString(), {}, hostPorts)}})
                        .toJson());
}

}  // namespace RegistryFixture
