#include "devices/FixtureRegistry.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {
// Editors and scripts write in several steps; wait for the burst to end.
constexpr int kDebounceMs = 100;

bool readEntry(const QJsonObject& obj, RegistryTree& tree, int parent, QString* error, int depth)
{
    if (depth > 256) {
        *error = QStringLiteral("entries nested too deeply");
        return false;
    }
    const QString cls = obj.value(QLatin1String("class")).toString();
    if (cls.isEmpty()) {
        *error = QStringLiteral("an entry has no \"class\"");
        return false;
    }
    const QJsonValue nameValue = obj.value(QLatin1String("name"));
    const QString name = nameValue.isString() ? nameValue.toString() : cls;
    std::optional<QString> location;
    const QJsonValue loc = obj.value(QLatin1String("location"));
    if (loc.isString())
        location = loc.toString();
    else if (loc.isDouble())
        location = QString::number(loc.toInteger());

    QVariantMap props;
    const QJsonObject jp = obj.value(QLatin1String("properties")).toObject();
    for (auto it = jp.begin(); it != jp.end(); ++it) {
        const QJsonValue v = it.value();
        if (v.isBool()) {
            props.insert(it.key(), v.toBool());
        } else if (v.isString()) {
            props.insert(it.key(), v.toString());
        } else if (v.isDouble()) {
            const auto n = Registry::number(v.toVariant());
            if (!n) {
                *error = QStringLiteral("property \"%1\" of %2 is not an integer").arg(it.key(), name);
                return false;
            }
            props.insert(it.key(), *n);
        } else {
            *error = QStringLiteral("property \"%1\" of %2 has an unsupported type").arg(it.key(), name);
            return false;
        }
    }

    const int self = parent < 0 ? RegistryTree::Root : tree.add(parent, cls, name, props, location);
    if (parent < 0)
        tree.node(self).properties = props;
    const QJsonArray children = obj.value(QLatin1String("children")).toArray();
    for (const QJsonValue& child : children) {
        if (!child.isObject()) {
            *error = QStringLiteral("a child of %1 is not an object").arg(name);
            return false;
        }
        if (!readEntry(child.toObject(), tree, self, error, depth + 1))
            return false;
    }
    return true;
}
}  // namespace

FixtureRegistry::FixtureRegistry(const QString& jsonPath, QObject* parent)
    : Registry(parent), jsonPath_(QFileInfo(jsonPath).absoluteFilePath())
{
    debounce_.setSingleShot(true);
    debounce_.setInterval(kDebounceMs);
    connect(&debounce_, &QTimer::timeout, this, &FixtureRegistry::reload);
    connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &FixtureRegistry::scheduleReload);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, this,
            &FixtureRegistry::scheduleReload);
    reload();
}

FixtureRegistry::FixtureRegistry(const QString& jsonPath, Watching, QObject* parent)
    : Registry(parent), jsonPath_(QFileInfo(jsonPath).absoluteFilePath()), watching_(false)
{
    reload();
}

RegistryTreePtr FixtureRegistry::parse(const QByteArray& json, QString* error)
{
    QString dummy;
    QString& err = error ? *error : dummy;
    QJsonParseError pe;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &pe);
    if (doc.isNull()) {
        err = pe.errorString();
        return nullptr;
    }
    const QJsonValue root = doc.object().value(QLatin1String("root"));
    if (!root.isObject()) {
        err = QStringLiteral("no \"root\" object");
        return nullptr;
    }
    auto tree = std::make_shared<RegistryTree>();
    if (!readEntry(root.toObject(), *tree, -1, &err, 0))
        return nullptr;
    err.clear();
    return tree;
}

void FixtureRegistry::reload()
{
    debounce_.stop();
    watch();
    QFile f(jsonPath_);
    if (!f.open(QIODevice::ReadOnly)) {
        error_ = f.errorString();
        return;
    }
    QString err;
    RegistryTreePtr next = parse(f.readAll(), &err);
    if (!next) {
        error_ = err;
        qWarning("registry fixture %s: %s", qPrintable(jsonPath_), qPrintable(err));
        return;
    }
    error_.clear();
    replaceTree(next);
    emit reloaded();
}

void FixtureRegistry::scheduleReload()
{
    // A replaced file is a new inode: the watcher dropped the path, so add it again.
    watch();
    debounce_.start();
}

void FixtureRegistry::watch()
{
    if (!watching_)
        return;
    // The directory tells us when a removed or renamed-over file comes back.
    const QString dir = QFileInfo(jsonPath_).absolutePath();
    if (!watcher_.directories().contains(dir))
        watcher_.addPath(dir);
    if (!watcher_.files().contains(jsonPath_) && QFileInfo::exists(jsonPath_))
        watcher_.addPath(jsonPath_);
}
