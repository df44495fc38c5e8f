#include "exec/ToolProcess.h"

#include <QDir>
#include <QProcess>

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

ToolProcess::Outcome ToolProcess::run(const QString& launchPath, const QStringList& arguments,
                                      Streams streams)
{
    Outcome outcome;
    // A relative path would be looked up in PATH, which is not what callers mean.
    if (launchPath.isEmpty() || !QDir::isAbsolutePath(launchPath))
        return outcome;

    QProcess process;
    process.setProcessEnvironment(environment());
    process.setProcessChannelMode(streams == Streams::Merged ? QProcess::MergedChannels
                                                             : QProcess::ForwardedErrorChannel);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(launchPath, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1))
        return outcome;
    outcome.started = true;
    // QProcess keeps reading the pipe while it waits, and returns once the
    // child has exited even when a grandchild still holds the pipe.
    process.waitForFinished(-1);
    outcome.output = process.readAllStandardOutput();
    return outcome;
}
