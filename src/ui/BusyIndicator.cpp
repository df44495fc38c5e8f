#include "ui/BusyIndicator.h"

#include "pools/SerialWorker.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

BusyIndicator::BusyIndicator(SerialWorker& worker, QWidget* parent)
    : QWidget(parent), label_(new QLabel(this)), bar_(new QProgressBar(this))
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label_);
    layout->addWidget(bar_);
    bar_->setRange(0, 0);  // no end known: it just moves
    bar_->setTextVisible(false);
    bar_->setMaximumSize(80, 12);
    bar_->setAccessibleName(tr("Working"));
    setAccessibleName(tr("Activity"));
    connect(&worker, &SerialWorker::busyChanged, this, &BusyIndicator::follow);
    follow(worker.isBusy(), worker.task());
}

QString BusyIndicator::text() const
{
    return isVisibleTo(parentWidget()) ? label_->text() : QString();
}

void BusyIndicator::follow(bool busy, const QString& task)
{
    label_->setText(task);
    setVisible(busy);
    if (QWidget* w = window(); w && w != this) {
        if (busy)
            w->setCursor(Qt::BusyCursor);
        else
            w->unsetCursor();
    }
}
