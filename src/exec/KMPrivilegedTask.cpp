#include "exec/KMPrivilegedTask.h"

#include "base/NotificationCenter.h"
#include "base/Notifications.h"
#include "exec/PrivilegedSession.h"
#include "exec/ToolLimits.h"

#include <QDir>

KMPrivilegedTask::KMPrivilegedTask() : cwd_(QDir::currentPath()) {}

int KMPrivilegedTask::launch()
{
    // The session answers only once the tool has exited, so the run is over
    // when launch returns; waitUntilExit just closes the task's life.
    result_ = PrivilegedSession::instance().run(
        operation_, launchPath_, arguments_,
        mergesErrors_ ? ToolProcess::Streams::Merged : ToolProcess::Streams::Separate,
        limitMs_ > 0 ? limitMs_ : ToolLimits::ms(ToolLimits::Kind::Change));
    if (result_.canceled())
        return PrivilegedSession::StatusCanceled;
    if (result_.ending == ToolResult::Ending::CouldNotStart)
        return PrivilegedSession::StatusFailed;
    isRunning_ = true;
    return PrivilegedSession::StatusSuccess;
}

void KMPrivilegedTask::waitUntilExit()
{
    if (!isRunning_)
        return;
    isRunning_ = false;
    ran_ = true;
    NotificationCenter::defaultCenter().post(
        Notifications::KMPrivilegedTaskDidTerminateNotification, this);
}
