#include "exec/ToolProcess.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <unistd.h>

QProcessEnvironment ToolProcess::environment()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    return env;
}

QString ToolProcess::decode(const QByteArray& bytes)
{
    return QString::fromUtf8(bytes);
}

ToolResult ToolProcess::run(const QString& launchPath, const QStringList& arguments, Streams streams,
                            int limitMs, const QProcessEnvironment& environment)
{
    ToolResult result = ToolResult::notStarted(launchPath, arguments, {});
    result.merged = streams == Streams::Merged;
    result.limitMs = limitMs;
    // A relative path would be looked up in PATH, which is not what callers mean.
    if (launchPath.isEmpty() || !QDir::isAbsolutePath(launchPath)) {
        result.why = QStringLiteral("not an absolute path");
        return result;
    }

    QProcess process;
    process.setProcessEnvironment(environment);
    process.setProcessChannelMode(result.merged ? QProcess::MergedChannels : QProcess::SeparateChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    // Its own group, so that a time limit reaches the tool's children too.
    process.setChildProcessModifier([] { ::setpgid(0, 0); });
    process.start(launchPath, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        result.why = process.errorString();
        return result;
    }
    const pid_t group = pid_t(process.processId());

    const auto drain = [&] {
        result.output += process.readAllStandardOutput();
        if (!result.merged)
            result.errors += process.readAllStandardError();
        return result.output.size() <= MaxOutput && result.errors.size() <= MaxOutput;
    };
    const QDeadlineTimer deadline =
        limitMs > 0 ? QDeadlineTimer(limitMs) : QDeadlineTimer(QDeadlineTimer::Forever);
    result.ending = ToolResult::Ending::Exited;
    // QProcess reads both pipes while it waits, and the wait ends once the
    // child has exited even when a grandchild still holds a pipe.
    while (process.state() != QProcess::NotRunning) {
        process.waitForFinished(deadline.isForever() ? 100 : int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
        if (!drain())
            result.ending = ToolResult::Ending::TooMuchOutput;
        else if (process.state() != QProcess::NotRunning && deadline.hasExpired())
            result.ending = ToolResult::Ending::TimedOut;
        if (result.ending != ToolResult::Ending::Exited) {
            ::kill(-group, SIGKILL);
            process.waitForFinished(-1);
            break;
        }
    }
    drain();
    result.output.truncate(MaxOutput);
    result.errors.truncate(MaxOutput);
    if (result.ending == ToolResult::Ending::Exited) {
        if (process.exitStatus() == QProcess::CrashExit)
            result.ending = ToolResult::Ending::Crashed;
        else
            result.exitStatus = process.exitCode();
    }
    return result;
}
