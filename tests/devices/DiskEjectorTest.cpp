#include "devices/DiskEjector.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

// Disk sdx with partitions sdx1, sdx2, and sdy; stand-in unmount tools take
// the device's lines out of the fake mountinfo as the real ones would. Disks
// with nothing mounted, and links to image files, are met in the user stories.
TEST(Ejector, UnmountsEveryVolumeOfTheDiskDesktopFirst)
{
    // `works`: the tool that unmounts for real; mounts as "device target",
    // calls as "tool device".
    const struct { const char* name; const char* works; bool udisks; QStringList mounts; const char* disk;
                   QStringList calls; } cases[] = {
        {"no such disk", "udisksctl", true, {"sdx1 /media/u/A"}, "missing", {}},
        {"each partition, no other disk", "udisksctl", true,
         {"sdx1 /media/u/A", "sdx2 /media/u/B", "sdy /media/u/other-disk"}, "sdx",
         {"udisksctl sdx1", "udisksctl sdx2"}},
        {"umount when the desktop cannot", "umount", true, {"sdx2 /media/u/B"}, "sdx",
         {"udisksctl sdx2", "umount sdx2"}},
        // The stand-in takes both lines at once, so one umount is enough.
        {"a whole disk mounted twice", "umount", false, {"sdy /media/u/Y", "sdy /mnt/y"}, "sdy", {"umount sdy"}},
        {"an umount that achieves nothing is not repeated", "", false, {"sdx1 /media/u/A", "sdx1 /media/u/A2"},
         "sdx", {"umount sdx1"}},
        {"inner volumes first", "udisksctl", true, {"sdx1 /media/u/A", "sdx2 /media/u/A/inner"}, "sdx",
         {"udisksctl sdx2", "udisksctl sdx1"}},
    };
    const QMap<QString, QByteArray> devno = {{"sdx", "8:16"}, {"sdx1", "8:17"}, {"sdx2", "8:18"}, {"sdy", "8:32"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir root;
        for (const QString sys : {"sdx", "sdx/sdx1", "sdx/sdx2", "sdy"}) {
            const QString name = sys.section('/', -1);
            writeFile(root.filePath("sys/" + sys + "/dev"), devno[name] + "\n");
            if (sys.contains('/'))
                writeFile(root.filePath("sys/" + sys + "/partition"), "1\n");
            writeFile(root.filePath("dev/" + name), {});
        }
        QByteArray mountinfo;
        int id = 100;
        for (const QString& m : c.mounts)
            mountinfo += QString("%1 27 %2 / %3 rw,relatime - vfat %4 rw\n")
                             .arg(++id)
                             .arg(QString::fromLatin1(devno[m.section(' ', 0, 0)]), m.section(' ', 1),
                                  root.filePath("dev/" + m.section(' ', 0, 0)))
                             .toUtf8();
        writeFile(root.filePath("mountinfo"), mountinfo);
        const QByteArray tool = "d=$(dirname \"$0\")\n"
                                "for dev in \"$@\"; do :; done\n"  // the last argument is the device
                                "echo \"$(basename \"$0\") $*\" >> \"$d/calls\"\n"
                                "if [ -f \"$d/$(basename \"$0\").works\" ]; then\n"
                                "  grep -v -F \" $dev \" \"$d/mountinfo\" > \"$d/mi.new\"; mv \"$d/mi.new\" \"$d/mountinfo\"\n"
                                "fi\n";
        writeShellScript(root.path(), "udisksctl", tool);
        writeShellScript(root.path(), "umount", tool);
        writeFile(root.filePath(QString(c.works) + ".works"), {});

        const DiskEjectorPaths paths{root.filePath("dev"), root.filePath("sys"), root.filePath("mountinfo"),
                                     root.filePath(c.udisks ? "udisksctl" : "no-udisksctl"),
                                     {root.filePath("no-umount"), root.filePath("umount")}, false};
        EXPECT_EQ(DiskEjector(paths).eject(root.filePath(QString("dev/") + c.disk)), QString());
        QFile f(root.filePath("calls"));
        const QString calls = f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
        EXPECT_EQ(calls.split('\n', Qt::SkipEmptyParts).replaceInStrings(root.filePath("dev/"), ""),
                  QStringList(c.calls).replaceInStrings("udisksctl ", "udisksctl unmount --no-user-interaction -b "));
    }
}
