#pragma once
// A stand-in for pkexec that counts how often it is asked and then cancels
// (126), fails (127) or starts the real tarnwell-helper for `uid`. While it
// lives, the privileged session elevates through it even as root.
#include "exec/PrivilegedSession.h"
#include "support/ShellScript.h"

#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

class StandInElevator {
public:
    explicit StandInElevator(uid_t uid = ::getuid())
    {
        path_ = writeShellScript(dir_.path(), "elevator",
                                 "d=$(dirname \"$0\")\n"
                                 "echo x >> \"$d/asked\"\n"
                                 "[ -f \"$d/delay\" ] && sleep \"$(cat \"$d/delay\")\"\n"
                                 "case \"$(cat \"$d/answer\" 2>/dev/null)\" in\n"
                                 "  cancel) exit 126 ;;\n"
                                 "  fail) exit 127 ;;\n"
                                 "esac\n"
                                 "echo $$ > \"$d/pid\"\n"
                                 "PKEXEC_UID=" + QByteArray::number(uid) + " exec \"$@\"\n");
        PrivilegedSession& s = PrivilegedSession::instance();
        s.reset();
        s.setForceElevation(true);
        s.setElevator({path_});
        s.setHelperPath(TARNWELL_BINARY_DIR "/src/tarnwell-helper");
    }
    ~StandInElevator()
    {
        PrivilegedSession& s = PrivilegedSession::instance();
        s.reset();
        s.setForceElevation(false);
        s.setElevator({"/usr/bin/pkexec"});
        s.setHelperPath({});
    }

    QString path() const { return path_; }
    // "run" (the default), "cancel" or "fail".
    void answer(const QByteArray& how) { writeFile(dir_.filePath("answer"), how); }
    // The user takes this long with the dialog.
    void delay(const QByteArray& seconds) { writeFile(dir_.filePath("delay"), seconds); }
    int asked() const { return int(read("asked").count('\n')); }
    pid_t helperPid() const { return pid_t(read("pid").trimmed().toInt()); }

private:
    QByteArray read(const QString& name) const
    {
        QFile f(dir_.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QTemporaryDir dir_;
    QString path_;
};
