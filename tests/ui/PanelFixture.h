#pragma once
#include "ui/DiskTableViewController.h"

#include <QTableView>
#include <QTest>

// A ctrl-click in the disk table: the user adds the row to the selection.
inline void clickRow(DiskTableViewController& panel, int row)
{
    QTableView* view = panel.DiskListView();
    QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::ControlModifier,
                      view->visualRect(view->model()->index(row, 1)).center());
}
