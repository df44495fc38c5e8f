#pragma once
// The conversation between PrivilegedSession and tarnwell-helper over the
// helper's stdin and stdout.
//
//   helper, once started:  "TARNWELL-HELPER 3\n"
//   request, one line:     {"op":"export","pool":"tank","limit":300000}\n
//                          create adds "mode" and "options"; replace, offline,
//                          online, detach and unmount name "devices"; optionally "merge":true
//   reply:                 "<KIND> <code> <outLen> <errLen>\n", then exactly
//                          <outLen> bytes of standard output and <errLen> of standard error
//
// A request names an operation, never a program or its arguments: the
// helper builds each argument list itself and judges the operands on the
// live system. KIND is OK (the tool exited; code is its exit status),
// TIMEOUT (the tool and its children were killed at the limit; code is the
// limit in ms), SIGNAL (the tool died of a signal), OVERFLOW (it printed more
// than ToolProcess::MaxOutput and was killed), REFUSED (the helper will not do
// that; the error bytes say why) or ERROR (malformed request, or the tool
// could not start; likewise). With "merge" the output bytes hold both
// streams in the order written. "limit" is in milliseconds; the helper never
// lets a tool run longer than ToolLimits::ChangeDefaultMs.
#include "exec/ToolProcess.h"
#include "exec/ToolResult.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// One operation Tarnwell asks the helper for.
struct HelperRequest {
    QString op;           // one of HelperProtocol's Op names
    QString pool;         // the pool it acts on
    QString mode;         // create: "", "raidz" or "raidz2"
    QStringList devices;  // create: members; replace: old, new; offline/online/detach/unmount: one
    QStringList options;  // create: the option tokens the user may edit
    bool merge = false;
    int limitMs = 0;
};

namespace HelperProtocol {
inline constexpr char Hello[] = "TARNWELL-HELPER 3";
inline constexpr qsizetype MaxRequestLine = 1 << 20;
inline constexpr qsizetype MaxHeaderLine = 64;

// The operations. Destroy is served only by its own program, which asks for
// authorization every time.
namespace Op {
inline const QString ImportScan = QStringLiteral("import-scan");
inline const QString Create = QStringLiteral("create");
inline const QString Destroy = QStringLiteral("destroy");
inline const QString Export = QStringLiteral("export");
inline const QString Import = QStringLiteral("import");
inline const QString Replace = QStringLiteral("replace");
inline const QString Offline = QStringLiteral("offline");
inline const QString Online = QStringLiteral("online");
inline const QString Detach = QStringLiteral("detach");
inline const QString Scrub = QStringLiteral("scrub");
inline const QString ScrubStop = QStringLiteral("scrub-stop");
inline const QString Give = QStringLiteral("give");        // the new pool's file system to the user
inline const QString Unmount = QStringLiteral("unmount");  // a disk's file systems
}  // namespace Op

enum class ReplyKind { Ok, TimedOut, Signal, Overflow, Refused, Error };

struct ReplyHeader {
    ReplyKind kind = ReplyKind::Error;
    int code = 0;
    qsizetype outLength = 0;
    qsizetype errLength = 0;
};

inline QByteArray encodeRequest(const HelperRequest& r)
{
    QJsonObject o;
    o.insert(QStringLiteral("op"), r.op);
    if (!r.pool.isEmpty())
        o.insert(QStringLiteral("pool"), r.pool);
    if (!r.mode.isEmpty())
        o.insert(QStringLiteral("mode"), r.mode);
    if (!r.devices.isEmpty())
        o.insert(QStringLiteral("devices"), QJsonArray::fromStringList(r.devices));
    if (!r.options.isEmpty())
        o.insert(QStringLiteral("options"), QJsonArray::fromStringList(r.options));
    if (r.merge)
        o.insert(QStringLiteral("merge"), true);
    o.insert(QStringLiteral("limit"), r.limitMs);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

// Only the keys above, each of its type; a missing "limit" is 0: the helper's own maximum.
inline bool decodeRequest(const QByteArray& line, HelperRequest* r, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(line, &parseError);
    if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
        *error = QStringLiteral("request is not a JSON object");
        return false;
    }
    const QJsonObject o = doc.object();
    static const QStringList strings = {"op", "pool", "mode"}, lists = {"devices", "options"};
    for (auto it = o.begin(); it != o.end(); ++it) {
        const bool fits = strings.contains(it.key()) ? it->isString()
                          : lists.contains(it.key()) ? it->isArray()
                          : it.key() == QLatin1String("merge") ? it->isBool()
                          : it.key() == QLatin1String("limit") ? it->isDouble()
                                                               : false;
        if (!fits) {
            *error = QStringLiteral("\"%1\" is not a field of a request, or not of its type").arg(it.key());
            return false;
        }
    }
    *r = HelperRequest{};
    r->op = o.value(QStringLiteral("op")).toString();
    r->pool = o.value(QStringLiteral("pool")).toString();
    r->mode = o.value(QStringLiteral("mode")).toString();
    for (const char* key : {"devices", "options"}) {
        QStringList& into = QLatin1String(key) == QLatin1String("devices") ? r->devices : r->options;
        for (const QJsonValue& v : o.value(QLatin1String(key)).toArray()) {
            if (!v.isString()) {
                *error = QStringLiteral("every device and option must be a string");
                return false;
            }
            into << v.toString();
        }
    }
    r->merge = o.value(QStringLiteral("merge")).toBool(false);
    r->limitMs = o.value(QStringLiteral("limit")).toInt(0);
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
