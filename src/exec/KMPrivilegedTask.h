#pragma once
#include "exec/HelperProtocol.h"
#include "exec/ToolResult.h"

#include <QString>
#include <QStringList>

// One administrator run, on the process-wide PrivilegedSession.
class KMPrivilegedTask {
public:
    // The current directory is the process's, as the tool would inherit it.
    KMPrivilegedTask();

    void setLaunchPath(const QString& path) { launchPath_ = path; }
    QString launchPath() const { return launchPath_; }
    void setArguments(const QStringList& arguments) { arguments_ = arguments; }
    // What the privileged helper is asked for; launch path and arguments run
    // only when Tarnwell itself is root. Without one the helper refuses.
    void setOperation(const HelperRequest& operation) { operation_ = operation; }
    QStringList arguments() const { return arguments_; }
    void setCurrentDirectoryPath(const QString& cwd) { cwd_ = cwd; }
    QString currentDirectoryPath() const { return cwd_; }
    // Capture the tool's standard error with its output, in the order written.
    void setMergesErrors(bool merge) { mergesErrors_ = merge; }
    bool mergesErrors() const { return mergesErrors_; }
    void setTimeLimit(int ms) { limitMs_ = ms; }

    // 0 once the tool ran (whatever it said), PrivilegedSession::StatusCanceled
    // when the user dismissed the dialog, any other non-zero value when it
    // could not run. Runs the tool to its end.
    int launch();
    // Posts "KMPrivilegedTaskDidTerminateNotification" once after a successful launch.
    void waitUntilExit();
    bool isRunning() const { return isRunning_; }
    // The standard output of a run that launched.
    QString output() const { return isRunning_ || ran_ ? result_.outputText() : QString(); }
    const ToolResult& result() const { return result_; }

private:
    QString launchPath_;
    QStringList arguments_;
    HelperRequest operation_;
    QString cwd_;
    bool mergesErrors_ = false;
    int limitMs_ = 0;
    bool isRunning_ = false;
    bool ran_ = false;
    ToolResult result_;
};
