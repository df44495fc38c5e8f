#pragma once
#include <QByteArrayView>
#include <QDateTime>
#include <QString>

#include <optional>

// A pool's scrub or resilver as `zpool status` reports it on its scan line
// ("scan:" in OpenZFS, "scrub:" in zfs-fuse) and the lines that continue it.
// Figures the text does not give stay empty.
struct RaidScan {
    enum class State {
        None,        // "none requested"
        InProgress,  // running, or a paused scrub
        Finished,
        Canceled,
        Unknown,  // a layout we do not know: progress unknown, not a failure
    };
    enum class Kind { Unknown, Scrub, Resilver };

    State state = State::Unknown;
    Kind kind = Kind::Unknown;
    bool paused = false;
    std::optional<double> percentDone;
    std::optional<qint64> secondsLeft;  // only where the tool estimates it
    std::optional<qint64> seconds;      // how long a finished scan took
    // Repaired (scrub) or resilvered so far or in all, as printed ("0B", "302M").
    std::optional<QString> processed;
    // A finished scan's "with N errors"; while one runs, the pool's data
    // errors so far (its "errors:" line), as the scan line has no count then.
    std::optional<qint64> errors;
    // When a finished or canceled scan ended, on the machine's clock as the
    // tool printed it; ended() makes it a local date-time.
    QDate endedOn;
    QTime endedAt;
    QString text;  // the tool's words, blanks collapsed

    // Reads the text after the label, continuation lines included.
    static RaidScan parse(QByteArrayView text);
    QDateTime ended() const { return endedOn.isValid() ? QDateTime(endedOn, endedAt) : QDateTime(); }
    // Which of two scan lines of one pool to show: one running, else a known one.
    bool outranks(const RaidScan& other) const;
};
