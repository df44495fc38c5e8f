#pragma once
// The conversation between PrivilegedSession and tarnwell-helper over the
// helper's stdin and stdout.
//
//   helper, once started:  "TARNWELL-HELPER 1\n"
//   request, one line:     {"path":"/usr/sbin/zpool","args":["export","tank"]}\n
//                          optionally with "merge":true
//   reply:                 "<KIND> <length>\n" followed by exactly <length> bytes
//
// KIND is OK (the bytes are the tool's stdout, or with "merge" its stdout and
// stderr in the order written), REFUSED (the request is not
// one Tarnwell makes; the bytes say why) or ERROR (malformed request or the
// tool could not start). JSON keeps any argument text on one line; the length
// prefix lets the reply carry any bytes. "merge" is sent only when asked for,
// so a request without it is what every helper understands, and a helper
// that predates it ignores it and answers with stdout alone.
#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace HelperProtocol {
inline constexpr char Hello[] = "TARNWELL-HELPER 1";
inline constexpr qsizetype MaxRequestLine = 1 << 20;
inline constexpr qsizetype MaxHeaderLine = 64;

enum class ReplyKind { Ok, Refused, Error };

inline QByteArray encodeRequest(const QString& path, const QStringList& arguments,
                                bool merge = false)
{
    QJsonObject o;
    o.insert(QStringLiteral("path"), path);
    o.insert(QStringLiteral("args"), QJsonArray::fromStringList(arguments));
    if (merge)
        o.insert(QStringLiteral("merge"), true);
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

inline bool decodeRequest(const QByteArray& line, QString* path, QStringList* arguments,
                          QString* error, bool* merge = nullptr)
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
    if (!mergeValue.isUndefined() && !mergeValue.isBool()) {
        *error = QStringLiteral("\"merge\" must be true or false");
        return false;
    }
    if (merge)
        *merge = mergeValue.toBool(false);
    return true;
}

inline QByteArray encodeReply(ReplyKind kind, const QByteArray& body)
{
    const char* word = kind == ReplyKind::Ok        ? "OK"
                       : kind == ReplyKind::Refused ? "REFUSED"
                                                    : "ERROR";
    return QByteArray(word) + ' ' + QByteArray::number(body.size()) + '\n' + body;
}

// `line` without its newline.
inline bool parseReplyHeader(const QByteArray& line, ReplyKind* kind, qsizetype* length)
{
    const QList<QByteArray> parts = line.split(' ');
    if (parts.size() != 2)
        return false;
    if (parts[0] == "OK")
        *kind = ReplyKind::Ok;
    else if (parts[0] == "REFUSED")
        *kind = ReplyKind::Refused;
    else if (parts[0] == "ERROR")
        *kind = ReplyKind::Error;
    else
        return false;
    bool ok = false;
    *length = parts[1].toLongLong(&ok);
    return ok && *length >= 0;
}
}  // namespace HelperProtocol
