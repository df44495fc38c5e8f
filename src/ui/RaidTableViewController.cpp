#include "ui/RaidTableViewController.h"

#include "base/Log.h"
#include "base/Notifications.h"
#include "devices/DiskEjector.h"
#include "devices/VRLScanDevice.h"
#include "exec/RunCMD.h"
#include "pools/BayMapping.h"
#include "pools/DiskContents.h"
#include "pools/PoolRefresh.h"
#include "pools/RaidListArray.h"
#include "pools/ReplaceWorkflow.h"
#include "ui/Alerts.h"
#include "ui/RaidListModel.h"
#include "ui/RaidStatusModel.h"
#include "ui/RowColourDelegate.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolExport.h"
#include "ui_RaidTableViewController.h"

#include <QHeaderView>
#include <QThread>

namespace Key = Notifications::Key;
using PoolViewRules::workerRequest;

RaidTableViewController::RaidTableViewController(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), ui(std::make_unique<Ui::RaidTableViewController>())
{
    ui->setupUi(this);

    listModel_ = new RaidListModel({{"Name", tr("Name")},
                                    {"RaidMode", tr("RAID Mode")},
                                    {"Size", tr("Size")},
                                    {"Alloc", tr("Allocated")},
                                    {"Free", tr("Free")},
                                    {"Capacity", tr("Capacity")},
                                    {"Health", tr("Health")}},
                                   this);
    statusModel_ = new RaidStatusModel({{"Name", tr("Disk")},
                                        {"RaidMode", tr("RAID Mode")},
                                        {"MountOn", tr("RAID Set")},
                                        {"Slot", tr("Slot")},
                                        {"Status", tr("Status")},
                                        {"Read", tr("Read")},
                                        {"Write", tr("Write")},
                                        {"CKSum", tr("Checksum")},
                                        {"Others", tr("Others")}},
                                       this);
    setupTable(ui->RaidListView, listModel_, {150, 90, 75, 80, 75, 75});
    setupTable(ui->RaidStatusView, statusModel_, {145, 75, 70, 50, 75, 40, 40, 70});

    auto onList = [this] {
        if (!reloading_)
            selectedListItem();
    };
    auto onStatus = [this] {
        if (!reloading_)
            selectedStatusItem();
    };
    connect(ui->RaidListView->selectionModel(), &QItemSelectionModel::selectionChanged, this, onList);
    connect(ui->RaidListView, &QTableView::clicked, this, onList);
    connect(ui->RaidStatusView->selectionModel(), &QItemSelectionModel::selectionChanged, this, onStatus);
    connect(ui->RaidStatusView, &QTableView::clicked, this, onStatus);

    connect(ui->NewBtn, &QPushButton::clicked, this, &RaidTableViewController::New);
    connect(ui->UpdateBtn, &QPushButton::clicked, this, &RaidTableViewController::Update);
    connect(ui->DeleteBtn, &QPushButton::clicked, this, &RaidTableViewController::DeleteRAID);
    connect(ui->EjectBtn, &QPushButton::clicked, this, &RaidTableViewController::EjectRAID);
    connect(ui->MountBtn, &QPushButton::clicked, this, &RaidTableViewController::MountRAID);
    connect(ui->ReplaceBtn, &QPushButton::clicked, this, &RaidTableViewController::ReplaceRAID);
    connect(ui->DetachBtn, &QPushButton::clicked, this, &RaidTableViewController::Detach);
    connect(ui->OnlineBtn, &QPushButton::clicked, this, &RaidTableViewController::OnLine);
}

RaidTableViewController::~RaidTableViewController()
{
    // A worker still running would post into a half-destroyed view.
    if (zpoolCmd_)
        zpoolCmd_->waitForThreads();
}

void RaidTableViewController::setupTable(QTableView* view, QAbstractItemModel* model,
                                         const QList<int>& widths)
{
    view->setModel(model);
    view->setItemDelegate(new RowColourDelegate(view));
    // A gone member is named by a long number; its ends tell it apart.
    view->setTextElideMode(Qt::ElideMiddle);
    QHeaderView* header = view->horizontalHeader();
    header->setHighlightSections(false);
    header->setSectionsMovable(false);
    header->setMinimumSectionSize(40);
    for (int i = 0; i < widths.size(); ++i)
        header->resizeSection(i, widths.at(i));
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 8);
}

void RaidTableViewController::loadView()
{
    if (loaded_)
        return;
    loaded_ = true;
    viewDidLoad();
}

void RaidTableViewController::viewDidLoad()
{
    RaidListArray::replace(std::make_shared<const RaidList>());
    listModel_->setList(RaidListArray::current());
    statusModel_->setList({});

    if (context_.registry)
        scanDevice_ = std::make_unique<VRLScanDevice>(*context_.registry, context_.dfPath);
    zpoolCmd_ = std::make_unique<ZpoolCMD>(*context_.center);
    zpoolCmd_->setZpoolPath(zpoolPath_);

    apply(PoolViewRules::viewLoaded(gateOpen()));
    ShowRAIDInfo(false);
}

bool RaidTableViewController::onGuiThread() const
{
    return QThread::currentThread() == thread();
}

RaidListPtr RaidTableViewController::raidList() const
{
    return listModel_->list();
}

RaidStatusList RaidTableViewController::RaidStateArray() const
{
    return statusModel_->list();
}

RaidInfoPtr RaidTableViewController::selectedPool() const
{
    const QModelIndexList rows = ui->RaidListView->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : listModel_->pool(rows.first().row());
}

RaidStatusPtr RaidTableViewController::selectedMember() const
{
    const QModelIndexList rows = ui->RaidStatusView->selectionModel()->selectedRows();
    return rows.isEmpty() ? nullptr : statusModel_->member(rows.first().row());
}

void RaidTableViewController::apply(const PoolViewRules::ButtonStates& s)
{
    const auto enable = [](QPushButton* b, const std::optional<bool>& on) {
        if (on)
            b->setEnabled(*on);
    };
    enable(ui->NewBtn, s.newBtn);
    enable(ui->UpdateBtn, s.update);
    enable(ui->DeleteBtn, s.del);
    enable(ui->EjectBtn, s.eject);
    enable(ui->MountBtn, s.mount);
    enable(ui->ReplaceBtn, s.replace);
    enable(ui->DetachBtn, s.detach);
    enable(ui->OnlineBtn, s.online);
    if (s.detachVisible)
        ui->DetachBtn->setVisible(*s.detachVisible);
    if (s.onlineVisible)
        ui->OnlineBtn->setVisible(*s.onlineVisible);
}

void RaidTableViewController::reloadPoolList(RaidListPtr list)
{
    // Like the original table, keep the selected row number, not the pool;
    // the selection rules run only after a worker command.
    const QModelIndexList rows = ui->RaidListView->selectionModel()->selectedRows();
    const int row = rows.isEmpty() ? -1 : rows.first().row();
    reloading_ = true;
    listModel_->setList(std::move(list));
    if (row >= 0 && row < listModel_->rowCount())
        ui->RaidListView->selectRow(row);
    reloading_ = false;
}

void RaidTableViewController::ShowRAIDInfo(bool includeEjected)
{
    if (!onGuiThread()) {
        QMetaObject::invokeMethod(this, [this, includeEjected] { ShowRAIDInfo(includeEjected); },
                                  Qt::QueuedConnection);
        return;
    }
    if (!loaded_ || !scanDevice_ || !zpoolCmd_)
        return;
    RaidListPtr list = PoolRefresh::refresh(*zpoolCmd_, *scanDevice_, includeEjected, gateOpen(),
                                            nullptr, context_.bayMemory);
    RaidListArray::replace(list);
    reloadPoolList(std::move(list));
}

void RaidTableViewController::ReleaseInfo(const UserInfo& result)
{
    if (PoolViewRules::releaseInfoIgnores(result.value(Key::CMD)))
        return;
    if (!onGuiThread()) {
        // The worker's thread must not touch the lists or the tables.
        QMetaObject::invokeMethod(this, [this, result] { ReleaseInfo(result); }, Qt::QueuedConnection);
        return;
    }
    ShowRAIDInfo(result.value(Key::isRoot) == QLatin1String("YES"));
    RaidListSelectChange();
    RaidStatusSelectChange();
}

void RaidTableViewController::selectedListItem()
{
    RaidListSelectChange();
}

void RaidTableViewController::selectedStatusItem()
{
    RaidStatusSelectChange();
}

void RaidTableViewController::RaidListSelectChange()
{
    const RaidInfoPtr pool = selectedPool();
    apply(PoolViewRules::listSelectChange(pool.get()));
    reloading_ = true;
    statusModel_->setList(pool ? pool->Status : RaidStatusList{});
    reloading_ = false;
}

void RaidTableViewController::RaidStatusSelectChange()
{
    const RaidStatusPtr member = selectedMember();
    apply(PoolViewRules::statusSelectChange(member.get()));
}

void RaidTableViewController::New()
{
    if (!gateOpen())
        return;
    context_.center->post(Notifications::ShowCreateRaidWindows);
}

void RaidTableViewController::Update()
{
    if (!gateOpen())
        return;
    ShowRAIDInfo(true);
}

void RaidTableViewController::DeleteRAID()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    if (!pool || !pool->Name || pool->Name->isEmpty())
        return;
    context_.center->post(Notifications::DeleteConfirm, nullptr, {{Key::PoolName, *pool->Name}});
}

void RaidTableViewController::EjectRAID()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    if (pool && pool->Name && !pool->Name->isEmpty())
        zpoolCmd_->startThread(workerRequest(QStringLiteral("EJECT"), *pool->Name));
}

void RaidTableViewController::MountRAID()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    if (pool && pool->Name && !pool->Name->isEmpty())
        zpoolCmd_->startThread(workerRequest(QStringLiteral("MOUNT"), *pool->Name));
}

void RaidTableViewController::RAIDDelete(const QString& poolName)
{
    if (poolName.isEmpty() || !zpoolCmd_)
        return;
    zpoolCmd_->startThread(workerRequest(QStringLiteral("DELETE"), poolName));
}

void RaidTableViewController::Detach()
{
    if (!gateOpen())
        return;
    const RaidStatusPtr member = selectedMember();
    if (!member || !member->mountOn || !member->DiskName)
        return;
    if (member->State && *member->State == QLatin1String("ONLINE"))
        return;
    zpoolCmd_->startThread(workerRequest(QStringLiteral("DETACH"), *member->mountOn, *member->DiskName));
}

void RaidTableViewController::OnLine()
{
    if (!gateOpen())
        return;
    const RaidStatusPtr member = selectedMember();
    if (!member || !member->mountOn || !member->DiskName)
        return;
    zpoolCmd_->startThread(workerRequest(QStringLiteral("ONLINE"), *member->mountOn, *member->DiskName));
}

void RaidTableViewController::ReplaceRAID()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    const RaidStatusPtr member = selectedMember();
    if (!pool || !member || !pool->Name || !member->DiskName)
        return;
    // The button can outlive the selection it was enabled for; check again.
    if (!PoolViewRules::replaceAllowed(*member) || member->mountOn != pool->Name)
        return;
    const QString slot = member->slotPath.value_or(QString());
    if (slot.isEmpty())
        return;

    const ReplaceWorkflow::EnclosureGuess enclosure =
        ReplaceWorkflow::enclosureOfPool(*pool, scanDevice_->tbArray());
    if (enclosure.identity.isEmpty()) {
        Log::write(QStringLiteral("Replace of %1 in %2 refused: %3")
                       .arg(*member->DiskName, *pool->Name, enclosure.problem));
        Alerts::open(window(), QMessageBox::Information, tr("The disk cannot be replaced"),
                     tr("Tarnwell cannot tell which enclosure holds %1: %2. Nothing was changed.")
                         .arg(*pool->Name, enclosure.problem));
        return;
    }
    // The disks there now: the new one is whichever appears after this.
    scanDevice_->resetArray(QStringLiteral("RADade"));
    scanDevice_->scanTBDevice();
    context_.center->post(
        Notifications::ReplaceStep1, nullptr,
        {{Key::raidName, *pool->Name},
         {Key::diskName, *member->DiskName},
         {Key::diskSlot, BayMapping::bayText(*member)},
         {ReplaceWorkflow::EnclosureKey, enclosure.identity},
         {ReplaceWorkflow::BayKey, slot == BayMapping::UnknownBay ? QString() : slot},
         {ReplaceWorkflow::KnownDisksKey,
          ReplaceWorkflow::diskSnapshot(scanDevice_->tbArray(), enclosure.identity)}});
}

void RaidTableViewController::Replace_EjectDisk(const UserInfo& payload)
{
    if (!gateOpen())
        return;
    const QString pool = payload.value(Key::raidName);
    if (pool.isEmpty())
        return;
    // zpool says why an export failed on stderr; keep it for the alert.
    const QString output =
        RunCMD().runCmdAsAdminWithErrors(zpoolPath_, ZpoolExport::arguments(pool));

    // Unplugging an enclosure under an imported pool loses the writes in
    // flight, so step 2 comes only once zpool no longer lists the pool.
    if (!ReplaceWorkflow::exportConfirmed(zpoolCmd_->runCMD(QStringLiteral("LIST")), pool)) {
        const QString message = output.trimmed();
        Log::write(QStringLiteral("Export of %1 failed: %2").arg(pool, message));
        QString reason;
        if (message == QLatin1String("Canceled"))
            reason = tr("The administrator authorization was cancelled.");
        else if (message.isEmpty())
            reason = tr("zpool gave no message.");
        else
            reason = tr("zpool said: %1").arg(message);
        Alerts::open(window(), QMessageBox::Warning, tr("%1 could not be ejected").arg(pool),
                     tr("%1 is still mounted. Keep the Thunderbolt cable connected.\n\n%2")
                         .arg(pool, reason));
        return;
    }
    context_.center->post(Notifications::ReplaceStep2, nullptr, payload);
}

void RaidTableViewController::ReplaceRAIDDisk(const UserInfo& payload)
{
    if (!zpoolCmd_ || !scanDevice_)
        return;
    const QString pool = payload.value(Key::raidName);
    const QString oldDisk = payload.value(Key::diskName);

    zpoolCmd_->runCMD(QStringLiteral("MOUNT"), pool);
    ShowRAIDInfo(true);
    RaidListSelectChange();

    const ReplaceWorkflow::NewDiskSearch found = ReplaceWorkflow::findNewDisk(
        scanDevice_->tbArray(), payload.value(ReplaceWorkflow::EnclosureKey),
        payload.value(ReplaceWorkflow::BayKey), payload.value(ReplaceWorkflow::KnownDisksKey));
    if (!found.note.isEmpty())
        Log::write(QStringLiteral("Replace of %1 in %2: %3").arg(oldDisk, pool, found.note));
    if (!found.disk) {
        Log::write(QStringLiteral("Replace of %1 in %2: no disk touched: %3").arg(oldDisk, pool, found.problem));
        Log::write(QStringLiteral("No New Disk"));
        Alerts::open(window(), QMessageBox::Warning, tr("No new disk for %1").arg(pool),
                     tr("Nothing was replaced: %1. %2 is mounted again and still needs a new disk; "
                        "run Replace again once it is in.")
                         .arg(found.problem, pool));
        return;
    }
    const VRLHddInfoPtr disk = found.disk;
    const DiskContents::Holding holds = DiskContents::holding(*disk, *raidList(), pool, oldDisk);
    if (!holds.importedPool.isEmpty()) {
        Log::write(QStringLiteral("Replace of %1 in %2 refused: %3 belongs to %4")
                       .arg(oldDisk, pool, ReplaceWorkflow::diskNameOf(*disk->devPath), holds.importedPool));
        Alerts::open(window(), QMessageBox::Warning, tr("The disk cannot be replaced"),
                     tr("%1 Nothing was changed.").arg(DiskContents::sentence(*disk, holds)));
        return;
    }
    if (holds.blank()) {
        replaceOnto(payload, disk);
        return;
    }
    Alerts::open(window(), QMessageBox::Warning, tr("Erase the data on the new disk?"),
                 tr("%1\n\nRebuilding %2 onto it erases it all for good.")
                     .arg(DiskContents::sentence(*disk, holds), pool),
                 {tr("Erase"), tr("Cancel")},
                 [this, payload, disk](int button) {
                     if (button == 0)
                         replaceOnto(payload, disk);
                 },
                 /*defaultButton*/ 1);
}

void RaidTableViewController::replaceOnto(const UserInfo& payload, const VRLHddInfoPtr& disk)
{
    const QString pool = payload.value(Key::raidName);
    const QString oldDisk = payload.value(Key::diskName);
    const QString devPath = *disk->devPath;
    const QString newDisk = ReplaceWorkflow::diskNameOf(devPath);
    Log::write(QStringLiteral("[hddInfo.bsdPathArray count] = %1").arg(disk->bsdPathArray.size()));
    Log::write(context_.diskEjector ? context_.diskEjector->eject(devPath) : QString());
    zpoolCmd_->runCMD(QStringLiteral("REPLACE"), pool, oldDisk, newDisk);
    Log::write(QStringLiteral("REPLACE %1 %2 %3").arg(pool, oldDisk, newDisk));
}

QTableView* RaidTableViewController::RaidListView() const { return ui->RaidListView; }
QTableView* RaidTableViewController::RaidStatusView() const { return ui->RaidStatusView; }
QPushButton* RaidTableViewController::NewBtn() const { return ui->NewBtn; }
QPushButton* RaidTableViewController::UpdateBtn() const { return ui->UpdateBtn; }
QPushButton* RaidTableViewController::DeleteBtn() const { return ui->DeleteBtn; }
QPushButton* RaidTableViewController::EjectBtn() const { return ui->EjectBtn; }
QPushButton* RaidTableViewController::MountBtn() const { return ui->MountBtn; }
QPushButton* RaidTableViewController::ReplaceBtn() const { return ui->ReplaceBtn; }
QPushButton* RaidTableViewController::DetachBtn() const { return ui->DetachBtn; }
QPushButton* RaidTableViewController::OnlineBtn() const { return ui->OnlineBtn; }
