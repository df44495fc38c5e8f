#include "exec/KMPrivilegedTask.h"

#include "base/NotificationCenter.h"
#include "base/Notifications.h"
#include "exec/PrivilegedSession.h"

#include <QDir>

KMPrivilegedTask::KMPrivilegedTask() : cwd_(QDir::currentPath()) {}

int KMPrivilegedTask::launch()
{
    // The session answers only once the tool has exited, so the run is over
    // when launch returns; waitUntilExit just closes the task's life.
    const PrivilegedSession::Result result =
        PrivilegedSession::instance().run(launchPath_, arguments_,
                                          mergesErrors_ ? ToolProcess::Streams::Merged
                                                        : ToolProcess::Streams::StdoutOnly);
    if (result.status == PrivilegedSession::StatusSuccess) {
        isRunning_ = true;
        output_ = result.output;
    }
    return result.status;
}

void KMPrivilegedTask::waitUntilExit()
{
    if (!isRunning_)
        return;
    isRunning_ = false;
    NotificationCenter::defaultCenter().post(
        Notifications::KMPrivilegedTaskDidTerminateNotification, this);
}
