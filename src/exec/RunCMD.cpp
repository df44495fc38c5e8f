#include "exec/RunCMD.h"

#include "base/Log.h"
#include "exec/KMPrivilegedTask.h"
#include "exec/PrivilegedSession.h"

namespace {
void logTimeOut(const ToolResult& r)
{
    if (r.ending == ToolResult::Ending::TimedOut || r.ending == ToolResult::Ending::TooMuchOutput)
        Log::write(QStringLiteral("%1 %2").arg(r.commandLine(), r.failure()));
}

// What a cut-short run printed is no answer at all.
QString text(const ToolResult& r)
{
    if (r.canceled())
        return QStringLiteral("Canceled");
    const bool ranToItsEnd = r.ending == ToolResult::Ending::Exited || r.ending == ToolResult::Ending::Crashed;
    return ranToItsEnd ? r.outputText() : QString();
}
}  // namespace

ToolResult RunCMD::run(const QString& launchPath, const QStringList& arguments, ToolLimits::Kind kind,
                       ToolProcess::Streams streams)
{
    ToolResult r = ToolProcess::run(launchPath, arguments, streams, ToolLimits::ms(kind));
    logTimeOut(r);
    return r;
}

ToolResult RunCMD::runAsAdmin(const HelperRequest& operation, const QString& launchPath,
                              const QStringList& arguments, ToolLimits::Kind kind, ToolProcess::Streams streams)
{
    KMPrivilegedTask task;
    task.setOperation(operation);
    task.setLaunchPath(launchPath);
    task.setArguments(arguments);
    task.setMergesErrors(streams == ToolProcess::Streams::Merged);
    task.setTimeLimit(ToolLimits::ms(kind));
    const int status = task.launch();
    if (status == PrivilegedSession::StatusCanceled)
        Log::write(QStringLiteral("Authorization Canceled"));
    else if (status != PrivilegedSession::StatusSuccess)
        Log::write(QStringLiteral("Something went wrong"));
    task.waitUntilExit();
    logTimeOut(task.result());
    return task.result();
}

QString RunCMD::runCmd(const QString& launchPath, const QStringList& arguments)
{
    return text(run(launchPath, arguments));
}

QString RunCMD::runStdoutOnly(const QString& launchPath, const QStringList& arguments)
{
    return text(run(launchPath, arguments, ToolLimits::Kind::Change, ToolProcess::Streams::Separate));
}

QString RunCMD::runCmdAsAdmin(const QString& launchPath, const QStringList& arguments)
{
    return text(runAsAdmin(launchPath, arguments));
}

QString RunCMD::runCmdAsAdmin(const HelperRequest& operation, const QString& launchPath,
                              const QStringList& arguments)
{
    return text(runAsAdmin(operation, launchPath, arguments));
}

QString RunCMD::runCmdAsAdminWithErrors(const QString& launchPath, const QStringList& arguments)
{
    return text(runAsAdmin(launchPath, arguments, ToolLimits::Kind::Change, ToolProcess::Streams::Merged));
}
