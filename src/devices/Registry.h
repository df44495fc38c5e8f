#pragma once
#include <QList>
#include <QMetaType>
#include <QMutex>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>

// The device registry as the scanner and the hot-plug monitor see it: a tree
// of entries (class name, name, optional location, properties, children),
// reached through a small set of operations named after the platform
// registry's own. Backends build an immutable RegistryTree and hand it to
// Registry::replaceTree; readers always work on a whole snapshot, so a scan
// on another thread never sees a half-built tree.

namespace RegistryStatus {
inline constexpr int Success = 0;
inline constexpr int Error = int(0xe00002bc);
inline constexpr int BadArgument = int(0xe00002c2);
inline constexpr int NotFound = int(0xe00002f0);
}  // namespace RegistryStatus

// Property values are qint64 numbers, QString texts or bools.
class RegistryTree {
public:
    struct Node {
        QString className;
        QString name;
        std::optional<QString> location;
        QVariantMap properties;
        int parent = -1;
        QList<int> children;
    };
    static constexpr int Root = 0;

    // Starts with the root entry (class "IORegistryEntry", name "Root").
    RegistryTree();

    // Adds a child of `parent` and returns its index.
    int add(int parent, const QString& className, const QString& name,
            const QVariantMap& properties = {}, const std::optional<QString>& location = {});
    Node& node(int index) { return nodes_[index]; }
    const Node& node(int index) const { return nodes_[index]; }
    int size() const { return int(nodes_.size()); }

    // "name" or "name@location".
    QString component(int index) const;
    // "IOService:/" followed by the components below the root, joined by "/".
    QString path(int index) const;
    // Every entry, each before its children, children in insertion order.
    QList<int> preorder() const;

private:
    QList<Node> nodes_;
};
using RegistryTreePtr = std::shared_ptr<const RegistryTree>;

// A handle on one entry. It keeps its snapshot alive, so an entry that has
// been terminated can still be read (name, path, properties).
class RegistryEntry {
public:
    RegistryEntry() = default;
    RegistryEntry(RegistryTreePtr tree, int index) : tree_(std::move(tree)), index_(index) {}

    bool isNull() const { return !tree_ || index_ < 0; }
    explicit operator bool() const { return !isNull(); }
    const RegistryTree::Node* node() const { return isNull() ? nullptr : &tree_->node(index_); }
    const RegistryTreePtr& tree() const { return tree_; }
    int index() const { return index_; }
    bool operator==(const RegistryEntry& other) const
    {
        return tree_ == other.tree_ && index_ == other.index_;
    }

private:
    RegistryTreePtr tree_;
    int index_ = -1;
};
Q_DECLARE_METATYPE(RegistryEntry)

// A shared cursor over entries. Copies share their position, as handles do.
class RegistryIterator {
public:
    RegistryIterator() = default;
    explicit RegistryIterator(QList<RegistryEntry> entries);

    bool isNull() const { return !d_; }
    // The next entry, or a null entry once every entry has been taken.
    RegistryEntry next();
    bool isExhausted() const;
    // Adds entries after the untaken ones (notifications refill a drained cursor).
    void append(const QList<RegistryEntry>& entries);

private:
    struct State {
        QList<RegistryEntry> entries;
        qsizetype position = 0;
    };
    std::shared_ptr<State> d_;
};

// The class to match and the property values a match must have
// ("IOPropertyMatch"); numbers compare by value.
struct MatchingDictionary {
    QString className;
    QVariantMap propertyMatch;
};

// Delivers registry notifications on the thread it lives on.
class RegistryNotificationPort : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
};

class Registry : public QObject {
    Q_OBJECT
public:
    enum SearchOption { SearchRecursively = 1, SearchParents = 2 };
    using MatchingCallback = std::function<void(RegistryIterator&)>;

    explicit Registry(QObject* parent = nullptr);
    ~Registry() override;

    // The current snapshot; it never changes under its holder.
    RegistryTreePtr tree() const;
    // Publishes a new snapshot: entries that disappear (by class and path)
    // are announced as terminated, entries that appear as published. The
    // signals are emitted on the thread that owns the registry.
    void replaceTree(RegistryTreePtr next);

    // None for an empty class name.
    std::optional<MatchingDictionary> IOServiceMatching(const QString& className) const;
    // Every matching entry, in registry order (depth first, parents first).
    int IOServiceGetMatchingServices(const std::optional<MatchingDictionary>& matching,
                                     RegistryIterator& iterator);
    // The iterator's next entry; null once it is exhausted.
    static RegistryEntry IOIteratorNext(RegistryIterator& iterator);
    // Absent keys are simply missing from the map.
    static QVariantMap IORegistryEntryCreateCFProperties(const RegistryEntry& entry);
    // An invalid QVariant when absent.
    static QVariant IORegistryEntryCreateCFProperty(const RegistryEntry& entry, const QString& key);
    // options 0: the entry only; SearchRecursively: the entry, then its
    // subtree depth first; SearchRecursively | SearchParents: the entry, then
    // its ancestors nearest first.
    static QVariant IORegistryEntrySearchCFProperty(const RegistryEntry& entry, const QString& key,
                                                    int options);
    // Null for the root and for a null entry.
    static RegistryEntry IORegistryEntryGetParentEntry(const RegistryEntry& entry);
    // The direct children, in insertion order.
    static RegistryIterator IORegistryEntryGetChildIterator(const RegistryEntry& entry);
    // RegistryTree::path of the entry; empty for a null entry.
    static QString IORegistryEntryGetPath(const RegistryEntry& entry);
    // The name without location; a non-zero status for a null entry.
    static int IORegistryEntryGetName(const RegistryEntry& entry, QString& name);
    static void IOObjectRelease(RegistryEntry& entry) { entry = RegistryEntry(); }
    static void IOObjectRelease(RegistryIterator& iterator) { iterator = RegistryIterator(); }

    // A port owned by `owner`; it delivers on the thread of the caller, as
    // long as that thread's event loop runs.
    RegistryNotificationPort* IONotificationPortCreate(QObject* owner);
    // notificationType is "IOServicePublish" or "IOServiceTerminate". The
    // iterator first holds the matching entries already present (publish)
    // or nothing (terminate). Once the caller has drained it, the callback
    // runs on the port's thread with that iterator whenever matching entries
    // are published or terminated; until then they accumulate in it.
    int IOServiceAddMatchingNotification(RegistryNotificationPort* port,
                                         const QString& notificationType,
                                         const std::optional<MatchingDictionary>& matching,
                                         MatchingCallback callback, RegistryIterator& iterator);

    // Value helpers shared by the readers: the value when it has that type, else none.
    static std::optional<qint64> number(const QVariant& value);
    static std::optional<QString> text(const QVariant& value);
    // True only for a bool true; a number or text never counts.
    static bool isTrue(const QVariant& value);
    // Same class name and every property of the match present with an equal value.
    static bool matches(const RegistryEntry& entry, const MatchingDictionary& matching);

signals:
    // Terminated entries are announced before published ones.
    void entriesTerminated(const QList<RegistryEntry>& entries);
    void entriesPublished(const QList<RegistryEntry>& entries);

protected:
    // Called before each matching query; a backend may bring its tree up to date.
    virtual void aboutToQuery() {}

private:
    mutable QMutex mutex_;    // guards tree_
    QMutex replaceMutex_;     // serialises replaceTree
    RegistryTreePtr tree_;
};
