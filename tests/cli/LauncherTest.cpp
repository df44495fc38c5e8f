#include <gtest/gtest.h>

#include <QProcess>

// `tarnwell` itself: which arguments load the widget libraries (the window's
// program) and which are answered without them. The dynamic loader says
// what it loads.
TEST(Launcher, OnlyTheWindowLoadsTheWidgets)
{
    const struct { QStringList arguments; bool window; int exitCode; const char* says; } cases[] = {
        {{"--version"}, false, 0, "Tarnwell " TARNWELL_VERSION},
        {{"--help"}, false, 0, "--list"},
        {{"--list", "--registry", "/nonexistent/registry.json"}, false, 1, "cannot read the registry fixture"},
        {{"--json"}, false, 1, "--json goes with --list"},
        {{"--list", "extra"}, false, 1, "unexpected argument: extra"},
        {{"--registry", "/nonexistent/registry.json"}, true, 1, "cannot read the registry fixture"},
        // "--list" is the fixture's name here, so this asks for the window.
        {{"--registry", "--list"}, true, 1, "cannot read the registry fixture --list"},
    };
    qputenv("LD_DEBUG", "files");  // read by the loader only as a program starts
    qputenv("QT_QPA_PLATFORM", "offscreen");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess p;
        p.start(QStringLiteral(TARNWELL_BINARY_DIR "/src/tarnwell"), c.arguments);
        ASSERT_TRUE(p.waitForFinished(60000));
        const QByteArray out = p.readAllStandardOutput();
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), c.exitCode) << err.constData();
        EXPECT_TRUE(out.contains(c.says) || err.contains(c.says)) << out.constData();
        EXPECT_TRUE(err.contains("file=libQt6Core.so"));
        EXPECT_EQ(err.contains("file=libQt6Widgets.so"), c.window);
    }
}
