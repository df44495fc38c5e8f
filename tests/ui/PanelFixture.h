#pragma once
#include "ui/DiskTableViewController.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

// A click in the disk table as the user makes it; ctrl adds to the selection.
inline void clickRow(DiskTableViewController& panel, int row, bool add = true)
{
    QTableView* view = panel.DiskListView();
    const QRect rect = view->visualRect(view->model()->index(row, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, add ? Qt::ControlModifier : Qt::NoModifier,
                      rect.center());
}
