#pragma once
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
    QStringList arguments() const { return arguments_; }
    void setCurrentDirectoryPath(const QString& cwd) { cwd_ = cwd; }
    QString currentDirectoryPath() const { return cwd_; }
    // Capture the tool's standard error with its output, in the order written.
    void setMergesErrors(bool merge) { mergesErrors_ = merge; }
    bool mergesErrors() const { return mergesErrors_; }

    // 0 on success, PrivilegedSession::StatusCanceled when the user dismissed
    // the dialog, any other non-zero value on failure.
    // Runs the tool to its end; the output is kept only on success.
    int launch();
    // Posts "KMPrivilegedTaskDidTerminateNotification" once after a successful launch.
    void waitUntilExit();
    bool isRunning() const { return isRunning_; }
    QString output() const { return output_; }

private:
    QString launchPath_;
    QStringList arguments_;
    QString cwd_;
    bool mergesErrors_ = false;
    bool isRunning_ = false;
    QString output_;
};
