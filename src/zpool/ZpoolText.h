#pragma once
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// Line and field splitting for zpool's text, without copying it, and the
// markers and labels the parsers share.
namespace ZpoolText {

// Fields are separated by runs of blanks; a stray carriage return counts as one.
inline bool isBlank(QChar c)
{
    const char16_t u = c.unicode();
    return u <= u' ' && (u == u' ' || u == u'\t' || u == u'\r' || u == u'\v' || u == u'\f');
}

using Fields = QVarLengthArray<QStringView, 16>;

inline Fields splitFields(QStringView line)
{
    Fields fields;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n) {
        while (i < n && isBlank(line[i]))
            ++i;
        const qsizetype start = i;
        while (i < n && !isBlank(line[i]))
            ++i;
        if (i > start)
            fields.append(line.mid(start, i - start));
    }
    return fields;
}

// Calls f with each piece of text between "\n"s, the last one included.
template <typename F>
void forEachLine(const QString& text, F&& f)
{
    const QStringView all(text);
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = all.indexOf(u'\n', start);
        if (end < 0) {
            f(all.mid(start));
            return;
        }
        f(all.mid(start, end - start));
        start = end + 1;
    }
}

// "no pools available" or "Failed to load ZFS module stack.": zpool read nothing.
bool hasFailureMarker(const QString& text);

// The text after the first ": " up to the next ": ", as in "  pool: tank".
QString labelValue(QStringView line);

// The pool's own line in a configuration block starts with the pool's name as
// whole fields. A name with blanks in it spans several fields.
bool isPoolsOwnLine(QStringView line, const QString& pool);

}  // namespace ZpoolText
