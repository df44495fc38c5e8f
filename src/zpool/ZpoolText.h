#pragma once
#include <QString>
#include <QStringView>
#include <QVarLengthArray>

// Line and field splitting for zpool's text, without copying it.
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

}  // namespace ZpoolText
