// tarnwell-helper: started once per session through the elevator (pkexec),
// it runs the administrator tool runs that Tarnwell asks for over stdin and
// answers with each tool's exit status, stdout and stderr. It runs only what
// HelperPolicy allows, never through a shell, never longer than its time
// limit, and ends when its stdin closes.
#include "exec/HelperProtocol.h"
#include "exec/MountInfo.h"
#include "exec/ToolLimits.h"
#include "exec/ToolProcess.h"
#include "helper/HelperPolicy.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QHash>

#include <cstdio>
#include <csignal>
#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <sys/sysmacros.h>
#include <unistd.h>
#include <vector>

namespace {
QStringList existing(const QStringList& paths)
{
    QStringList found;
    for (const QString& p : paths) {
        if (QFileInfo(p).isExecutable())
            found << p;
    }
    return found;
}

// pkexec names the user who asked in PKEXEC_UID; started otherwise, it is us.
void requestingUser(HelperPolicy::Context& context)
{
    bool ok = false;
    uid_t uid = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
    if (!ok)
        uid = getuid();
    std::vector<char> buffer(16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return;
    context.user = QString::fromLocal8Bit(found->pw_name);
    int count = 64;
    std::vector<gid_t> groups(count);
    if (getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(count);
        getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count);
    }
    groups.resize(count);
    std::vector<char> groupBuffer(16384);
    for (gid_t gid : groups) {
        group gr;
        group* g = nullptr;
        if (getgrgid_r(gid, &gr, groupBuffer.data(), groupBuffer.size(), &g) == 0 && g)
            context.userGroups << QString::fromLocal8Bit(g->gr_name);
    }
}

QString blockDeviceName(dev_t devno)
{
    QFile uevent(QStringLiteral("/sys/dev/block/%1:%2/uevent").arg(major(devno)).arg(minor(devno)));
    if (!uevent.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : uevent.readAll().split('\n')) {
        if (line.startsWith("DEVNAME="))
            return QStringLiteral("/dev/") + QString::fromLocal8Bit(line.mid(8));
    }
    return {};
}

HelperPolicy::Context currentContext()
{
    HelperPolicy::Context context;
    context.zpoolPaths =
        existing({QStringLiteral("/usr/sbin/zpool"), QStringLiteral("/usr/local/bin/zpool")});
    context.chownPaths = existing({QStringLiteral("/usr/bin/chown"), QStringLiteral("/bin/chown")});
    context.umountPaths =
        existing({QStringLiteral("/usr/bin/umount"), QStringLiteral("/bin/umount")});
    requestingUser(context);
    QHash<dev_t, QString> names;
    for (const MountEntry& e : MountInfo::read()) {
        if (MountInfo::isZfsDataset(e)) {
            context.zfsMountPoints << e.target;
            continue;
        }
        if (major(e.devno) == 0)
            continue;
        if (!names.contains(e.devno))
            names.insert(e.devno, blockDeviceName(e.devno));
        const QString device = names.value(e.devno);
        if (!device.isEmpty())
            context.mountedBlockDevices[device] << e.target;
    }
    return context;
}

void reply(const QByteArray& bytes)
{
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    if (fflush(stdout) != 0)
        exit(1);  // Tarnwell is gone
}

void decline(HelperProtocol::ReplyKind kind, const QString& why)
{
    fprintf(stderr, "tarnwell-helper: %s\n", qPrintable(why));
    reply(HelperProtocol::encodeReply(kind, 0, {}, why.toUtf8()));
}

void handle(const QByteArray& line)
{
    QString path;
    QStringList arguments;
    QString error;
    bool merge = false;
    int limitMs = 0;
    if (!HelperProtocol::decodeRequest(line, &path, &arguments, &error, &merge, &limitMs)) {
        decline(HelperProtocol::ReplyKind::Error, error);
        return;
    }
    const HelperPolicy::Verdict verdict = HelperPolicy::check(path, arguments, currentContext());
    if (!verdict.allowed) {
        decline(HelperProtocol::ReplyKind::Refused, QStringLiteral("refused: ") + verdict.reason);
        return;
    }

    // A request may shorten the limit, never lengthen it.
    const int most = ToolLimits::ChangeDefaultMs;
    limitMs = limitMs <= 0 ? most : qBound(100, limitMs, most);
    QProcessEnvironment env;
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/sbin:/usr/bin:/sbin:/bin"));
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    // stdin is /dev/null, never the request pipe: a tool that reads stdin must not eat requests.
    reply(HelperProtocol::encodeReply(ToolProcess::run(
        path, arguments, merge ? ToolProcess::Streams::Merged : ToolProcess::Streams::Separate, limitMs, env)));
}
}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 1) {
        fprintf(stderr, "tarnwell-helper takes no arguments; Tarnwell talks to it over stdin\n");
        return 2;
    }
    // Tarnwell gone: the write fails and we end instead of dying on SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    QDir::setCurrent(QStringLiteral("/"));
    // Being here means the user authorized us; say so.
    printf("%s\n", HelperProtocol::Hello);
    if (fflush(stdout) != 0)
        return 1;

    QByteArray line;
    bool tooLong = false;
    int c;
    while ((c = fgetc(stdin)) != EOF) {
        if (c != '\n') {
            if (line.size() < HelperProtocol::MaxRequestLine)
                line.append(char(c));
            else
                tooLong = true;
            continue;
        }
        if (tooLong)
            decline(HelperProtocol::ReplyKind::Error, QStringLiteral("request too long"));
        else
            handle(line);
        line.clear();
        tooLong = false;
    }
    return 0;
}
