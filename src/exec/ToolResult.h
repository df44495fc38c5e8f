#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// What became of one tool run, as the user or as administrator: how it
// ended, its exit status and what it printed on each stream. The string
// results callers already rely on are made from it.
struct ToolResult {
    enum class Ending {
        Exited,         // ran to its end; exitStatus says how that went
        CouldNotStart,  // never ran: missing, not executable, refused, no authorization
        TimedOut,       // killed, with its children, at its time limit
        Canceled,       // the administrator authorization was dismissed; nothing ran
        Crashed,        // ended by a signal
        TooMuchOutput,  // killed, with its children, after printing more than ToolProcess::MaxOutput
    };

    QString program;  // the launch path
    QStringList arguments;
    Ending ending = Ending::CouldNotStart;
    int exitStatus = -1;  // Exited: the exit code
    QByteArray output;    // standard output; with `merged`, both streams in the order written
    QByteArray errors;    // standard error; empty with `merged`
    bool merged = false;
    int limitMs = 0;  // the time limit it ran under
    QString why;      // CouldNotStart: what stood in the way

    bool ok() const { return ending == Ending::Exited && exitStatus == 0; }
    bool canceled() const { return ending == Ending::Canceled; }
    QString outputText() const;
    // Standard error (the merged text when there is no separate one),
    // trimmed, at most `maxLines` lines of at most 300 characters; "" when silent.
    QString errorExcerpt(int maxLines = 20) const;
    // What went wrong, in a few words: "exited with status 3", "timed out
    // after 30 s and was stopped", "could not be started: …"; "" for a success.
    QString failure() const;
    // The command as a user would type it: "zpool export tank".
    QString commandLine() const;
    // The failure for an alert: the command, what went wrong and, when the
    // tool said something, its words.
    QString report() const;

    static ToolResult notStarted(const QString& program, const QStringList& arguments, const QString& why);
    static QString duration(int ms);  // "30 s", "5 min"
};
