#pragma once
#include <QByteArrayView>
#include <QString>
#include <QVarLengthArray>

#include <bit>
#include <cstring>
#include <string_view>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// zpool's text as the tool wrote it: lines, fields and labels found in the
// bytes, and only the fields a parser keeps decoded.
namespace ZpoolText {

using Bytes = QByteArrayView;

// Fields are separated by runs of blanks; a stray carriage return counts as one.
inline bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// Byte comparisons inline: the fields compared are a few bytes long, shorter
// than a call to memcmp costs.
inline bool same(Bytes a, Bytes b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

inline bool startsWith(Bytes a, Bytes prefix)
{
    return a.size() >= prefix.size() && same(a.first(prefix.size()), prefix);
}

using Fields = QVarLengthArray<Bytes, 16>;

// Blanks are ' ' and '\t' to '\r'; '\n' never occurs inside a line.
inline unsigned blankMask16(const char* s)
{
#if defined(__SSE2__)
    const __m128i c = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s));
    const __m128i low = _mm_sub_epi8(c, _mm_set1_epi8('\t'));
    const __m128i control = _mm_cmpeq_epi8(_mm_min_epu8(low, _mm_set1_epi8(4)), low);
    return unsigned(_mm_movemask_epi8(_mm_or_si128(control, _mm_cmpeq_epi8(c, _mm_set1_epi8(' ')))));
#else
    unsigned m = 0;
    for (int i = 0; i < 16; ++i)
        m |= unsigned(isBlank(s[i]) || s[i] == '\n') << i;
    return m;
#endif
}

// Sixteen bytes at a time: fields start and end where the blank mask
// changes, so the loop turns once per field rather than once per byte.
// Bytes up to `readable` may be read past the line's end (and masked off),
// which spares copying the line's last chunk.
inline Fields splitFields(Bytes line, const char* readable = nullptr)
{
    Fields fields;
    const char* const s = line.data();
    const qsizetype n = line.size();
    qsizetype start = 0;
    unsigned inField = 0;  // whether the byte before the chunk belongs to a field
    for (qsizetype base = 0; base < n; base += 16) {
        const char* chunk = s + base;
        unsigned valid = 0xFFFF;
        char tail[16];
        if (n - base < 16) {
            valid = (1u << (n - base)) - 1;
            if (!readable || readable - chunk < 16) {  // the rest of the line, padded
                std::memset(tail, ' ', sizeof tail);
                std::memcpy(tail, chunk, size_t(n - base));
                chunk = tail;
            }
        }
        const unsigned word = ~blankMask16(chunk) & valid;           // bytes of fields
        unsigned edges = (word ^ ((word << 1) | inField)) & 0xFFFF;  // differs from the byte before
        while (edges) {
            const int bit = std::countr_zero(edges);
            if (word & (1u << bit))
                start = base + bit;
            else
                fields.append(Bytes(s + start, base + bit - start));
            edges &= edges - 1;
        }
        inField = word >> 15;
    }
    if (inField)
        fields.append(Bytes(s + start, n - start));
    return fields;
}

// Calls f with each piece of text between "\n"s, the last one included.
template <typename F>
void forEachLine(Bytes text, F&& f)
{
    const char* p = text.data();
    const char* const end = p + text.size();
    for (;;) {
        const char* nl = p < end ? static_cast<const char*>(std::memchr(p, '\n', size_t(end - p))) : nullptr;
        if (!nl) {
            f(Bytes(p, end - p));
            return;
        }
        f(Bytes(p, nl - p));
        p = nl + 1;
    }
}

// Invalid UTF-8 becomes U+FFFD, as the runners decode the whole text. The
// fields kept are short and nearly always ASCII, which is widened in place.
inline QString decode(Bytes b)
{
    if (b.isEmpty())
        return QString::fromUtf8(b.data(), b.size());
    QString s(b.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    for (qsizetype i = 0; i < b.size(); ++i) {
        const auto c = static_cast<unsigned char>(b[i]);
        if (c >= 0x80)
            return QString::fromUtf8(b.data(), b.size());
        out[i] = c;
    }
    return s;
}

// zpool's commonest words as literals: copies of a literal share it without
// counting references, so a row that holds them costs no atomic operation.
inline const QString* commonWord(Bytes v)
{
    static const QString zero = QStringLiteral("0"), online = QStringLiteral("ONLINE"),
                         dash = QStringLiteral("-");
    if (v.size() == 1)
        return v[0] == '0' ? &zero : v[0] == '-' ? &dash : nullptr;
    return same(v, "ONLINE") ? &online : nullptr;
}

// States and counters repeat from line to line; sharing the last value
// spares most of the allocations on a big text.
class Recent {
public:
    const QString& operator()(Bytes v)
    {
        if (const QString* word = commonWord(v))
            return *word;
        if (!set_ || !same(raw_, v)) {
            raw_ = v;
            value_ = decode(v);
            set_ = true;
        }
        return value_;
    }

private:
    Bytes raw_;
    QString value_;
    bool set_ = false;
};

// Whether the text holds the marker, found by a byte of it that zpool's other
// text rarely has: memchr's pace on a text that does not hold it.
bool contains(Bytes text, std::string_view marker, char rare);

// "no pools available" or "Failed to load ZFS module stack.": zpool read nothing.
bool hasFailureMarker(Bytes text);

// The labels of zpool's status and import texts. zfs-fuse says "scrub:"
// where OpenZFS says "scan:".
enum class Label { None, Pool, Id, State, Status, Action, See, Scan, Config, Errors, Other };

struct LabelLine {
    Label label = Label::None;
    Bytes value;  // the rest of the line, trimmed
};

// A label counts only at the start of a line, after blanks: zpool indents
// its labels with spaces and everything else (configuration, message
// continuations) with a tab, so a tab-indented line is never a label and a
// pool may be called "a: b" or "x state: y". Other is any other "word:".
LabelLine labelOf(Bytes line);

// The pool's own line in a configuration block starts with the pool's name as
// whole fields. A name with blanks in it spans several fields.
bool isPoolsOwnLine(Bytes line, Bytes pool);

// A text the runners decoded, back in the tool's bytes.
inline QByteArray bytesOf(const QString& text)
{
    return text.toUtf8();
}

}  // namespace ZpoolText
