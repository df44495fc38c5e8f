#include "exec/ToolResult.h"

#include "exec/ToolProcess.h"

#include <QFileInfo>

QString ToolResult::outputText() const
{
    return ToolProcess::decode(output);
}

QString ToolResult::errorExcerpt(int maxLines) const
{
    const QString text = ToolProcess::decode(merged ? output : errors).trimmed();
    if (text.isEmpty())
        return {};
    QStringList lines = text.split(QLatin1Char('\n'));
    const bool cut = lines.size() > maxLines;
    // The cause comes first; usage texts and dumps follow it.
    lines = lines.mid(0, maxLines);
    for (QString& line : lines) {
        if (line.size() > 300)
            line = line.left(300) + QStringLiteral("…");
    }
    if (cut)
        lines << QStringLiteral("…");
    return lines.join(QLatin1Char('\n'));
}

QString ToolResult::duration(int ms)
{
    if (ms >= 120 * 1000 && ms % 60000 == 0)
        return QStringLiteral("%1 min").arg(ms / 60000);
    if (ms >= 1000)
        return QStringLiteral("%1 s").arg(ms / 1000);
    return QStringLiteral("%1 ms").arg(ms);
}

QString ToolResult::failure() const
{
    switch (ending) {
    case Ending::Exited:
        return exitStatus == 0 ? QString() : QStringLiteral("exited with status %1").arg(exitStatus);
    case Ending::CouldNotStart:
        return QStringLiteral("could not be started") + (why.isEmpty() ? QString() : QStringLiteral(": ") + why);
    case Ending::TimedOut:
        return QStringLiteral("timed out after %1 and was stopped").arg(duration(limitMs));
    case Ending::Canceled:
        return QStringLiteral("did not run: the administrator authorization was cancelled");
    case Ending::Crashed:
        return QStringLiteral("stopped unexpectedly");
    case Ending::TooMuchOutput:
        return QStringLiteral("printed more than %1 MB and was stopped").arg(ToolProcess::MaxOutput >> 20);
    }
    return {};
}

QString ToolResult::commandLine() const
{
    QStringList words{QFileInfo(program).fileName()};
    for (const QString& a : arguments)
        words << (a.isEmpty() || a.contains(QLatin1Char(' ')) ? QLatin1Char('"') + a + QLatin1Char('"') : a);
    return words.join(QLatin1Char(' '));
}

QString ToolResult::report() const
{
    const QString said = errorExcerpt();
    QString text = QStringLiteral("%1 %2").arg(commandLine(), failure());
    if (said.isEmpty())
        return text + (ending == Ending::Exited ? QStringLiteral(" and gave no message.") : QStringLiteral("."));
    return text + QStringLiteral(":\n\n") + said;
}

ToolResult ToolResult::notStarted(const QString& program, const QStringList& arguments, const QString& why)
{
    ToolResult r;
    r.program = program;
    r.arguments = arguments;
    r.why = why;
    return r;
}
