#include "pools/BayMemory.h"

#include "base/Log.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace {
// Enough for many enclosures' worth of pools; the oldest go first.
constexpr qsizetype MaxEntries = 512;

QString key(const QString& pool, const QString& member)
{
    return pool + QLatin1Char('\n') + member;
}
}  // namespace

BayMemory::BayMemory(const QString& path) : path_(path) {}

QString BayMemory::defaultPath()
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (dir.isEmpty())
        dir = QDir::homePath() + QStringLiteral("/.config");
    return dir + QStringLiteral("/tarnwell/bays.json");
}

void BayMemory::loadLocked() const
{
    if (loaded_)
        return;
    loaded_ = true;
    QFile file(path_);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        Log::write(QStringLiteral("Bay memory %1 unreadable: %2").arg(path_, file.errorString()));
        return;
    }
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(file.read(4 << 20), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) {
        Log::write(QStringLiteral("Bay memory %1 ignored: not valid JSON").arg(path_));
        return;
    }
    const QJsonArray members = doc.object().value(QStringLiteral("members")).toArray();
    for (const QJsonValue& v : members) {
        const QJsonObject o = v.toObject();
        const QString pool = o.value(QStringLiteral("pool")).toString();
        const QString member = o.value(QStringLiteral("member")).toString();
        const QString slot = o.value(QStringLiteral("slot")).toString();
        if (pool.isEmpty() || member.isEmpty() || slot.isEmpty())
            continue;
        entries_.insert(key(pool, member),
                        {{o.value(QStringLiteral("enclosure")).toString(), slot,
                          o.value(QStringLiteral("serial")).toString()},
                         qint64(o.value(QStringLiteral("seen")).toDouble())});
    }
}

std::optional<BayMemory::Place> BayMemory::recall(const QString& pool, const QString& member) const
{
    QMutexLocker lock(&mutex_);
    loadLocked();
    const auto it = entries_.constFind(key(pool, member));
    if (it == entries_.cend())
        return std::nullopt;
    return it->place;
}

void BayMemory::remember(const QString& pool, const QString& member, const Place& place)
{
    QMutexLocker lock(&mutex_);
    loadLocked();
    Entry& e = entries_[key(pool, member)];
    if (e.place.enclosure != place.enclosure || e.place.slot != place.slot ||
        e.place.serial != place.serial) {
        e.place = place;
        dirty_ = true;
    }
    // The date only matters for pruning: a day's precision spares rewriting the file.
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    if (now - e.seen > 86400) {
        e.seen = now;
        dirty_ = true;
    }
}

void BayMemory::save()
{
    QMutexLocker lock(&mutex_);
    if (!dirty_)
        return;
    dirty_ = false;
    QList<std::pair<QString, Entry>> all;
    for (auto it = entries_.cbegin(); it != entries_.cend(); ++it)
        all.append({it.key(), it.value()});
    std::sort(all.begin(), all.end(), [](const auto& a, const auto& b) {
        return a.second.seen != b.second.seen ? a.second.seen > b.second.seen : a.first < b.first;
    });
    if (all.size() > MaxEntries) {
        for (qsizetype i = MaxEntries; i < all.size(); ++i)
            entries_.remove(all[i].first);
        all.resize(MaxEntries);
    }
    QJsonArray members;
    for (const auto& [k, e] : all) {
        members.append(QJsonObject{{QStringLiteral("pool"), k.section(QLatin1Char('\n'), 0, 0)},
                                   {QStringLiteral("member"), k.section(QLatin1Char('\n'), 1)},
                                   {QStringLiteral("enclosure"), e.place.enclosure},
                                   {QStringLiteral("slot"), e.place.slot},
                                   {QStringLiteral("serial"), e.place.serial},
                                   {QStringLiteral("seen"), double(e.seen)}});
    }
    QDir().mkpath(QFileInfo(path_).absolutePath());
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(QJsonDocument(QJsonObject{{QStringLiteral("version"), 1},
                                             {QStringLiteral("members"), members}})
                       .toJson()) < 0 ||
        !file.commit())
        Log::write(QStringLiteral("Bay memory %1 not saved: %2").arg(path_, file.errorString()));
}
