#include "base/Log.h"

#include <atomic>
#include <syslog.h>

Q_LOGGING_CATEGORY(lcTarnwell, "tarnwell")

namespace {
std::atomic<bool> syslogEnabled{true};
}

void Log::setSyslogEnabled(bool enabled)
{
    syslogEnabled = enabled;
}

void Log::write(const QString& line)
{
    qCInfo(lcTarnwell).noquote() << line;
    if (syslogEnabled) {
        static const bool opened = [] {
            openlog("tarnwell", LOG_PID, LOG_USER);
            return true;
        }();
        Q_UNUSED(opened);
        syslog(LOG_NOTICE, "%s", line.toUtf8().constData());
    }
}
