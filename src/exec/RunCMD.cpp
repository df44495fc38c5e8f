#include "exec/RunCMD.h"

#include "base/Log.h"
#include "exec/KMPrivilegedTask.h"
#include "exec/PrivilegedSession.h"
#include "exec/ToolProcess.h"

QString RunCMD::runCmd(const QString& launchPath, const QStringList& arguments)
{
    return ToolProcess::decode(
        ToolProcess::run(launchPath, arguments, ToolProcess::Streams::Merged).output);
}

QString RunCMD::runStdoutOnly(const QString& launchPath, const QStringList& arguments)
{
    return ToolProcess::decode(
        ToolProcess::run(launchPath, arguments, ToolProcess::Streams::StdoutOnly).output);
}

QString RunCMD::runCmdAsAdmin(const QString& launchPath, const QStringList& arguments)
{
    return runAsAdmin(launchPath, arguments, false);
}

QString RunCMD::runCmdAsAdminWithErrors(const QString& launchPath, const QStringList& arguments)
{
    return runAsAdmin(launchPath, arguments, true);
}

QString RunCMD::runAsAdmin(const QString& launchPath, const QStringList& arguments,
                           bool mergeErrors)
{
    KMPrivilegedTask task;
    task.setLaunchPath(launchPath);
    task.setArguments(arguments);
    task.setMergesErrors(mergeErrors);
    const int status = task.launch();
    if (status == PrivilegedSession::StatusCanceled) {
        Log::write(QStringLiteral("Authorization Canceled"));
        return QStringLiteral("Canceled");
    }
    if (status != PrivilegedSession::StatusSuccess) {
        Log::write(QStringLiteral("Something went wrong"));
        return {};
    }
    task.waitUntilExit();
    return task.output();
}
