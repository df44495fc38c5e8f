#pragma once
#include "exec/HelperProtocol.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <sys/types.h>

// What tarnwell-helper does with one request: it checks the operation's
// operands on the live system, builds the tool's arguments from the zpool
// units and runs it, and answers in HelperProtocol's reply form. It remembers
// the pools it created, the only ones whose file system it gives away.
class HelperSession {
public:
    struct Tools {
        QString zpool;
        QString umount;
    };
    struct User {
        QString name;  // empty when unknown: nothing is given, imported or unmounted for them
        uid_t uid = 0;
        gid_t gid = 0;
    };
    // The destroy program serves destroy and nothing else; the helper never destroys.
    HelperSession(Tools tools, User user, bool destroyProgram);

    QByteArray handle(const HelperRequest& request);

    // Where a pool imported for this user is mounted: every mount point of
    // the pool lands below it.
    QString importRoot() const;
    // Where this user's volumes may be unmounted from.
    QStringList volumeRoots() const;

    struct Outcome;

private:
    Outcome perform(const HelperRequest& r, int limitMs);

    Tools tools_;
    User user_;
    bool destroyProgram_;
    QSet<QString> created_;
};
