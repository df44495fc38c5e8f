#pragma once
#include "devices/Registry.h"

#include <QFileSystemWatcher>
#include <QTimer>

// A registry read from a JSON file, for tests and the sandbox.
//
//   {"root": ENTRY}
//   ENTRY = {"class": "IOPCIDevice",           (required)
//            "name": "pci1b21,612",            (default: the class name)
//            "location": "0",                  (optional; a number is taken as its text)
//            "properties": {"Key": 65 | "text" | true, ...},
//            "children": [ENTRY, ...]}
//
// Numbers must be integers (64-bit values are kept exactly). The root
// entry's own class and name are ignored: the root always shows as
// "IOService:/". tools/make-fixture writes such files; see
// tests/data/registry/README.md.
//
// The file is watched. When it changes (also when a script or editor
// replaces it by rename), it is read again after a short pause and the new
// tree replaces the old one, which announces every entry that appeared or
// disappeared (Registry::replaceTree). A file that is missing or does not
// parse leaves the current tree in place until a good one arrives.
class FixtureRegistry : public Registry {
    Q_OBJECT
public:
    explicit FixtureRegistry(const QString& jsonPath, QObject* parent = nullptr);
    // Without watching: one read, for a process that ends soon after. Ending
    // a watch (inotify_rm_watch) can cost tens of milliseconds.
    enum class Watching { Off };
    FixtureRegistry(const QString& jsonPath, Watching off, QObject* parent = nullptr);

    QString jsonPath() const { return jsonPath_; }
    // The last read error, empty when the current file parsed.
    QString errorString() const { return error_; }
    // Reads the file now instead of after the pause.
    void reload();

    // Parses one document; nullptr and an error text when it is not a registry.
    static RegistryTreePtr parse(const QByteArray& json, QString* error = nullptr);

signals:
    // A good file was read and its tree published.
    void reloaded();

private:
    void watch();
    void scheduleReload();

    QString jsonPath_;
    QString error_;
    bool watching_ = true;
    QFileSystemWatcher watcher_;
    QTimer debounce_;
};
