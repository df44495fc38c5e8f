#pragma once
// Helpers shared by the create-RAID panel and device window tests.
#include "devices/VRLThunderboltInfo.h"
#include "ui/DiskTableViewController.h"

#include <QItemSelectionModel>
#include <QTableView>
#include <QTest>

#include "support/QtPrinters.h"

inline VRLHddInfoPtr makeDisk(int n, const QString& slot, std::optional<QString> devPath = {})
{
    auto d = std::make_shared<VRLHddInfo>();
    d->hddModel = QStringLiteral("TOSHIBA MG04ACA400N");
    d->hddSN = QStringLiteral("SN%1").arg(n);
    d->devPath = devPath ? devPath : std::optional<QString>(QStringLiteral("/dev/disk%1").arg(n));
    d->slotPath = slot;
    d->diskSize = 4000787030016;
    d->isUnFormated = true;
    return d;
}

inline VRLThunderboltInfoPtr makeEnclosure(const QString& model, HddList disks,
                                           const QString& path = {})
{
    auto e = std::make_shared<VRLThunderboltInfo>();
    e->moduleName = model;
    e->tbPath = path.isEmpty() ? model : path;
    e->hddArray = std::move(disks);
    return e;
}

// A click in the disk table as the user makes it; ctrl adds to the selection.
inline void clickRow(DiskTableViewController& panel, int row, bool add = true)
{
    QTableView* view = panel.DiskListView();
    const QRect rect = view->visualRect(view->model()->index(row, 1));
    QTest::mouseClick(view->viewport(), Qt::LeftButton,
                      add ? Qt::ControlModifier : Qt::NoModifier, rect.center());
}

inline int selectedRowCount(const DiskTableViewController& panel)
{
    return int(panel.DiskListView()->selectionModel()->selectedRows().size());
}
