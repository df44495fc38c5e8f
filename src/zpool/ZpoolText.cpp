#include "zpool/ZpoolText.h"

bool ZpoolText::contains(Bytes text, std::string_view marker, char rare)
{
    if (text.size() < qsizetype(marker.size()))
        return false;
    const qsizetype at = qsizetype(marker.find(rare));
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    for (const char* p = begin + at; p < end;) {
        p = static_cast<const char*>(std::memchr(p, rare, size_t(end - p)));
        if (!p)
            return false;
        const char* first = p - at;
        if (end - first >= qsizetype(marker.size()) && std::memcmp(first, marker.data(), marker.size()) == 0)
            return true;
        ++p;
    }
    return false;
}

bool ZpoolText::hasFailureMarker(Bytes text)
{
    return contains(text, "no pools available", 'v') || contains(text, "Failed to load ZFS module stack.", 'Z');
}

ZpoolText::LabelLine ZpoolText::labelOf(Bytes line)
{
    const char* p = line.data();
    const char* const end = p + line.size();
    while (p < end && *p == ' ')
        ++p;
    const char* const word = p;
    while (p < end && !isBlank(*p))
        ++p;
    if (p == word || p[-1] != ':')
        return {};

    static constexpr struct {
        Bytes word;
        Label label;
    } labels[] = {{"pool", Label::Pool},     {"id", Label::Id},         {"state", Label::State},
                  {"status", Label::Status}, {"action", Label::Action}, {"see", Label::See},
                  {"scan", Label::Scan},     {"scrub", Label::Scan},    {"config", Label::Config},
                  {"errors", Label::Errors}};
    const Bytes w(word, p - word - 1);
    Label label = Label::Other;
    for (const auto& l : labels) {
        if (same(w, l.word)) {
            label = l.label;
            break;
        }
    }
    return {label, Bytes(p, end - p).trimmed()};
}

bool ZpoolText::isPoolsOwnLine(Bytes line, Bytes pool)
{
    if (pool.isEmpty())
        return false;
    qsizetype i = 0;
    while (i < line.size() && isBlank(line[i]))
        ++i;
    const Bytes rest = line.sliced(i);
    return startsWith(rest, pool) && (rest.size() == pool.size() || isBlank(rest[pool.size()]));
}
