// The yardstick for the main window's start-up: an empty Qt Widgets window,
// timed the same way: it says so on stdout once shown, and ends.
#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&window] {
        if (window.isVisible()) {
            std::fputs("shown\n", stdout);
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
    });
    poll.start(1);
    return QApplication::exec();
}
