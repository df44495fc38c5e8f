#include "zpool/RaidScan.h"

#include "zpool/ZpoolText.h"

#include <cmath>
#include <limits>

using ZpoolText::Bytes;
using ZpoolText::same;

namespace {

using Words = QVarLengthArray<Bytes, 48>;

Words wordsOf(Bytes text)
{
    Words words;
    const char* p = text.data();
    const char* const end = p + text.size();
    auto blank = [](char c) { return ZpoolText::isBlank(c) || c == '\n'; };
    while (p < end) {
        while (p < end && blank(*p))
            ++p;
        const char* start = p;
        while (p < end && !blank(*p))
            ++p;
        if (p > start)
            words.append(Bytes(start, p - start));
    }
    return words;
}

// The words with one blank between each two: most scan lines as they are.
QString joined(const Words& words)
{
    bool asPrinted = true;
    for (qsizetype i = 1; i < words.size() && asPrinted; ++i)
        asPrinted = words[i].data() == words[i - 1].end() + 1 && *words[i - 1].end() == ' ';
    if (asPrinted && !words.isEmpty())
        return ZpoolText::decode(Bytes(words.first().begin(), words.last().end()));
    QByteArray text;
    for (Bytes word : words) {
        if (!text.isEmpty())
            text += ' ';
        text += word;
    }
    return ZpoolText::decode(text);
}

Bytes bare(Bytes w)  // without the comma that ends a clause
{
    return w.endsWith(',') ? w.chopped(1) : w;
}

// The index of the first word at which the phrase starts, or -1.
qsizetype find(const Words& words, std::initializer_list<Bytes> phrase)
{
    for (qsizetype i = 0; i + qsizetype(phrase.size()) <= words.size(); ++i) {
        qsizetype k = 0;
        for (Bytes p : phrase) {
            if (!same(bare(words[i + k]), p))
                break;
            ++k;
        }
        if (k == qsizetype(phrase.size()))
            return i;
    }
    return -1;
}

std::optional<qint64> number(Bytes w, qint64 limit = std::numeric_limits<qint64>::max())
{
    bool ok = false;
    const qint64 n = w.toLongLong(&ok);
    return ok && n >= 0 && n <= limit ? std::optional<qint64>(n) : std::nullopt;
}

// The parts of a duration, small enough that adding them up cannot overflow.
std::optional<qint64> part(Bytes w)
{
    return number(w, 1'000'000'000);
}

// "0h5m" (zfs-fuse, older OpenZFS) or "00:01:23".
std::optional<qint64> clock(Bytes w)
{
    w = bare(w);
    if (w.endsWith('m') && w.contains('h')) {
        const qsizetype h = w.indexOf('h');
        const auto hours = part(w.first(h));
        const auto mins = part(w.sliced(h + 1).chopped(1));
        if (hours && mins)
            return *hours * 3600 + *mins * 60;
        return std::nullopt;
    }
    if (w.size() >= 8 && w[w.size() - 3] == ':' && w[w.size() - 6] == ':') {
        const auto h = part(w.first(w.size() - 6));
        const auto m = part(w.sliced(w.size() - 5, 2));
        const auto s = part(w.last(2));
        if (h && m && s)
            return *h * 3600 + *m * 60 + *s;
    }
    return std::nullopt;
}

// A duration at words[i], "N days HH:MM:SS" included; `ends` is where it ends.
std::optional<qint64> duration(const Words& words, qsizetype i, qsizetype* ends = nullptr)
{
    if (i < 0 || i >= words.size())
        return std::nullopt;
    if (i + 2 < words.size() && (same(words[i + 1], "days") || same(words[i + 1], "day"))) {
        const auto days = part(words[i]);
        const auto rest = clock(words[i + 2]);
        if (ends)
            *ends = i + 3;
        return days && rest ? std::optional<qint64>(*days * 86400 + *rest) : std::nullopt;
    }
    if (ends)
        *ends = i + 1;
    return clock(words[i]);
}

// ctime's "Sun Dec  6 14:47:40 2026". Made a QDateTime only when asked:
// the local time zone costs a look at the system's zone file each time.
bool date(const Words& words, qsizetype i, QDate* day, QTime* time)
{
    if (i < 0 || i + 5 > words.size())
        return false;
    static constexpr Bytes months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    int month = 0;
    for (int m = 0; m < 12 && !month; ++m) {
        if (same(words[i + 1], months[m]))
            month = m + 1;
    }
    const Bytes t = words[i + 3];
    const auto dd = part(words[i + 2]);
    const auto year = part(words[i + 4]);
    if (!month || !dd || !year || t.size() != 8 || t[2] != ':' || t[5] != ':')
        return false;
    const auto h = number(t.first(2)), m = number(t.sliced(3, 2)), s = number(t.last(2));
    if (!h || !m || !s)
        return false;
    *day = QDate(int(*year), month, int(*dd));
    *time = QTime(int(*h), int(*m), int(*s));
    return day->isValid() && time->isValid();
}

int rank(RaidScan::State s)
{
    switch (s) {
    case RaidScan::State::InProgress:
        return 2;
    case RaidScan::State::Unknown:
        return 0;
    default:
        return 1;
    }
}

}  // namespace

RaidScan RaidScan::parse(QByteArrayView text)
{
    const Words w = wordsOf(text);
    RaidScan scan;
    scan.text = joined(w);

    if (find(w, {"none", "requested"}) == 0) {
        scan.state = State::None;
        return scan;
    }
    if (!w.isEmpty() && same(w[0], "scrub"))
        scan.kind = Kind::Scrub;
    else if (!w.isEmpty() && (same(w[0], "resilver") || same(w[0], "resilvered")))
        scan.kind = Kind::Resilver;
    else
        return scan;

    const qsizetype errorsAt = find(w, {"with"});
    const bool withErrors = errorsAt > 0 && errorsAt + 2 < w.size() && same(bare(w[errorsAt + 2]), "errors");
    if (find(w, {"in", "progress"}) > 0 || find(w, {"paused", "since"}) > 0)
        scan.state = State::InProgress;
    else if (find(w, {"canceled", "on"}) > 0 || find(w, {"stopped", "after"}) > 0)
        scan.state = State::Canceled;
    else if (withErrors)
        scan.state = State::Finished;
    else
        return scan;
    scan.paused = find(w, {"paused", "since"}) > 0;

    if (withErrors)
        scan.errors = number(w[errorsAt + 1]);

    for (qsizetype i = 0; i < w.size(); ++i) {
        const Bytes word = w[i];
        if (scan.state == State::InProgress && word.size() > 1 && word.endsWith('%') && i + 1 < w.size() &&
            same(bare(w[i + 1]), "done")) {
            bool ok = false;
            const double p = word.chopped(1).toDouble(&ok);
            if (ok && std::isfinite(p) && p >= 0)
                scan.percentDone = p;
        } else if (same(bare(word), "repaired") || same(bare(word), "resilvered")) {
            // "0B repaired, 10.71% done" while running; "repaired 0B in" or, where
            // a sequential rebuild names its vdev, "resilvered (draid1-0) 1.2G in" once finished.
            if (word.endsWith(',') && i > 0) {
                scan.processed = ZpoolText::decode(w[i - 1]);
                continue;
            }
            qsizetype next = i + 1;
            while (next < w.size() && w[next].startsWith('('))
                ++next;
            if (next < w.size() && !same(w[next], "in"))
                scan.processed = ZpoolText::decode(w[next]);
        }
    }

    const qsizetype toGo = find(w, {"to", "go"});
    if (scan.state == State::InProgress && toGo > 1) {
        // "2 days 07:26:55 to go" or "0h0m to go"
        for (qsizetype from = toGo - 3; from < toGo && !scan.secondsLeft; ++from) {
            qsizetype ends = -1;
            const auto left = duration(w, from, &ends);
            if (left && ends == toGo)
                scan.secondsLeft = left;
        }
    }

    if (scan.state != State::InProgress) {
        for (qsizetype i = w.size() - 1; i > 0; --i) {
            if (same(w[i], "on") && date(w, i + 1, &scan.endedOn, &scan.endedAt))
                break;
        }
        // "completed after 0h0m", "repaired 0B in 00:00:01", "in 0 days 00:14:33"
        const qsizetype after = find(w, {"after"});
        if (after > 0) {
            scan.seconds = duration(w, after + 1);
        } else {
            for (qsizetype i = 1; i < w.size() && !scan.seconds; ++i) {
                if (same(w[i], "in"))
                    scan.seconds = duration(w, i + 1);
            }
        }
    }
    return scan;
}

bool RaidScan::outranks(const RaidScan& other) const
{
    return rank(state) > rank(other.state);
}
