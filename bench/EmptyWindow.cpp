// The yardstick for the main window's start-up: an empty Qt Widgets window,
// ended the same way (shown, one turn of the event loop).
#include <QApplication>
#include <QTimer>
#include <QWidget>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.show();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&window] {
        if (window.isVisible())
            QCoreApplication::exit(0);
    });
    poll.start(1);
    return QApplication::exec();
}
