#include "helper/HelperSession.h"

#include "exec/MountInfo.h"
#include "exec/ToolLimits.h"
#include "exec/ToolProcess.h"
#include "helper/HelperPolicy.h"
#include "helper/LiveChecks.h"
#include "zpool/PoolName.h"
#include "zpool/ZpoolCreate.h"
#include "zpool/ZpoolExport.h"
#include "zpool/ZpoolImport.h"
#include "zpool/ZpoolImportScan.h"
#include "zpool/ZpoolList.h"
#include "zpool/ZpoolOperation.h"
#include "zpool/ZpoolStatus.h"

#include <QFile>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

namespace Op = HelperProtocol::Op;

struct HelperSession::Outcome {
    std::optional<ToolResult> ran;  // else refused, with `why`
    QString why;
};

namespace {
using Outcome = HelperSession::Outcome;

bool hasControlCharacters(const QString& s)
{
    for (const QChar c : s) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return true;
    }
    return false;
}

ToolResult runTool(const QString& path, const QStringList& args, bool merge, int limitMs)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // stdin is /dev/null, never the request pipe: a tool that reads stdin must not eat requests.
    return ToolProcess::run(path, args, merge ? ToolProcess::Streams::Merged : ToolProcess::Streams::Separate,
                            limitMs, env);
}

QStringList names(const RaidList& pools)
{
    QStringList n;
    for (const auto& p : pools) {
        if (p && p->Name)
            n << *p->Name;
    }
    return n;
}
}  // namespace

HelperSession::HelperSession(Tools tools, User user, bool destroyProgram)
    : tools_(std::move(tools)), user_(std::move(user)), destroyProgram_(destroyProgram)
{
}

QString HelperSession::importRoot() const
{
    return QStringLiteral("/media/") + user_.name;
}

QStringList HelperSession::volumeRoots() const
{
    // The desktop's places for this user's volumes; anything mounted elsewhere
    // is the administrator's or another user's.
    return {QStringLiteral("/media/") + user_.name + QLatin1Char('/'),
            QStringLiteral("/run/media/") + user_.name + QLatin1Char('/')};
}

QByteArray HelperSession::handle(const HelperRequest& request)
{
    // A request may shorten the limit, never lengthen it.
    const int most = ToolLimits::ChangeDefaultMs;
    const int limitMs = request.limitMs <= 0 ? most : qBound(100, request.limitMs, most);
    const Outcome o = perform(request, limitMs);
    if (!o.ran) {
        fprintf(stderr, "tarnwell-helper: refused %s: %s\n", qPrintable(request.op), qPrintable(o.why));
        return HelperProtocol::encodeReply(HelperProtocol::ReplyKind::Refused, 0, {},
                                           (QStringLiteral("refused: ") + o.why).toUtf8());
    }
    return HelperProtocol::encodeReply(*o.ran);
}

HelperSession::Outcome HelperSession::perform(const HelperRequest& r, int limitMs)
{
    const auto refuse = [](const QString& why) { return Outcome{std::nullopt, why}; };
    const auto run = [&](const QString& tool, const QStringList& args) {
        return Outcome{runTool(tool, args, r.merge, limitMs), {}};
    };

    for (const QString& s : QStringList{r.op, r.pool, r.mode} + r.devices + r.options) {
        if (hasControlCharacters(s))
            return refuse(QStringLiteral("an operand holds control characters"));
    }
    if (r.devices.size() + r.options.size() > 256)
        return refuse(QStringLiteral("too many operands"));
    if (destroyProgram_ != (r.op == Op::Destroy))
        return refuse(destroyProgram_ ? QStringLiteral("this program only destroys a pool")
                                      : QStringLiteral("destroy asks for its own authorization"));
    if (tools_.zpool.isEmpty())
        return refuse(QStringLiteral("zpool is not installed"));

    const QList<MountEntry> mounts = MountInfo::read();
    LiveChecks::System system = LiveChecks::systemOf(mounts);

    // The pools as zpool lists them now; the system's own and its disks are off limits.
    const ToolResult listed = runTool(tools_.zpool, ZpoolList::arguments(), false, ToolLimits::ReadDefaultMs);
    if (!listed.ok())
        return refuse(QStringLiteral("zpool could not list the pools: ") + listed.report());
    const QStringList imported = names(ZpoolList::ShowRAIDList(listed.output));
    for (const QString& pool : std::as_const(system.pools)) {
        // OpenZFS names the real devices with -L; zfs-fuse knows no -L and names the ones it was given.
        ToolResult status = runTool(tools_.zpool, ZpoolStatus::arguments() << pool, false, ToolLimits::ReadDefaultMs);
        if (!status.ok())
            status = runTool(tools_.zpool, {QStringLiteral("status"), pool}, false, ToolLimits::ReadDefaultMs);
        if (!status.ok())
            return refuse(QStringLiteral("zpool could not say which disks hold the system: ") + status.report());
        // Whatever its members are called, each names a device under /dev.
        for (const QString& word : QString::fromUtf8(status.output).split(QRegularExpression(QStringLiteral("\\s+")))) {
            struct stat st;
            const QString dev = word.startsWith(QLatin1String("/dev/")) ? word : QStringLiteral("/dev/") + word;
            if (!word.isEmpty() && ::stat(QFile::encodeName(dev).constData(), &st) == 0 && S_ISBLK(st.st_mode))
                system.disks.unite(LiveChecks::wholeDisksOf(st.st_rdev));
        }
    }
    const auto poolProblem = [&](const QString& pool) -> QString {
        if (!imported.contains(pool))
            return QStringLiteral("there is no pool \"%1\"").arg(pool);
        if (system.pools.contains(pool))
            return QStringLiteral("%1 holds the system").arg(pool);
        return {};
    };
    const auto memberProblem = [](const QString& device) -> QString {
        // zpool looks the member up in the pool; only its spelling is ours to check.
        if (device.isEmpty() || device.startsWith(QLatin1Char('-')) ||
            (device.contains(QLatin1Char('/')) && !device.startsWith(QLatin1String("/dev/"))) ||
            device.split(QLatin1Char('/')).contains(QLatin1String("..")))
            return QStringLiteral("\"%1\" is not a member's name").arg(device);
        return {};
    };
    // A bare name is zpool's short form for a device under /dev; zpool gets the
    // path that was checked, so it cannot look the name up anywhere else.
    const auto devicePath = [](const QString& d) {
        return d.contains(QLatin1Char('/')) || d.isEmpty() ? d : QStringLiteral("/dev/") + d;
    };
    const auto diskProblem = [&](const QString& device) -> QString {
        dev_t devno = 0;
        return LiveChecks::blockDevice(devicePath(device), false, system, &devno);
    };

    if (r.op == Op::ImportScan) {
        if (const auto args = ZpoolOperation::arguments(r))
            return run(tools_.zpool, *args);
        return refuse(QStringLiteral("the import scan takes no operands"));
    }

    if (r.op == Op::Destroy || r.op == Op::Export || r.op == Op::Scrub || r.op == Op::ScrubStop ||
        r.op == Op::Offline || r.op == Op::Online || r.op == Op::Detach || r.op == Op::Replace) {
        const std::optional<QStringList> args = ZpoolOperation::arguments(r);
        if (!args)
            return refuse(QStringLiteral("%1 does not take these operands").arg(r.op));
        if (QString why = poolProblem(r.pool); !why.isEmpty())
            return refuse(why);
        if (!r.devices.isEmpty()) {
            if (QString why = memberProblem(r.devices[0]); !why.isEmpty())
                return refuse(why);
        }
        if (r.op == Op::Replace) {
            if (QString why = diskProblem(r.devices[1]); !why.isEmpty())
                return refuse(why);
            HelperRequest checked = r;
            checked.devices[1] = devicePath(r.devices[1]);
            return run(tools_.zpool, *ZpoolOperation::arguments(checked));
        }
        return run(tools_.zpool, *args);
    }

    if (r.op == Op::Create) {
        const std::optional<QStringList> args = ZpoolOperation::arguments(r);
        if (!args || r.devices.isEmpty())
            return refuse(QStringLiteral("create needs a name, a mode zpool knows and devices"));
        if (QString why = PoolName::problem(r.pool); !why.isEmpty() || r.pool.isEmpty())
            return refuse(why.isEmpty() ? QStringLiteral("create needs a name") : why);
        if (imported.contains(r.pool))
            return refuse(QStringLiteral("there is a pool \"%1\" already").arg(r.pool));
        // The options: flags and the properties a user sets on a data pool; places checked as places.
        QString mountPoint = QLatin1Char('/') + r.pool, altroot;
        for (qsizetype i = 0; i < r.options.size(); ++i) {
            const QString& o = r.options[i];
            if (o == QLatin1String("-f") || o == QLatin1String("-d"))
                continue;
            if (o != QLatin1String("-o") && o != QLatin1String("-O") && o != QLatin1String("-m") &&
                o != QLatin1String("-R"))
                return refuse(QStringLiteral("create does not take %1").arg(o));
            if (++i >= r.options.size())
                return refuse(QStringLiteral("%1 needs a value").arg(o));
            const QString& v = r.options[i];
            if (o == QLatin1String("-m") || o == QLatin1String("-R")) {
                (o == QLatin1String("-m") ? mountPoint : altroot) = v;
                continue;
            }
            const qsizetype eq = v.indexOf(QLatin1Char('='));
            const QString name = v.left(eq);
            if (eq <= 0)
                return refuse(QStringLiteral("\"%1\" is not property=value").arg(v));
            if (name == QLatin1String("mountpoint") && o == QLatin1String("-O"))
                mountPoint = v.mid(eq + 1);
            else if (name == QLatin1String("altroot") && o == QLatin1String("-o"))
                altroot = v.mid(eq + 1);
            else if (!ZpoolCreate::isAllowedProperty(name, o == QLatin1String("-O")))
                return refuse(QStringLiteral("the property %1 is not one Tarnwell lets a new RAID set have").arg(name));
        }
        if (mountPoint != QLatin1String("none") && mountPoint != QLatin1String("legacy")) {
            const QString place = altroot.isEmpty() ? mountPoint : altroot + mountPoint;
            if (!HelperPolicy::isVolumePath(mountPoint) || (!altroot.isEmpty() && !HelperPolicy::isVolumePath(place)))
                return refuse(QStringLiteral("the mount point %1 is a system place").arg(place));
            if (QString why = LiveChecks::safePlace(place, true, true); !why.isEmpty())
                return refuse(QStringLiteral("the mount point %1 is not safe: %2").arg(place, why));
        }
        for (const QString& d : r.devices) {
            if (QString why = diskProblem(d); !why.isEmpty())
                return refuse(why);
        }
        HelperRequest confined = r;
        confined.options << ZpoolCreate::confinedOptions();
        for (QString& d : confined.devices)
            d = devicePath(d);
        Outcome o = run(tools_.zpool, *ZpoolOperation::arguments(confined));
        if (o.ran->ok())
            created_.insert(r.pool);
        return o;
    }

    if (r.op == Op::Import) {
        if (!ZpoolOperation::arguments(r) || r.pool.isEmpty())
            return refuse(QStringLiteral("import takes one pool"));
        if (user_.name.isEmpty() || user_.name.contains(QLatin1Char('/')))
            return refuse(QStringLiteral("the user who asked is unknown"));
        if (imported.contains(r.pool))
            return refuse(QStringLiteral("%1 is mounted already").arg(r.pool));
        const ToolResult scan = runTool(tools_.zpool, ZpoolImportScan::arguments(), false, ToolLimits::ChangeDefaultMs);
        RaidList ejected;
        ZpoolImportScan::ShowUnimportRAID(scan.output, ejected);
        if (!names(ejected).contains(r.pool))
            return refuse(QStringLiteral("there is no ejected pool \"%1\"").arg(r.pool));
        const QString root = importRoot();
        if (QString why = LiveChecks::safePlace(QStringLiteral("/media"), false, false); !why.isEmpty())
            return refuse(why);
        ::mkdir(QFile::encodeName(root).constData(), 0755);  // as the desktop would; checked next
        if (QString why = LiveChecks::safePlace(root, false, false); !why.isEmpty())
            return refuse(why);
        if (QString why = LiveChecks::safePlace(root + QLatin1Char('/') + r.pool, true, true); !why.isEmpty())
            return refuse(why);
        Outcome o = run(tools_.zpool, ZpoolImport::confinedArguments(r.pool, root));
        // Whatever the pool holds, nothing of it may be mounted elsewhere or without nosuid,nodev.
        QStringList wrong;
        for (const MountEntry& e : MountInfo::read()) {
            if (!MountInfo::isZfsDataset(e) || (e.source != r.pool && !e.source.startsWith(r.pool + QLatin1Char('/'))))
                continue;
            const QStringList opts = e.mountOptions.split(QLatin1Char(','));
            if ((e.target == root || e.target.startsWith(root + QLatin1Char('/'))) &&
                opts.contains(QLatin1String("nosuid")) && opts.contains(QLatin1String("nodev")))
                continue;
            ::umount2(QFile::encodeName(e.target).constData(), MNT_DETACH | UMOUNT_NOFOLLOW);
            wrong << e.target;
        }
        if (!wrong.isEmpty()) {
            runTool(tools_.zpool, ZpoolExport::arguments(r.pool), false, ToolLimits::ChangeDefaultMs);
            return refuse(QStringLiteral("%1 was mounted where it may not be (%2), so it was ejected again")
                              .arg(r.pool, wrong.join(QStringLiteral(", "))));
        }
        return o;
    }

    if (r.op == Op::Give) {
        if (!r.devices.isEmpty() || !r.options.isEmpty() || !created_.contains(r.pool))
            return refuse(QStringLiteral("only a RAID set created in this session is given to its user"));
        if (user_.name.isEmpty())
            return refuse(QStringLiteral("the user who asked is unknown"));
        std::optional<MountEntry> mount;
        for (const MountEntry& e : mounts) {
            if (MountInfo::isZfsDataset(e) && e.source == r.pool)
                mount = e;
        }
        if (!mount)
            return refuse(QStringLiteral("%1 is not mounted").arg(r.pool));
        ToolResult done = ToolResult::notStarted(QStringLiteral("give"), {r.pool, mount->target}, {});
        const QString why = LiveChecks::giveTree(mount->target, mount->devno, user_.uid, user_.gid);
        done.ending = ToolResult::Ending::Exited;
        done.exitStatus = why.isEmpty() ? 0 : 1;
        done.errors = why.toUtf8();
        return Outcome{done, {}};
    }

    if (r.op == Op::Unmount) {
        if (r.devices.size() != 1 || !r.pool.isEmpty() || !r.options.isEmpty())
            return refuse(QStringLiteral("unmount takes one device"));
        if (tools_.umount.isEmpty())
            return refuse(QStringLiteral("umount is not installed"));
        dev_t devno = 0;
        if (QString why = LiveChecks::blockDevice(r.devices[0], true, system, &devno); !why.isEmpty())
            return refuse(why);
        bool any = false;
        for (const MountEntry& e : mounts) {
            if (e.devno != devno)
                continue;
            any = true;
            bool yours = false;
            for (const QString& root : volumeRoots())
                yours = yours || (e.target.startsWith(root) && HelperPolicy::isVolumePath(e.target));
            if (!yours || user_.name.isEmpty())
                return refuse(QStringLiteral("%1 is mounted at %2, not among your volumes").arg(r.devices[0], e.target));
        }
        if (!any)
            return refuse(QStringLiteral("%1 is not mounted").arg(r.devices[0]));
        return run(tools_.umount, {r.devices[0]});
    }

    return refuse(QStringLiteral("\"%1\" is not an operation Tarnwell asks for").arg(r.op));
}
