#include "devices/DiskEjector.h"
#include "support/ShellScript.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

// A fake /dev, /sys/class/block and mountinfo; stand-in unmount tools that
// record their arguments and, when told to, take the device's lines out of
// the fake mountinfo as the real ones would.
namespace {
class Ejector : public ::testing::Test {
protected:
    Ejector()
    {
        QDir(root.path()).mkpath("dev");
        QDir(root.path()).mkpath("sys");
        // A disk sdx with partitions sdx1 (8:17) and sdx2 (8:18); sdy has none.
        addBlock("sdx", "8:16");
        addBlock("sdx/sdx1", "8:17", true);
        addBlock("sdx/sdx2", "8:18", true);
        addBlock("sdy", "8:32");
        writeFile("mountinfo", "");
        const QByteArray tool =
            "d=$(dirname \"$0\")\n"
            "for dev in \"$@\"; do :; done\n"  // the last argument is the device
            "echo \"$(basename \"$0\") $*\" >> \"$d/calls\"\n"
            "if [ -f \"$d/$(basename \"$0\").works\" ]; then\n"
            "  grep -v -F \" $dev \" \"$d/mountinfo\" > \"$d/mi.new\"; mv \"$d/mi.new\" "
            "\"$d/mountinfo\"\n"
            "fi\n";
        writeShellScript(root.path(), "udisksctl", tool);
        writeShellScript(root.path(), "umount", tool);
        paths.devDir = root.filePath("dev");
        paths.sysClassBlock = root.filePath("sys");
        paths.mountInfo = root.filePath("mountinfo");
        paths.udisksctl = root.filePath("udisksctl");
        paths.umountCandidates = {root.filePath("no-umount"), root.filePath("umount")};
        paths.requireBlockDevice = false;
    }

    void addBlock(const QString& sysPath, const QByteArray& devno, bool partition = false)
    {
        QDir(root.filePath("sys")).mkpath(sysPath);
        writeFile("sys/" + sysPath + "/dev", devno + "\n");
        if (partition)
            writeFile("sys/" + sysPath + "/partition", "1\n");
        writeFile("dev/" + QFileInfo(sysPath).fileName(), "");
    }
    void writeFile(const QString& name, const QByteArray& text)
    {
        QFile f(root.filePath(name));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(text);
    }
    void mount(const QString& dev, const QByteArray& devno, const QString& target)
    {
        QFile f(root.filePath("mountinfo"));
        f.open(QIODevice::Append);
        f.write(QString("%1 27 %2 / %3 rw,relatime - vfat %4 rw\n")
                    .arg(++mountId)
                    .arg(QString::fromLatin1(devno), target, dev)
                    .toUtf8());
    }
    void works(const QString& tool) { writeFile(tool + ".works", ""); }
    QString dev(const QString& name) const { return root.filePath("dev/" + name); }
    QStringList calls() const
    {
        QFile f(root.filePath("calls"));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
    }
    QString eject(const QString& path) { return DiskEjector(paths).eject(path); }

    QTemporaryDir root;
    DiskEjectorPaths paths;
    int mountId = 100;
};
}  // namespace

TEST_F(Ejector, NothingMountedRunsNothing)
{
    EXPECT_EQ(eject(dev("sdx")), QString());
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(Ejector, SandboxDiskLinkedToAFileRunsNothing)
{
    writeFile("disk96.img", "");
    ASSERT_TRUE(QFile::link(root.filePath("disk96.img"), dev("disk96")));
    mount(dev("sdx1"), "8:17", "/media/u/A");
    EXPECT_EQ(eject(dev("disk96")), QString());
    EXPECT_EQ(eject(dev("missing")), QString());
    EXPECT_TRUE(calls().isEmpty());
}

TEST_F(Ejector, DesktopUnmountFirst)
{
    works("udisksctl");
    mount(dev("sdx1"), "8:17", "/media/u/A");
    mount(dev("sdx2"), "8:18", "/media/u/B");
    mount(dev("sdy"), "8:32", "/media/u/other-disk");
    eject(dev("sdx"));
    EXPECT_EQ(calls(), (QStringList{"udisksctl unmount --no-user-interaction -b " + dev("sdx1"),
                                    "udisksctl unmount --no-user-interaction -b " + dev("sdx2")}));
}

TEST_F(Ejector, FallsBackToUmountWhenTheDesktopCannot)
{
    works("umount");  // udisksctl runs but leaves the volume mounted
    mount(dev("sdx2"), "8:18", "/media/u/B");
    eject(dev("sdx"));
    EXPECT_EQ(calls(), (QStringList{"udisksctl unmount --no-user-interaction -b " + dev("sdx2"),
                                    "umount " + dev("sdx2")}));
}

TEST_F(Ejector, WithoutUdisksUmountsEachMountOfAWholeDisk)
{
    works("umount");
    paths.udisksctl = root.filePath("no-udisksctl");
    // A filesystem on the bare disk, mounted twice.
    mount(dev("sdy"), "8:32", "/media/u/Y");
    mount(dev("sdy"), "8:32", "/mnt/y");
    eject(dev("sdy"));
    // The stand-in takes both lines at once, so one umount is enough.
    EXPECT_EQ(calls(), (QStringList{"umount " + dev("sdy")}));
}

TEST_F(Ejector, UmountThatAchievesNothingIsNotRepeated)
{
    paths.udisksctl = root.filePath("no-udisksctl");
    mount(dev("sdx1"), "8:17", "/media/u/A");
    mount(dev("sdx1"), "8:17", "/media/u/A2");
    eject(dev("sdx"));
    EXPECT_EQ(calls(), (QStringList{"umount " + dev("sdx1")}));
}

TEST_F(Ejector, InnerVolumesGoFirst)
{
    works("udisksctl");
    mount(dev("sdx1"), "8:17", "/media/u/A");
    mount(dev("sdx2"), "8:18", "/media/u/A/inner");
    eject(dev("sdx"));
    EXPECT_EQ(calls(), (QStringList{"udisksctl unmount --no-user-interaction -b " + dev("sdx2"),
                                    "udisksctl unmount --no-user-interaction -b " + dev("sdx1")}));
}
