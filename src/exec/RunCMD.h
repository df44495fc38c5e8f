#pragma once
#include "exec/HelperProtocol.h"
#include "exec/ToolLimits.h"
#include "exec/ToolProcess.h"

#include <QString>
#include <QStringList>

// Synchronous tool runners. Absolute path, argument list, no shell; every
// tool gets LC_ALL=C so the English texts we look for are what it prints,
// and a time limit of its kind. run and runAsAdmin keep the whole outcome;
// the string calls are thin adaptors over them, where a tool that cannot
// start gives "".
class RunCMD {
public:
    static ToolResult run(const QString& launchPath, const QStringList& arguments,
                          ToolLimits::Kind kind = ToolLimits::Kind::Change,
                          ToolProcess::Streams streams = ToolProcess::Streams::Merged);
    // With administrator rights, through KMPrivilegedTask; logs
    // "Authorization Canceled" or "Something went wrong" as the Parts ask.
    // The helper is asked for `operation`; launchPath and arguments run only
    // when Tarnwell is root itself. Without an operation the helper refuses.
    static ToolResult runAsAdmin(const HelperRequest& operation, const QString& launchPath,
                                 const QStringList& arguments, ToolLimits::Kind kind = ToolLimits::Kind::Change,
                                 ToolProcess::Streams streams = ToolProcess::Streams::Separate);
    static ToolResult runAsAdmin(const QString& launchPath, const QStringList& arguments,
                                 ToolLimits::Kind kind = ToolLimits::Kind::Change,
                                 ToolProcess::Streams streams = ToolProcess::Streams::Separate)
    {
        return runAsAdmin(HelperRequest{}, launchPath, arguments, kind, streams);
    }

    // Standard output and standard error together, in byte order.
    QString runCmd(const QString& launchPath, const QStringList& arguments);
    // With administrator rights; standard output only, or "Canceled" when the
    // user dismissed the authorization.
    QString runCmdAsAdmin(const QString& launchPath, const QStringList& arguments);
    QString runCmdAsAdmin(const HelperRequest& operation, const QString& launchPath, const QStringList& arguments);
    // The same with standard error kept, in byte order.
    QString runCmdAsAdminWithErrors(const QString& launchPath, const QStringList& arguments);
    // Standard output only.
    static QString runStdoutOnly(const QString& launchPath, const QStringList& arguments);
};
