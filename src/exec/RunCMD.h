#pragma once
#include <QString>
#include <QStringList>

// Synchronous tool runners. Absolute path, argument list, no shell; every
// tool gets LC_ALL=C so the English texts we look for are what it prints.
// Output is decoded as UTF-8 (lossily); a tool that cannot start gives "".
class RunCMD {
public:
    // Standard output and standard error together, in byte order.
    QString runCmd(const QString& launchPath, const QStringList& arguments);
    // With administrator rights; standard output only, or "Canceled" when the
    // user dismissed the authorization.
    QString runCmdAsAdmin(const QString& launchPath, const QStringList& arguments);
    // The same with standard error kept, in byte order, for a caller that has
    // to show the user why a tool failed.
    QString runCmdAsAdminWithErrors(const QString& launchPath, const QStringList& arguments);
    // Standard output only; standard error goes to ours.
    static QString runStdoutOnly(const QString& launchPath, const QStringList& arguments);

private:
    static QString runAsAdmin(const QString& launchPath, const QStringList& arguments,
                              bool mergeErrors);
};
