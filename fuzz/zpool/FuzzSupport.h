#pragma once
// Shared by the parser fuzzers: quiet logging and the record invariants that
// every parse must keep, whatever the text.
#include "base/Log.h"
#include "zpool/RaidInfo.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace FuzzSupport {

inline void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

inline void setUp()
{
    Log::setSyslogEnabled(false);
    qInstallMessageHandler(&quiet);
}

inline QString text(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline void require(bool ok)
{
    if (!ok)
        std::abort();
}

inline bool hasBlank(const QString& s)
{
    for (QChar c : s) {
        if (c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f')
            return true;
    }
    return false;
}

// A value read from one field: present, not empty, one word.
inline void requireField(const std::optional<QString>& v)
{
    require(v.has_value() && !v->isEmpty() && !hasBlank(*v));
}

// A name may hold single blanks between words, never at its ends or a line break.
inline void requireName(const std::optional<QString>& v)
{
    require(v.has_value() && !v->isEmpty() && *v == v->trimmed() && !v->contains(u'\n'));
}

}  // namespace FuzzSupport
