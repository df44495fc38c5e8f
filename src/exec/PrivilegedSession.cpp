#include "exec/PrivilegedSession.h"

#include "exec/HelperProtocol.h"
#include "exec/ToolProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QReadWriteLock>
#include <QThread>

#include <atomic>
#include <mutex>
#include <unistd.h>

namespace {
QString defaultHelperPath()
{
    const QString installed = QStringLiteral(TARNWELL_HELPER_INSTALLED);
    if (QFileInfo(installed).isExecutable() || !QCoreApplication::instance())
        return installed;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/tarnwell-helper");
}

void shutdownAtExit();
}  // namespace

struct PrivilegedSession::Impl {
    mutable QMutex configMutex;
    QStringList elevator{QStringLiteral("/usr/bin/pkexec")};
    QString helperPath;
    QString destroyPath;
    bool force = false;
    std::atomic<int> authorizations{0};

    // The helper is started from a thread of its own that lives as long as
    // the session: pkexec ends its child when the thread that forked it ends.
    // The lock is read-held by every run and write-held to start or stop it.
    QReadWriteLock threadLock;
    QThread* thread = nullptr;
    QObject* context = nullptr;

    // Only touched on `thread`.
    QProcess* helper = nullptr;

    QObject* ensureThread();
    void shutdown();

    ToolResult serve(const HelperRequest& operation, ToolResult request);
    ToolResult ask(QProcess* process, const HelperRequest& operation, ToolResult request);
    int startHelper(QProcess** process, bool destroy);
    void dropHelper(QProcess** process);
    void dropHelper() { dropHelper(&helper); }
    static bool waitForLine(QProcess* p, QByteArray* line, qsizetype maxLength,
                            QDeadlineTimer deadline = QDeadlineTimer::Forever);
    static bool waitForBytes(QProcess* p, qsizetype count, QDeadlineTimer deadline);
};

// Returns with threadLock held for reading.
QObject* PrivilegedSession::Impl::ensureThread()
{
    threadLock.lockForRead();
    if (thread)
        return context;
    threadLock.unlock();
    {
        QWriteLocker lock(&threadLock);
        if (!thread) {
            static std::once_flag registered;
            std::call_once(registered, [] { qAddPostRoutine(shutdownAtExit); });
            thread = new QThread;
            thread->setObjectName(QStringLiteral("PrivilegedSession"));
            context = new QObject;
            context->moveToThread(thread);
            thread->start();
        }
    }
    return ensureThread();
}

void PrivilegedSession::Impl::shutdown()
{
    QWriteLocker lock(&threadLock);
    if (!thread)
        return;
    QMetaObject::invokeMethod(
        context, [this] { dropHelper(); }, Qt::BlockingQueuedConnection);
    thread->quit();
    thread->wait();
    delete context;
    delete thread;
    context = nullptr;
    thread = nullptr;
}

bool PrivilegedSession::Impl::waitForLine(QProcess* p, QByteArray* line, qsizetype maxLength,
                                         QDeadlineTimer deadline)
{
    while (!p->canReadLine()) {
        if (p->bytesAvailable() > maxLength || deadline.hasExpired() ||
            !p->waitForReadyRead(deadline.isForever() ? -1 : int(deadline.remainingTime())))
            return false;
    }
    *line = p->readLine();
    line->chop(1);
    return true;
}

bool PrivilegedSession::Impl::waitForBytes(QProcess* p, qsizetype count, QDeadlineTimer deadline)
{
    while (p->bytesAvailable() < count) {
        if (deadline.hasExpired() || !p->waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return true;
}

int PrivilegedSession::Impl::startHelper(QProcess** process, bool destroy)
{
    QStringList command;
    QString helperProgram;
    {
        QMutexLocker lock(&configMutex);
        command = elevator;
        helperProgram = helperPath.isEmpty() ? defaultHelperPath() : helperPath;
        if (destroy)
            helperProgram = !destroyPath.isEmpty()
                                ? destroyPath
                                : QFileInfo(helperProgram).absolutePath() + QStringLiteral("/tarnwell-destroy");
    }
    if (command.isEmpty())
        return StatusFailed;

    QProcess*& helper = *process;
    helper = new QProcess;
    helper->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    ++authorizations;
    helper->start(command.first(), command.mid(1) << helperProgram);
    if (!helper->waitForStarted(-1)) {
        dropHelper(process);
        return StatusFailed;
    }
    // No time limit: the user may take as long as they like with the dialog.
    QByteArray line;
    const bool answered = waitForLine(helper, &line, HelperProtocol::MaxHeaderLine);
    if (answered && line == HelperProtocol::Hello)
        return StatusSuccess;
    if (answered || helper->state() != QProcess::NotRunning) {
        qWarning("tarnwell: the privileged helper did not introduce itself");
        dropHelper(process);
        return StatusFailed;
    }
    // Ended before the helper spoke: the elevator's own verdict.
    const bool canceled = helper->exitStatus() == QProcess::NormalExit && helper->exitCode() == 126;
    dropHelper(process);
    return canceled ? StatusCanceled : StatusFailed;
}

void PrivilegedSession::Impl::dropHelper(QProcess** process)
{
    QProcess*& helper = *process;
    if (!helper)
        return;
    if (helper->state() != QProcess::NotRunning) {
        // The helper ends when its stdin closes; it may first finish a tool.
        helper->closeWriteChannel();
        if (!helper->waitForFinished(30000)) {
            helper->kill();
            helper->waitForFinished(1000);
        }
    }
    delete helper;
    helper = nullptr;
}

ToolResult PrivilegedSession::Impl::serve(const HelperRequest& operation, ToolResult request)
{
    // Destroy asks every time: a program of its own, for this one request.
    const bool destroy = operation.op == HelperProtocol::Op::Destroy;
    QProcess* oneShot = nullptr;
    QProcess** process = destroy ? &oneShot : &helper;
    if (!destroy && helper && (helper->state() != QProcess::Running || helper->bytesAvailable() > 0))
        dropHelper();  // died, ended idle or spoke out of turn since the last request: start afresh
    if (!*process) {
        const int status = startHelper(process, destroy);
        if (status == StatusCanceled)
            request.ending = ToolResult::Ending::Canceled;
        if (status != StatusSuccess) {
            request.why = QStringLiteral("the administrator authorization failed");
            return request;
        }
    }
    const ToolResult result = ask(*process, operation, request);
    if (destroy || (*process && (*process)->state() != QProcess::Running))
        dropHelper(process);
    return result;
}

ToolResult PrivilegedSession::Impl::ask(QProcess* p, const HelperRequest& operation, ToolResult request)
{
    HelperRequest sent = operation;
    sent.merge = request.merged;
    sent.limitMs = request.limitMs;
    p->write(HelperProtocol::encodeRequest(sent));
    // The helper stops the tool at the limit; the margin covers its checks and answer.
    const QDeadlineTimer deadline(qint64(request.limitMs) + 15000);
    QByteArray line;
    HelperProtocol::ReplyHeader header;
    if (!waitForLine(p, &line, HelperProtocol::MaxHeaderLine, deadline) ||
        !HelperProtocol::parseReplyHeader(line, &header) ||
        !waitForBytes(p, header.outLength + header.errLength, deadline)) {
        qWarning("tarnwell: the privileged helper gave no valid answer in time");
        p->kill();
        p->waitForFinished(1000);
        request.ending = deadline.hasExpired() ? ToolResult::Ending::TimedOut : ToolResult::Ending::CouldNotStart;
        request.why = QStringLiteral("the privileged helper gave no valid answer");
        return request;
    }
    const QByteArray out = p->read(header.outLength);
    const QByteArray err = p->read(header.errLength);
    if (header.kind == HelperProtocol::ReplyKind::Refused || header.kind == HelperProtocol::ReplyKind::Error)
        qWarning("tarnwell: the privileged helper declined %s: %s", qPrintable(operation.op), err.constData());
    return HelperProtocol::resultOf(header, out, err, request);
}

PrivilegedSession& PrivilegedSession::instance()
{
    static PrivilegedSession session;
    return session;
}

PrivilegedSession::PrivilegedSession() : d(std::make_unique<Impl>()) {}

PrivilegedSession::~PrivilegedSession()
{
    d->shutdown();
}

namespace {
void shutdownAtExit()
{
    PrivilegedSession::instance().reset();
}
}  // namespace

ToolResult PrivilegedSession::run(const HelperRequest& operation, const QString& launchPath,
                                  const QStringList& arguments, ToolProcess::Streams streams, int limitMs)
{
    bool force;
    {
        QMutexLocker lock(&d->configMutex);
        force = d->force;
    }
    if (geteuid() == 0 && !force)
        return ToolProcess::run(launchPath, arguments, streams, limitMs);

    ToolResult request = ToolResult::notStarted(launchPath, arguments, {});
    request.merged = streams == ToolProcess::Streams::Merged;
    request.limitMs = limitMs;
    QObject* context = d->ensureThread();
    ToolResult result;
    // Requests queue up on the session thread, so the first of several
    // simultaneous runs asks for authorization and the others reuse it.
    QMetaObject::invokeMethod(
        context, [&] { result = d->serve(operation, request); }, Qt::BlockingQueuedConnection);
    d->threadLock.unlock();
    return result;
}

void PrivilegedSession::setElevator(const QStringList& command)
{
    QMutexLocker lock(&d->configMutex);
    d->elevator = command;
}

void PrivilegedSession::setHelperPath(const QString& path)
{
    QMutexLocker lock(&d->configMutex);
    d->helperPath = path;
}

void PrivilegedSession::setDestroyPath(const QString& path)
{
    QMutexLocker lock(&d->configMutex);
    d->destroyPath = path;
}

void PrivilegedSession::setForceElevation(bool force)
{
    QMutexLocker lock(&d->configMutex);
    d->force = force;
}

void PrivilegedSession::reset()
{
    d->shutdown();
    d->authorizations = 0;
}

int PrivilegedSession::authorizationCount() const
{
    return d->authorizations;
}
