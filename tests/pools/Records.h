#pragma once
#include "devices/VRLThunderboltInfo.h"
#include "zpool/RaidInfo.h"

// Members as "name:STATE:read,write,cksum:bay:others", trailing fields
// optional, "_" for a space in others; a bay is one of enclosure 1.
inline RaidInfoPtr pool(const QString& name, const QString& members = {}, const QString& health = "ONLINE")
{
    auto p = std::make_shared<RaidInfo>();
    p->Name = name;
    p->Health = health;
    for (const QString& m : members.split(' ', Qt::SkipEmptyParts)) {
        const QStringList f = m.split(':');
        const QStringList errors = f.value(2).isEmpty() ? QStringList{"0", "0", "0"} : f[2].split(',');
        auto s = std::make_shared<RaidStatus>();
        s->DiskName = f[0];
        s->State = f.value(1, "ONLINE");
        s->Read = errors[0];
        s->Write = errors[1];
        s->CKSum = errors[2];
        s->Others = f.value(4).replace('_', ' ');
        s->mountOn = name;
        if (!f.value(3).isEmpty()) {
            s->slotPath = "Slot-" + f[3];
            s->enclosure = "uid 1";
            s->enclosureNumber = 1;
            s->enclosureName = "Varnelo Quad TB2";
        }
        p->Status << s;
    }
    return p;
}

// Enclosures split by " | ", each "uid: bay=devPath,serial ..." with "-" for
// no uid, bay or path; the serial defaults to "SN-" and the path.
inline TBList enclosures(const QString& rows)
{
    TBList list;
    for (const QString& row : rows.split(" | ", Qt::SkipEmptyParts)) {
        auto tb = std::make_shared<VRLThunderboltInfo>();
        if (const QString uid = row.section(':', 0, 0); uid != "-") {
            tb->uid = uid.toLongLong();
            tb->tbPath = "IOService:/tb" + uid;
        }
        for (const QString& d : row.section(':', 1).split(' ', Qt::SkipEmptyParts)) {
            auto hdd = std::make_shared<VRLHddInfo>();
            const QString bay = d.section('=', 0, 0), path = d.section('=', 1).section(',', 0, 0);
            if (bay != "-")
                hdd->slotPath = bay;
            if (path != "-")
                hdd->devPath = path;
            hdd->hddSN = d.contains(',') ? d.section(',', 1) : "SN-" + path;
            hdd->diskSize = 1000;
            tb->hddArray << hdd;
        }
        list << tb;
    }
    return list;
}
