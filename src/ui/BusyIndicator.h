#pragma once
#include <QWidget>

class QLabel;
class QProgressBar;
class SerialWorker;

// Says that tools are running: what runs, and a moving bar. Meanwhile its
// window shows the busy cursor and still answers. Hidden while the worker is idle.
class BusyIndicator : public QWidget {
    Q_OBJECT
public:
    BusyIndicator(SerialWorker& worker, QWidget* parent = nullptr);
    QString text() const;

private:
    void follow(bool busy, const QString& task);

    QLabel* label_;
    QProgressBar* bar_;
};
