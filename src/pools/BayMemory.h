#pragma once
#include <QHash>
#include <QMutex>
#include <QString>

#include <optional>

// Where each pool member was last seen: its enclosure, bay and disk serial,
// kept in the user's settings so that a member whose disk has gone is still
// shown in the bay it left. A missing or unreadable file is an empty memory;
// nothing here ever stops Tarnwell.
class BayMemory {
public:
    struct Place {
        QString enclosure;  // ReplaceWorkflow::enclosureIdentity of its enclosure
        QString slot;       // "Slot-A".."Slot-D"
        QString serial;
    };

    // The default file lives in the user's configuration folder.
    explicit BayMemory(const QString& path = defaultPath());

    // tarnwell/bays.json in the user's configuration folder.
    static QString defaultPath();
    QString path() const { return path_; }

    // nullopt for a member never seen in a bay.
    std::optional<Place> recall(const QString& pool, const QString& member) const;
    // Kept in memory until save().
    void remember(const QString& pool, const QString& member, const Place& place);
    // Writes the file when something changed since it was read; failures are logged.
    void save();

private:
    struct Entry {
        Place place;
        qint64 seen = 0;  // seconds since the epoch, for pruning
    };
    void loadLocked() const;

    QString path_;
    mutable QMutex mutex_;
    mutable bool loaded_ = false;
    mutable QHash<QString, Entry> entries_;  // key: pool + '\n' + member
    bool dirty_ = false;
};
