// tarnwell-helper: started once per session through the elevator (pkexec),
// it performs the pool operations Tarnwell asks for over stdin and answers
// with each tool's exit status, stdout and stderr. It judges every request on
// the live system (HelperSession), runs no shell, and ends when its stdin
// closes or after a quarter of an hour without a request.
//
// Built a second time as tarnwell-destroy: a program of its own, so polkit
// asks for authorization every time, that serves one destroy and ends.
#include "exec/HelperProtocol.h"
#include "helper/HelperSession.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <poll.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <unistd.h>
#include <vector>

#ifndef TARNWELL_DESTROY_PROGRAM
#define TARNWELL_DESTROY_PROGRAM 0
#endif

namespace {
constexpr int IdleMs = 15 * 60 * 1000;

QString firstExecutable(const QStringList& paths)
{
    for (const QString& p : paths) {
        if (QFileInfo(p).isExecutable())
            return p;
    }
    return {};
}

// pkexec names the user who asked in PKEXEC_UID; started otherwise, it is us.
HelperSession::User requestingUser()
{
    HelperSession::User user;
    bool ok = false;
    uid_t uid = qEnvironmentVariable("PKEXEC_UID").toUInt(&ok);
    if (!ok)
        uid = getuid();
    std::vector<char> buffer(16384);
    passwd pw;
    passwd* found = nullptr;
    if (getpwuid_r(uid, &pw, buffer.data(), buffer.size(), &found) != 0 || !found)
        return user;
    user.name = QString::fromLocal8Bit(found->pw_name);
    user.uid = found->pw_uid;
    user.gid = found->pw_gid;
    return user;
}

bool reply(const QByteArray& bytes)
{
    fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    return fflush(stdout) == 0;  // else Tarnwell is gone
}

// Tests may shorten the idle time; pkexec clears the environment, so a user cannot.
int idleMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariable("TARNWELL_HELPER_IDLE_MS").toInt(&ok);
    return ok && ms > 0 && ms < IdleMs ? ms : IdleMs;
}
}  // namespace

int main(int argc, char** argv)
{
    // No other process of the user may read or write our descriptors through /proc.
    prctl(PR_SET_DUMPABLE, 0);
    QCoreApplication app(argc, argv);
    if (argc != 1) {
        fprintf(stderr, "%s takes no arguments; Tarnwell talks to it over stdin\n", argv[0]);
        return 2;
    }
    // Tarnwell gone: the write fails and we end instead of dying on SIGPIPE.
    signal(SIGPIPE, SIG_IGN);
    QDir::setCurrent(QStringLiteral("/"));
    HelperSession session(
        {firstExecutable({QStringLiteral("/usr/sbin/zpool"), QStringLiteral("/usr/local/bin/zpool")}),
         firstExecutable({QStringLiteral("/usr/bin/umount"), QStringLiteral("/bin/umount")})},
        requestingUser(), TARNWELL_DESTROY_PROGRAM);
    // Being here means the user authorized us; say so.
    if (!reply(QByteArray(HelperProtocol::Hello) + '\n'))
        return 1;

    QByteArray pending;
    bool tooLong = false;
    const int idle = idleMs();
    for (;;) {
        pollfd in{STDIN_FILENO, POLLIN, 0};
        const int ready = poll(&in, 1, idle);
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            return 0;  // a quarter of an hour without a request: the next action asks again
        char chunk[65536];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return 0;
        pending.append(chunk, got);
        qsizetype newline;
        while ((newline = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(newline);
            pending.remove(0, newline + 1);
            QByteArray answer;
            HelperRequest request;
            QString error;
            if (tooLong)
                answer = HelperProtocol::encodeReply(HelperProtocol::ReplyKind::Error, 0, {}, "request too long");
            else if (!HelperProtocol::decodeRequest(line, &request, &error))
                answer = HelperProtocol::encodeReply(HelperProtocol::ReplyKind::Error, 0, {}, error.toUtf8());
            else
                answer = session.handle(request);
            tooLong = false;
            if (!reply(answer))
                return 1;
            if (TARNWELL_DESTROY_PROGRAM)
                return 0;  // one destroy per authorization
        }
        if (pending.size() > HelperProtocol::MaxRequestLine) {
            pending.clear();
            tooLong = true;
        }
    }
}
