#pragma once
#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The one way Tarnwell starts a tool: absolute path, argument list, no shell,
// stdin at /dev/null, LC_ALL=C. Shared by the runners, the privileged session's
// direct runs and the OpenZFS probes.
namespace ToolProcess {
enum class Streams {
    Merged,      // stdout and stderr in one pipe, in the order they were written
    StdoutOnly,  // stderr goes to ours
};

struct Outcome {
    bool started = false;
    QByteArray output;
};

// Waits for the tool to exit while draining its output, so any amount of
// output is fine; a descendant that keeps the pipe open does not hold us.
Outcome run(const QString& launchPath, const QStringList& arguments, Streams streams);

QProcessEnvironment environment();
// Invalid UTF-8 becomes U+FFFD so the ASCII markers stay visible.
QString decode(const QByteArray& bytes);
}  // namespace ToolProcess
