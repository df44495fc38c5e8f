#pragma once
#include "exec/ToolResult.h"

#include <QByteArray>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// The one way Tarnwell starts a tool: absolute path, argument list, no shell,
// stdin at /dev/null, LC_ALL=C, a time limit. Shared by the runners, the
// privileged session's direct runs and the helper.
namespace ToolProcess {
enum class Streams {
    Merged,    // stdout and stderr in one pipe, in the order they were written
    Separate,  // each on its own
};

QProcessEnvironment environment();

// Past this much on one stream the tool is stopped: no zpool answer comes near it.
inline constexpr qsizetype MaxOutput = qsizetype(32) << 20;

// Waits for the tool to exit while draining its output; a descendant that
// keeps the pipe open does not hold us. The tool runs in a process group of
// its own: past `limitMs` the whole group is killed and the result says it
// timed out.
ToolResult run(const QString& launchPath, const QStringList& arguments, Streams streams, int limitMs,
               const QProcessEnvironment& environment = ToolProcess::environment());

// Invalid UTF-8 becomes U+FFFD so the ASCII markers stay visible.
QString decode(const QByteArray& bytes);
}  // namespace ToolProcess
