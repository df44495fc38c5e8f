#include "devices/Registry.h"

#include <QHash>
#include <QThread>

#include <cmath>

// ---- RegistryTree ----

RegistryTree::RegistryTree()
{
    Node root;
    root.className = QStringLiteral("IORegistryEntry");
    root.name = QStringLiteral("Root");
    nodes_.append(root);
}

int RegistryTree::add(int parent, const QString& className, const QString& name,
                      const QVariantMap& properties, const std::optional<QString>& location)
{
    Q_ASSERT(parent >= 0 && parent < size());
    Node n;
    n.className = className;
    n.name = name;
    n.location = location;
    n.properties = properties;
    n.parent = parent;
    const int index = size();
    nodes_.append(std::move(n));
    nodes_[parent].children.append(index);
    return index;
}

QString RegistryTree::component(int index) const
{
    const Node& n = nodes_[index];
    return n.location ? n.name + QLatin1Char('@') + *n.location : n.name;
}

QString RegistryTree::path(int index) const
{
    QStringList parts;
    for (int i = index; i > Root && i < size(); i = nodes_[i].parent)
        parts.prepend(component(i));
    return QStringLiteral("IOService:/") + parts.join(QLatin1Char('/'));
}

QList<int> RegistryTree::preorder() const
{
    QList<int> order;
    order.reserve(size());
    QList<int> stack{Root};
    while (!stack.isEmpty()) {
        const int i = stack.takeLast();
        order.append(i);
        const QList<int>& kids = nodes_[i].children;
        for (auto it = kids.crbegin(); it != kids.crend(); ++it)
            stack.append(*it);
    }
    return order;
}

// ---- RegistryIterator ----

RegistryIterator::RegistryIterator(QList<RegistryEntry> entries)
    : d_(std::make_shared<State>())
{
    d_->entries = std::move(entries);
}

RegistryEntry RegistryIterator::next()
{
    if (!d_ || d_->position >= d_->entries.size())
        return {};
    return d_->entries[d_->position++];
}

bool RegistryIterator::isExhausted() const
{
    return !d_ || d_->position >= d_->entries.size();
}

void RegistryIterator::append(const QList<RegistryEntry>& entries)
{
    if (!d_)
        d_ = std::make_shared<State>();
    if (d_->position >= d_->entries.size()) {
        // Drop what has been consumed so a long-lived watch does not grow.
        d_->entries.clear();
        d_->position = 0;
    }
    d_->entries.append(entries);
}

// ---- Registry ----

namespace {
const QString kPublish = QStringLiteral("IOServicePublish");
const QString kTerminate = QStringLiteral("IOServiceTerminate");

bool valuesEqual(const QVariant& a, const QVariant& b)
{
    const auto na = Registry::number(a);
    const auto nb = Registry::number(b);
    if (na || nb)
        return na && nb && *na == *nb;
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return a.typeId() == b.typeId() && a.toBool() == b.toBool();
    const auto ta = Registry::text(a);
    const auto tb = Registry::text(b);
    return ta && tb && *ta == *tb;
}

// Key of every entry ("class\npath"), in preorder, paths built incrementally.
QList<std::pair<QString, int>> keyedEntries(const RegistryTree& tree)
{
    QList<std::pair<QString, int>> result;
    const QList<int> order = tree.preorder();
    result.reserve(order.size());
    QList<QString> paths(tree.size());
    for (int i : order) {
        const auto& n = tree.node(i);
        if (i == RegistryTree::Root)
            paths[i] = QStringLiteral("IOService:/");
        else if (n.parent == RegistryTree::Root)
            paths[i] = paths[n.parent] + tree.component(i);
        else
            paths[i] = paths[n.parent] + QLatin1Char('/') + tree.component(i);
        result.append({n.className + QLatin1Char('\n') + paths[i], i});
    }
    return result;
}

// Entries of `from` beyond the number of same-keyed entries in `other`.
QList<RegistryEntry> surplus(const RegistryTreePtr& from, const RegistryTreePtr& other)
{
    QHash<QString, int> budget;
    if (other)
        for (const auto& [key, index] : keyedEntries(*other))
            ++budget[key];
    QList<RegistryEntry> result;
    if (!from)
        return result;
    for (const auto& [key, index] : keyedEntries(*from)) {
        int& left = budget[key];
        if (left > 0)
            --left;
        else
            result.append(RegistryEntry(from, index));
    }
    return result;
}

QList<RegistryEntry> matchingIn(const RegistryTreePtr& tree, const MatchingDictionary& matching)
{
    QList<RegistryEntry> result;
    if (!tree)
        return result;
    for (int i : tree->preorder()) {
        RegistryEntry e(tree, i);
        if (Registry::matches(e, matching))
            result.append(e);
    }
    return result;
}
}  // namespace

Registry::Registry(QObject* parent)
    : QObject(parent), tree_(std::make_shared<const RegistryTree>())
{
    qRegisterMetaType<RegistryEntry>();
    qRegisterMetaType<QList<RegistryEntry>>();
}

Registry::~Registry() = default;

RegistryTreePtr Registry::tree() const
{
    QMutexLocker lock(&mutex_);
    return tree_;
}

void Registry::replaceTree(RegistryTreePtr next)
{
    if (!next)
        next = std::make_shared<const RegistryTree>();
    QList<RegistryEntry> gone, added;
    {
        QMutexLocker serial(&replaceMutex_);
        RegistryTreePtr previous;
        {
            QMutexLocker lock(&mutex_);
            previous = tree_;
            tree_ = next;
        }
        gone = surplus(previous, next);
        added = surplus(next, previous);
    }
    if (gone.isEmpty() && added.isEmpty())
        return;
    auto announce = [this, gone, added] {
        if (!gone.isEmpty())
            emit entriesTerminated(gone);
        if (!added.isEmpty())
            emit entriesPublished(added);
    };
    if (QThread::currentThread() == thread())
        announce();
    else
        QMetaObject::invokeMethod(this, announce, Qt::QueuedConnection);
}

std::optional<MatchingDictionary> Registry::IOServiceMatching(const QString& className) const
{
    if (className.isEmpty())
        return std::nullopt;
    return MatchingDictionary{className, {}};
}

int Registry::IOServiceGetMatchingServices(const std::optional<MatchingDictionary>& matching,
                                           RegistryIterator& iterator)
{
    if (!matching)
        return RegistryStatus::BadArgument;
    aboutToQuery();
    iterator = RegistryIterator(matchingIn(tree(), *matching));
    return RegistryStatus::Success;
}

RegistryEntry Registry::IOIteratorNext(RegistryIterator& iterator)
{
    return iterator.next();
}

QVariantMap Registry::IORegistryEntryCreateCFProperties(const RegistryEntry& entry)
{
    const auto* n = entry.node();
    return n ? n->properties : QVariantMap();
}

QVariant Registry::IORegistryEntryCreateCFProperty(const RegistryEntry& entry, const QString& key)
{
    const auto* n = entry.node();
    return n ? n->properties.value(key) : QVariant();
}

QVariant Registry::IORegistryEntrySearchCFProperty(const RegistryEntry& entry, const QString& key,
                                                   int options)
{
    if (entry.isNull())
        return {};
    const RegistryTree& tree = *entry.tree();
    if (!(options & SearchRecursively))
        return tree.node(entry.index()).properties.value(key);
    if (options & SearchParents) {
        for (int i = entry.index(); i >= 0; i = tree.node(i).parent) {
            auto it = tree.node(i).properties.constFind(key);
            if (it != tree.node(i).properties.constEnd())
                return *it;
        }
        return {};
    }
    QList<int> stack{entry.index()};
    while (!stack.isEmpty()) {
        const int i = stack.takeLast();
        auto it = tree.node(i).properties.constFind(key);
        if (it != tree.node(i).properties.constEnd())
            return *it;
        const QList<int>& kids = tree.node(i).children;
        for (auto k = kids.crbegin(); k != kids.crend(); ++k)
            stack.append(*k);
    }
    return {};
}

RegistryEntry Registry::IORegistryEntryGetParentEntry(const RegistryEntry& entry)
{
    const auto* n = entry.node();
    if (!n || n->parent < 0)
        return {};
    return RegistryEntry(entry.tree(), n->parent);
}

RegistryIterator Registry::IORegistryEntryGetChildIterator(const RegistryEntry& entry)
{
    QList<RegistryEntry> children;
    if (const auto* n = entry.node()) {
        children.reserve(n->children.size());
        for (int c : n->children)
            children.append(RegistryEntry(entry.tree(), c));
    }
    return RegistryIterator(children);
}

QString Registry::IORegistryEntryGetPath(const RegistryEntry& entry)
{
    return entry.isNull() ? QString() : entry.tree()->path(entry.index());
}

int Registry::IORegistryEntryGetName(const RegistryEntry& entry, QString& name)
{
    const auto* n = entry.node();
    if (!n)
        return RegistryStatus::BadArgument;
    name = n->name;
    return RegistryStatus::Success;
}

RegistryNotificationPort* Registry::IONotificationPortCreate(QObject* owner)
{
    return new RegistryNotificationPort(owner);
}

int Registry::IOServiceAddMatchingNotification(RegistryNotificationPort* port,
                                               const QString& notificationType,
                                               const std::optional<MatchingDictionary>& matching,
                                               MatchingCallback callback,
                                               RegistryIterator& iterator)
{
    const bool publish = notificationType == kPublish;
    if (!port || !matching || !callback || (!publish && notificationType != kTerminate))
        return RegistryStatus::BadArgument;
    if (publish)
        aboutToQuery();
    RegistryIterator pending(publish ? matchingIn(tree(), *matching) : QList<RegistryEntry>());
    iterator = pending;
    auto deliver = [pending, m = *matching, callback](const QList<RegistryEntry>& entries) mutable {
        QList<RegistryEntry> hits;
        for (const RegistryEntry& e : entries)
            if (matches(e, m))
                hits.append(e);
        if (hits.isEmpty())
            return;
        // Only a drained iterator re-arms the watch; until then arrivals wait in it.
        const bool armed = pending.isExhausted();
        pending.append(hits);
        if (armed)
            callback(pending);
    };
    if (publish)
        connect(this, &Registry::entriesPublished, port, deliver);
    else
        connect(this, &Registry::entriesTerminated, port, deliver);
    return RegistryStatus::Success;
}

std::optional<qint64> Registry::number(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::ULongLong:
        // 64-bit identifiers keep their bits.
        return qint64(value.toULongLong());
    case QMetaType::Double: {
        const double d = value.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 9.2e18)
            return qint64(d);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

std::optional<QString> Registry::text(const QVariant& value)
{
    if (value.typeId() == QMetaType::QString)
        return value.toString();
    return std::nullopt;
}

bool Registry::isTrue(const QVariant& value)
{
    return value.typeId() == QMetaType::Bool && value.toBool();
}

bool Registry::matches(const RegistryEntry& entry, const MatchingDictionary& matching)
{
    const auto* n = entry.node();
    if (!n || n->className != matching.className)
        return false;
    for (auto it = matching.propertyMatch.cbegin(); it != matching.propertyMatch.cend(); ++it) {
        auto own = n->properties.constFind(it.key());
        if (own == n->properties.constEnd() || !valuesEqual(*own, it.value()))
            return false;
    }
    return true;
}
