#pragma once
#include "exec/HelperProtocol.h"
#include "exec/ToolProcess.h"

#include <QMutex>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// One administrator authorization per process, reused by every later
// administrator run. Already root: tools run directly. Otherwise the
// elevator (pkexec) starts tarnwell-helper once and each request travels
// over its stdin; a dismissed dialog (exit 126) is a cancel and the next run
// asks again. The helper is told the operation, never a program or its
// arguments; destroy is served by a program of its own that asks for
// authorization each time and ends after that one run.
class PrivilegedSession {
public:
    static constexpr int StatusSuccess = 0;
    static constexpr int StatusCanceled = -60006;
    static constexpr int StatusFailed = -60008;

    // The process-wide session; its authorization is shared by every caller.
    static PrivilegedSession& instance();

    // Runs the operation as root, asking for the authorization first when
    // there is none yet; safe from any thread, one request at a time. Already
    // root, `launchPath` runs directly with `arguments` (the caller builds
    // them from the same zpool unit as the helper); otherwise the helper gets
    // `operation` and builds its own. The dialog may take as long as the user
    // likes; the tool gets `limitMs`, and the helper a little more to answer.
    ToolResult run(const HelperRequest& operation, const QString& launchPath, const QStringList& arguments,
                   ToolProcess::Streams streams, int limitMs);

    // Test and platform seams.
    void setElevator(const QStringList& command);  // default {"/usr/bin/pkexec"}
    void setHelperPath(const QString& path);       // default: installed, else beside the program
    // Default: tarnwell-destroy beside the helper.
    void setDestroyPath(const QString& path);
    void setForceElevation(bool force);            // elevate even when running as root
    void reset();                                  // drop the authorization (tests)
    int authorizationCount() const;                // how often the elevator was started

private:
    PrivilegedSession();
    ~PrivilegedSession();
    struct Impl;
    std::unique_ptr<Impl> d;
};
