#pragma once
// The conversation between PrivilegedSession and tarnwell-helper over the
// helper's stdin and stdout.
//
//   helper, once started:  "TARNWELL-HELPER 2\n"
//   request, one line:     {"path":"/usr/sbin/zpool","args":["export","tank"],"limit":300000}\n
//                          optionally with "merge":true
//   reply:                 "<KIND> <code> <outLen> <errLen>\n", then exactly
//                          <outLen> bytes of standard output and <errLen> of standard error
//
// KIND is OK (the tool exited; code is its exit status), TIMEOUT (the tool
// and its children were killed at the limit; code is the limit in ms),
// SIGNAL (the tool died of a signal), OVERFLOW (it printed more than
// ToolProcess::MaxOutput and was killed), REFUSED (the request is not one
// Tarnwell makes; the error bytes say why) or ERROR (malformed request, or
// the tool could not start; likewise). With "merge" the output bytes hold
// both streams in the order written. "limit" is in milliseconds; the helper
// never lets a tool run longer than ToolLimits::ChangeDefaultMs. JSON keeps
// any argument text on one line; the lengths let the reply carry any bytes.
#include "exec/ToolProcess.h"
#include "exec/ToolResult.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace HelperProtocol {
inline constexpr char Hello[] = "TARNWELL-HELPER 2";
inline constexpr qsizetype MaxRequestLine = 1 << 20;
inline constexpr qsizetype MaxHeaderLine = 64;

enum class ReplyKind { Ok, TimedOut, Signal, Overflow, Refused, Error };

struct ReplyHeader {
    ReplyKind kind = ReplyKind::Error;
    int code = 0;
    qsizetype outLength = 0;
    qsizetype errLength = 0;
};

inline QByteArray encodeRequest(const QString& path, const QStringList& arguments, bool merge, int limitMs)
{
    QJsonObject o;
    o.insert(QStringLiteral("path"), path);
    o.insert(QStringLiteral("args"), QJsonArray::fromStringList(arguments));
    if (merge)
        o.insert(QStringLiteral("merge"), true);
    o.insert(QStringLiteral("limit"), limitMs);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// A missing "limit" is 0: the helper's own maximum.
inline bool decodeRequest(const QByteArray& line, QString* path, QStringList* arguments, QString* error,
                          bool* merge, int* limitMs)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("request is not a JSON object");
        return false;
    }
    const QJsonObject o = doc.object();
    if (!o.value(QStringLiteral("path")).isString() || !o.value(QStringLiteral("args")).isArray()) {
        *error = QStringLiteral("request needs a string \"path\" and an array \"args\"");
        return false;
    }
    *path = o.value(QStringLiteral("path")).toString();
    arguments->clear();
    for (const QJsonValue& v : o.value(QStringLiteral("args")).toArray()) {
        if (!v.isString()) {
            *error = QStringLiteral("every argument must be a string");
            return false;
        }
        *arguments << v.toString();
    }
    const QJsonValue mergeValue = o.value(QStringLiteral("merge"));
    const QJsonValue limitValue = o.value(QStringLiteral("limit"));
    if ((!mergeValue.isUndefined() && !mergeValue.isBool()) ||
        (!limitValue.isUndefined() && !limitValue.isDouble())) {
        *error = QStringLiteral("\"merge\" must be true or false and \"limit\" a number");
        return false;
    }
    *merge = mergeValue.toBool(false);
    *limitMs = limitValue.toInt(0);
    return true;
}

inline QByteArray encodeReply(ReplyKind kind, int code, const QByteArray& out, const QByteArray& err)
{
    static const char* const words[] = {"OK", "TIMEOUT", "SIGNAL", "OVERFLOW", "REFUSED", "ERROR"};
    return QByteArray(words[int(kind)]) + ' ' + QByteArray::number(code) + ' ' + QByteArray::number(out.size()) +
           ' ' + QByteArray::number(err.size()) + '\n' + out + err;
}

inline QByteArray encodeReply(const ToolResult& r)
{
    using E = ToolResult::Ending;
    switch (r.ending) {
    case E::Exited:
        return encodeReply(ReplyKind::Ok, r.exitStatus, r.output, r.errors);
    case E::TimedOut:
        return encodeReply(ReplyKind::TimedOut, r.limitMs, r.output, r.errors);
    case E::Crashed:
        return encodeReply(ReplyKind::Signal, 0, r.output, r.errors);
    case E::TooMuchOutput:
        return encodeReply(ReplyKind::Overflow, 0, r.output, r.errors);
    case E::CouldNotStart:
    case E::Canceled:
        break;
    }
    return encodeReply(ReplyKind::Error, 0, {}, QStringLiteral("cannot start %1: %2").arg(r.program, r.why).toUtf8());
}

// `line` without its newline.
inline bool parseReplyHeader(const QByteArray& line, ReplyHeader* header)
{
    const QList<QByteArray> parts = line.split(' ');
    static const QList<QByteArray> words = {"OK", "TIMEOUT", "SIGNAL", "OVERFLOW", "REFUSED", "ERROR"};
    if (parts.size() != 4 || !words.contains(parts[0]))
        return false;
    header->kind = ReplyKind(words.indexOf(parts[0]));
    bool ok[3] = {};
    header->code = parts[1].toInt(&ok[0]);
    header->outLength = parts[2].toLongLong(&ok[1]);
    header->errLength = parts[3].toLongLong(&ok[2]);
    const qsizetype most = ToolProcess::MaxOutput + MaxRequestLine;
    return ok[0] && ok[1] && ok[2] && header->outLength >= 0 && header->errLength >= 0 &&
           header->outLength <= most && header->errLength <= most;
}

// The reply as the result of the run it answers; `r` holds the request's
// program, arguments, merge and limit.
inline ToolResult resultOf(const ReplyHeader& h, const QByteArray& out, const QByteArray& err, ToolResult r)
{
    using E = ToolResult::Ending;
    r.output = out;
    r.errors = err;
    switch (h.kind) {
    case ReplyKind::Ok:
        r.ending = E::Exited;
        r.exitStatus = h.code;
        break;
    case ReplyKind::TimedOut:
        r.ending = E::TimedOut;
        r.limitMs = h.code;
        break;
    case ReplyKind::Signal:
        r.ending = E::Crashed;
        break;
    case ReplyKind::Overflow:
        r.ending = E::TooMuchOutput;
        break;
    case ReplyKind::Refused:
    case ReplyKind::Error:
        r.ending = E::CouldNotStart;
        r.why = QStringLiteral("the privileged helper answered: ") + QString::fromUtf8(err);
        r.output.clear();
        r.errors.clear();
        break;
    }
    return r;
}
}  // namespace HelperProtocol
