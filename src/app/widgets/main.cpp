#include <QApplication>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tarnwell"));
    QApplication::setApplicationVersion(QStringLiteral(TARNWELL_VERSION));
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("Tarnwell"));
    w.resize(700, 560);
    w.show();
    return app.exec();
}
