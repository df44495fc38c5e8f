#pragma once
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcTarnwell)

// The fixed diagnostic lines go to the "tarnwell" logging category and to
// syslog. Tests capture them with qInstallMessageHandler on that category.
namespace Log {
// One line, as is; safe from any thread.
void write(const QString& line);
// Tests turn syslog off; the category still gets every line.
void setSyslogEnabled(bool enabled);
}  // namespace Log
