#include "helper/HelperPolicy.h"

#include "zpool/ZpoolCreate.h"
#include "zpool/ZpoolDestroy.h"
#include "zpool/ZpoolDetach.h"
#include "zpool/ZpoolExport.h"
#include "zpool/ZpoolImport.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolOffline.h"
#include "zpool/ZpoolOnline.h"
#include "zpool/ZpoolReplace.h"
#include "zpool/ZpoolScrub.h"
#include "zpool/ZpoolStatus.h"

#include <QDir>
#include <QRegularExpression>
#include <QSet>

#include <optional>
#include <vector>

namespace {
using HelperPolicy::Context;
using HelperPolicy::Verdict;

Verdict allow()
{
    return {true, {}};
}

Verdict refuse(const QString& reason)
{
    return {false, reason};
}

bool hasControlCharacters(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

bool isOption(const QString& s)
{
    return s.startsWith(QLatin1Char('-'));
}

// A pool name or a numeric pool id.
bool isPoolOperand(const QString& s)
{
    return !s.isEmpty() && !isOption(s) && !s.contains(QLatin1Char('/'));
}

// A device as zpool takes it: a bare name it looks up under /dev (disk3,
// raidz, a vdev guid), or a path under /dev.
bool isDeviceOperand(const QString& s)
{
    if (s.isEmpty() || isOption(s))
        return false;
    if (!s.contains(QLatin1Char('/')))
        return true;
    return s.startsWith(QLatin1String("/dev/")) &&
           !s.split(QLatin1Char('/')).contains(QLatin1String("..")) && QDir::cleanPath(s) == s;
}

bool isMountpointValue(const QString& v)
{
    return v == QLatin1String("none") || v == QLatin1String("legacy") ||
           HelperPolicy::isVolumePath(v);
}

// key=value of -o / -O. Properties that name a place in the file system are
// held to volume paths; the cache file is the one that writes where it points.
Verdict checkProperty(const QString& kv)
{
    static const QRegularExpression key(QStringLiteral("^[A-Za-z0-9_.:-]+$"));
    const qsizetype eq = kv.indexOf(QLatin1Char('='));
    if (eq <= 0 || !key.match(kv.left(eq)).hasMatch())
        return refuse(QStringLiteral("\"%1\" is not property=value").arg(kv));
    const QString name = kv.left(eq);
    const QString value = kv.mid(eq + 1);
    if ((name == QLatin1String("mountpoint") || name == QLatin1String("altroot")) &&
        !isMountpointValue(value))
        return refuse(QStringLiteral("%1 \"%2\" is not a volume path").arg(name, value));
    if (name == QLatin1String("cachefile") && value != QLatin1String("none"))
        return refuse(QStringLiteral("cachefile may only be none"));
    return allow();
}

// The value of a create option whose shape says it takes one.
Verdict checkOptionValue(ZpoolShape::Value kind, const QString& value)
{
    if (kind == ZpoolShape::Value::Property)
        return checkProperty(value);
    if (kind == ZpoolShape::Value::MountPoint)
        return isMountpointValue(value) ? allow()
                                        : refuse(QStringLiteral("bad mount point \"%1\"").arg(value));
    return HelperPolicy::isVolumePath(value) ? allow()
                                             : refuse(QStringLiteral("bad altroot \"%1\"").arg(value));
}

Verdict checkCreate(const QStringList& args)
{
    const ZpoolShape& shape = ZpoolCreate::shape();
    qsizetype i = 1;
    while (i < args.size() && isOption(args[i])) {
        const QString& option = args[i];
        const auto kind = shape.options.constFind(option);
        if (kind != shape.options.cend() && *kind == ZpoolShape::Value::None) {
            ++i;
            continue;
        }
        if (i + 1 >= args.size())
            return refuse(QStringLiteral("%1 needs a value").arg(option));
        if (kind == shape.options.cend())
            return refuse(QStringLiteral("create does not take %1").arg(option));
        const Verdict v = checkOptionValue(*kind, args[i + 1]);
        if (!v.allowed)
            return v;
        i += 2;
    }
    if (i >= args.size() || !isPoolOperand(args[i]))
        return refuse(QStringLiteral("create needs a pool name"));
    if (i + 1 >= args.size())
        return refuse(QStringLiteral("create needs at least one device"));
    for (qsizetype j = i + 1; j < args.size(); ++j) {
        if (!isDeviceOperand(args[j]))
            return refuse(QStringLiteral("\"%1\" is not a device").arg(args[j]));
    }
    return allow();
}

// Whether the arguments fit one subcommand's shape. countFits tells a
// refusal for the number of operands apart from one for their text.
Verdict checkShape(const ZpoolShape& rule, const QStringList& args, bool* countFits)
{
    const QString& sub = rule.subcommand;
    *countFits = false;
    qsizetype i = 1;
    for (; i < args.size() && isOption(args[i]); ++i) {
        if (!rule.options.contains(args[i]))
            return refuse(QStringLiteral("zpool %1 does not take %2").arg(sub, args[i]));
    }
    const QStringList operands = args.mid(i);
    if (operands.size() < rule.minOperands ||
        (rule.maxOperands >= 0 && operands.size() > rule.maxOperands))
        return refuse(QStringLiteral("wrong number of operands for zpool %1").arg(sub));
    *countFits = true;
    for (qsizetype j = 0; j < operands.size(); ++j) {
        const bool ok = (rule.devicesAfterPool && j > 0) ? isDeviceOperand(operands[j])
                                                         : isPoolOperand(operands[j]);
        if (!ok)
            return refuse(
                QStringLiteral("\"%1\" is not a valid operand of zpool %2").arg(operands[j], sub));
    }
    return allow();
}

Verdict checkZpool(const QStringList& args)
{
    if (args.isEmpty())
        return refuse(QStringLiteral("zpool needs a subcommand"));
    const QString sub = args.first();
    if (sub == ZpoolCreate::shape().subcommand)
        return checkCreate(args);

    // Every subcommand Tarnwell runs besides create, as its unit states it.
    // A request passes when it fits one of them; import has two (the scan,
    // and the import of one pool).
    static const std::vector<const ZpoolShape*> shapes = {
        &ZpoolList::shape(),    &ZpoolStatus::shape(), &ZpoolImportScan::shape(),
        &ZpoolImport::shape(),  &ZpoolExport::shape(), &ZpoolDestroy::shape(),
        &ZpoolReplace::shape(), &ZpoolOnline::shape(), &ZpoolOffline::shape(),
        &ZpoolDetach::shape(),  &ZpoolScrub::shape()};
    std::optional<Verdict> refusal;
    bool refusalCountFits = false;
    for (const ZpoolShape* shape : shapes) {
        if (shape->subcommand != sub)
            continue;
        bool countFits = false;
        const Verdict v = checkShape(*shape, args, &countFits);
        if (v.allowed)
            return v;
        // Say what is wrong for the form whose operand count the request has.
        if (!refusal || (countFits && !refusalCountFits)) {
            refusal = v;
            refusalCountFits = countFits;
        }
    }
    return refusal ? *refusal : refuse(QStringLiteral("zpool %1 is not used").arg(sub));
}

Verdict checkChown(const QStringList& args, const Context& context)
{
    if (args.size() != 3 || args[0] != QLatin1String("-R"))
        return refuse(QStringLiteral("chown is only run as chown -R user:group mountpoint"));
    const QString owner = args[1];
    const qsizetype colon = owner.indexOf(QLatin1Char(':'));
    if (context.user.isEmpty() || colon < 0 || owner.left(colon) != context.user ||
        !context.userGroups.contains(owner.mid(colon + 1)))
        return refuse(
            QStringLiteral("\"%1\" is not the requesting user and one of their groups").arg(owner));
    const QString& path = args[2];
    if (!HelperPolicy::isVolumePath(path) || !context.zfsMountPoints.contains(path))
        return refuse(QStringLiteral("\"%1\" is not the mount point of a pool").arg(path));
    return allow();
}

Verdict checkUmount(const QStringList& args, const Context& context)
{
    if (args.size() != 1)
        return refuse(QStringLiteral("umount is only run with one device"));
    const QString& device = args[0];
    if (!device.startsWith(QLatin1String("/dev/")) || QDir::cleanPath(device) != device ||
        device.split(QLatin1Char('/')).contains(QLatin1String("..")))
        return refuse(QStringLiteral("\"%1\" is not a device").arg(device));
    const auto mounts = context.mountedBlockDevices.constFind(device);
    if (mounts == context.mountedBlockDevices.cend())
        return refuse(QStringLiteral("\"%1\" is not mounted").arg(device));
    for (const QString& target : *mounts) {
        if (!HelperPolicy::isVolumePath(target))
            return refuse(
                QStringLiteral("\"%1\" holds the system directory %2").arg(device, target));
    }
    return allow();
}
}  // namespace

bool HelperPolicy::isVolumePath(const QString& path)
{
    if (!path.startsWith(QLatin1Char('/')) || path == QLatin1String("/") ||
        hasControlCharacters(path) || QDir::cleanPath(path) != path ||
        path.split(QLatin1Char('/')).contains(QLatin1String("..")))
        return false;
    const QStringList parts = path.mid(1).split(QLatin1Char('/'));
    const QString top = parts.first();
    // Where the system lives; only a user's own places below some of them.
    static const QSet<QString> system = {
        "bin",  "boot", "dev", "etc", "lib", "lib32", "lib64", "libx32", "opt",       "proc",
        "root", "sbin", "srv", "sys", "tmp", "usr",   "var",   "snap",   "lost+found"};
    if (system.contains(top))
        return false;
    if (top == QLatin1String("run"))
        return parts.size() >= 4 && parts[1] == QLatin1String("media");  // /run/media/<user>/<vol>
    if (top == QLatin1String("home") || top == QLatin1String("media") ||
        top == QLatin1String("mnt") || top == QLatin1String("Volumes"))
        return parts.size() >= 2;
    return true;
}

Verdict HelperPolicy::check(const QString& path, const QStringList& arguments,
                            const Context& context)
{
    if (hasControlCharacters(path))
        return refuse(QStringLiteral("bad tool path"));
    for (const QString& a : arguments) {
        if (hasControlCharacters(a))
            return refuse(QStringLiteral("an argument holds control characters"));
    }
    if (arguments.size() > 256)
        return refuse(QStringLiteral("too many arguments"));
    if (context.zpoolPaths.contains(path))
        return checkZpool(arguments);
    if (context.chownPaths.contains(path))
        return checkChown(arguments, context);
    if (context.umountPaths.contains(path))
        return checkUmount(arguments, context);
    return refuse(QStringLiteral("%1 is not a tool Tarnwell runs").arg(path));
}
