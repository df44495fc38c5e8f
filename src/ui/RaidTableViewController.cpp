#include "ui/RaidTableViewController.h"

#include "base/Log.h"
#include "base/Notifications.h"
#include "devices/DiskEjector.h"
#include "devices/VRLScanDevice.h"
#include "exec/RunCMD.h"
#include "pools/BayMapping.h"
#include "pools/SerialWorker.h"
#include "pools/DiskContents.h"
#include "pools/PoolRefresh.h"
#include "pools/RaidListArray.h"
#include "pools/ReplaceWorkflow.h"
#include "pools/ScanProgress.h"
#include "ui/Alerts.h"
#include "ui/BusyIndicator.h"
#include "ui/KeyboardOrder.h"
#include "ui/RaidListModel.h"
#include "ui/RaidStatusModel.h"
#include "ui/RowColourDelegate.h"
#include "zpool/ZpoolCMD.h"
#include "zpool/ZpoolExport.h"
#include "zpool/ZpoolOperation.h"
#include "ui_RaidTableViewController.h"

#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QThread>

namespace Key = Notifications::Key;

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
    setupTable(ui->RaidStatusView, statusModel_, {100, 70, 70, 115, 70, 40, 40, 65});

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

    addScanLine();

    if (!context_.worker)
        ownWorker_ = std::make_unique<SerialWorker>();
    worker_ = context_.worker ? context_.worker : ownWorker_.get();
    for (QPushButton* b : {ui->NewBtn, ui->UpdateBtn, ui->DeleteBtn, ui->EjectBtn, ui->MountBtn, ui->ReplaceBtn,
                           ui->DetachBtn, ui->OnlineBtn, verifyBtn_})
        wanted_[b] = b->isEnabled();
    busy_ = new BusyIndicator(*worker_, this);
    ui->poolButtons->addWidget(busy_);
    connect(worker_, &SerialWorker::busyChanged, this, [this] { updateEnabled(); });
    KeyboardOrder::follow(this);
}

RaidTableViewController::~RaidTableViewController()
{
    // A job still running would hand its result to a half-destroyed view.
    worker_->forget(this);
    if (zpoolCmd_)
        zpoolCmd_->waitForThreads();
}

void RaidTableViewController::addScanLine()
{
    verifyBtn_ = new QPushButton(tr("&Verify"), this);
    verifyBtn_->setObjectName(QStringLiteral("VerifyBtn"));
    verifyBtn_->setEnabled(false);
    verifyBtn_->setToolTip(tr("Read every block of the RAID set and repair what it can (scrub)"));
    ui->poolButtons->insertWidget(ui->poolButtons->indexOf(ui->MountBtn) + 1, verifyBtn_);
    setTabOrder(ui->MountBtn, verifyBtn_);
    connect(verifyBtn_, &QPushButton::clicked, this, &RaidTableViewController::Verify);

    // The selected pool's scrub or resilver: progress, or how the last one ended.
    auto* line = new QHBoxLayout;
    scanLabel_ = new QLabel(this);
    scanLabel_->setObjectName(QStringLiteral("scanLabel"));
    scanLabel_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    scanBar_ = new QProgressBar(this);
    scanBar_->setObjectName(QStringLiteral("scanBar"));
    scanBar_->setRange(0, 1000);
    scanBar_->setTextVisible(false);
    scanBar_->setMaximumWidth(200);
    scanBar_->hide();
    line->addWidget(scanLabel_, 1);
    line->addWidget(scanBar_);
    ui->rootLayout->insertLayout(ui->rootLayout->indexOf(ui->RaidStatusLabel), line);

    connect(listModel_, &QAbstractItemModel::modelReset, this, [this] {
        emit poolsShown(listModel_->list());
        showScan();
    });
    connect(ui->RaidListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &RaidTableViewController::showScan);
}

void RaidTableViewController::showScan()
{
    const RaidInfoPtr pool = selectedPool();
    const QString text = pool ? ScanProgress::text(*pool) : QString();
    scanLabel_->setText(text);
    scanLabel_->setAccessibleName(text.isEmpty() ? tr("Verify and rebuild status") : text);
    const std::optional<double> percent = pool ? ScanProgress::percent(*pool) : std::nullopt;
    scanBar_->setVisible(percent.has_value());
    scanBar_->setValue(percent ? int(*percent * 10) : 0);
    scanBar_->setAccessibleName(pool && pool->scan && pool->scan->kind == RaidScan::Kind::Resilver
                                    ? tr("Rebuild progress")
                                    : tr("Verify progress"));
    const ScanProgress::VerifyButton b = ScanProgress::verifyButton(pool.get());
    verifyBtn_->setText(b.stops ? tr("Stop &Verify") : tr("&Verify"));
    wanted_[verifyBtn_] = b.enabled && gateOpen() && loaded_;
    updateEnabled();
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
    const auto enable = [this](QPushButton* b, const std::optional<bool>& on) {
        if (on)
            wanted_[b] = *on;
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
    updateEnabled();
}

void RaidTableViewController::updateEnabled()
{
    // Each verb changes the pools the others act on: while one runs, none starts.
    const bool busy = worker_->isBusy();
    for (const auto& [button, on] : wanted_)
        button->setEnabled(on && !busy);
}

void RaidTableViewController::reloadPoolList(RaidListPtr list)
{
    // The selection stays with the pool, not the row number, and the member
    // table and the buttons follow the records just read.
    const RaidInfoPtr pool = selectedPool();
    reloading_ = true;
    listModel_->setList(std::move(list));
    const int row = pool ? PoolViewRules::rowOfPool(*listModel_->list(), *pool) : -1;
    if (row >= 0)
        ui->RaidListView->selectRow(row);
    else
        ui->RaidListView->clearSelection();
    reloading_ = false;
    showSelectedPoolAgain();
}

void RaidTableViewController::ShowRAIDInfo(bool includeEjected, std::function<void()> then, bool quietly)
{
    if (!onGuiThread()) {
        QMetaObject::invokeMethod(this, [this, includeEjected, then, quietly] { ShowRAIDInfo(includeEjected, then, quietly); },
                                  Qt::QueuedConnection);
        return;
    }
    if (!loaded_ || !scanDevice_ || !zpoolCmd_)
        return;
    const bool gate = gateOpen();
    worker_->run<PoolRefresh::Refreshed>(
        this, quietly ? QString() : tr("Reading the RAID sets…"),
        [this, includeEjected, gate] {
            return PoolRefresh::refresh(*zpoolCmd_, *scanDevice_, includeEjected, gate, context_.bayMemory);
        },
        [this, then](PoolRefresh::Refreshed fresh) {
            if (fresh.failure) {
                // Without `zpool list` an empty list would say "no RAID sets":
                // the last one read is nearer the truth.
                const QString text =
                    fresh.failure->report() +
                    (fresh.listed ? tr("\n\nThe list may lack disks or ejected RAID sets.")
                                  : tr("\n\nThe list shows the RAID sets as they were when last read."));
                if (readAlert_)
                    readAlert_->setInformativeText(text);
                else
                    readAlert_ = Alerts::open(window(), QMessageBox::Warning,
                                              tr("The RAID sets could not be read"), text);
            }
            if (fresh.listed) {
                RaidListArray::replace(fresh.pools);
                reloadPoolList(std::move(fresh.pools));
            }
            if (then)
                then();
        });
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
    // The refresh runs both selection rules on the records it reads.
    ShowRAIDInfo(result.value(Key::isRoot) == QLatin1String("YES"));
}

void RaidTableViewController::runVerb(const QString& verb, const QString& pool, const QString& disk,
                                      const QString& what, const QString& failedTitle)
{
    // Its "ZpoolCMDFinish" brings the refresh that shows the pools as they now are.
    worker_->run<ToolResult>(
        this, what, [this, verb, pool, disk] { return zpoolCmd_->run(verb, pool, disk); },
        [this, failedTitle](const ToolResult& r) {
            if (!r.ok() && !r.canceled())
                alertFailure(failedTitle, r);
        });
}

void RaidTableViewController::alertFailure(const QString& title, const ToolResult& result, const QString& after)
{
    Log::write(QStringLiteral("%1: %2").arg(title, result.report().simplified()));
    Alerts::open(window(), QMessageBox::Warning, title,
                 result.report() + (after.isEmpty() ? QString() : QStringLiteral("\n\n") + after));
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
    // The member that enabled Replace is no longer listed.
    RaidStatusSelectChange();
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
        runVerb(QStringLiteral("EJECT"), *pool->Name, {}, tr("Ejecting %1…").arg(*pool->Name),
                tr("%1 could not be ejected").arg(*pool->Name));
}

void RaidTableViewController::MountRAID()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    if (pool && pool->Name && !pool->Name->isEmpty())
        runVerb(QStringLiteral("MOUNT"), *pool->Name, {}, tr("Mounting %1…").arg(*pool->Name),
                tr("%1 could not be mounted").arg(*pool->Name));
}

void RaidTableViewController::RAIDDelete(const QString& poolName)
{
    if (poolName.isEmpty() || !zpoolCmd_)
        return;
    runVerb(QStringLiteral("DELETE"), poolName, {}, tr("Deleting %1…").arg(poolName),
            tr("%1 could not be deleted").arg(poolName));
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
    runVerb(QStringLiteral("DETACH"), *member->mountOn, *member->DiskName, tr("Detaching %1…").arg(*member->DiskName),
            tr("%1 could not be detached from %2").arg(*member->DiskName, *member->mountOn));
}

void RaidTableViewController::OnLine()
{
    if (!gateOpen())
        return;
    const RaidStatusPtr member = selectedMember();
    if (!member || !member->mountOn || !member->DiskName)
        return;
    runVerb(QStringLiteral("ONLINE"), *member->mountOn, *member->DiskName,
            tr("Bringing %1 online…").arg(*member->DiskName),
            tr("%1 could not be brought online in %2").arg(*member->DiskName, *member->mountOn));
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

    struct Start {
        ReplaceWorkflow::EnclosureGuess enclosure;
        QString snapshot;
    };
    const RaidInfo poolNow = *pool;
    worker_->run<Start>(
        this, tr("Looking at the enclosures…"),
        [this, poolNow] {
            Start start{ReplaceWorkflow::enclosureOfPool(poolNow, scanDevice_->tbArray()), {}};
            if (!start.enclosure.identity.isEmpty()) {
                // The disks there now: the new one is whichever appears after this.
                scanDevice_->resetArray(QStringLiteral("RADade"));
                scanDevice_->scanTBDevice();
                start.snapshot = ReplaceWorkflow::diskSnapshot(scanDevice_->tbArray(), start.enclosure.identity);
            }
            return start;
        },
        [this, poolName = *pool->Name, member, slot](const Start& start) {
            if (start.enclosure.identity.isEmpty()) {
                Log::write(QStringLiteral("Replace of %1 in %2 refused: %3")
                               .arg(*member->DiskName, poolName, start.enclosure.problem));
                Alerts::open(window(), QMessageBox::Information, tr("The disk cannot be replaced"),
                             tr("Tarnwell cannot tell which enclosure holds %1: %2. Nothing was changed.")
                                 .arg(poolName, start.enclosure.problem));
                return;
            }
            context_.center->post(Notifications::ReplaceStep1, nullptr,
                                  {{Key::raidName, poolName},
                                   {Key::diskName, *member->DiskName},
                                   {Key::diskSlot, BayMapping::bayText(*member)},
                                   {ReplaceWorkflow::EnclosureKey, start.enclosure.identity},
                                   {ReplaceWorkflow::BayKey, slot == BayMapping::UnknownBay ? QString() : slot},
                                   {ReplaceWorkflow::KnownDisksKey, start.snapshot}});
        });
}

void RaidTableViewController::Verify()
{
    if (!gateOpen())
        return;
    const RaidInfoPtr pool = selectedPool();
    const ScanProgress::VerifyButton b = ScanProgress::verifyButton(pool.get());
    if (!b.enabled)
        return;
    const QString name = *pool->Name;
    if (b.stops)
        runVerb(QStringLiteral("STOP VERIFY"), name, {}, tr("Stopping the verify of %1…").arg(name),
                tr("The verify of %1 could not be stopped").arg(name));
    else
        runVerb(QStringLiteral("VERIFY"), name, {}, tr("Starting to verify %1…").arg(name),
                tr("%1 could not be verified").arg(name));
}

void RaidTableViewController::selectPool(const QString& name)
{
    const RaidListPtr list = listModel_->list();
    for (int row = 0; list && row < list->size(); ++row) {
        if (list->at(row)->Name == name) {
            ui->RaidListView->selectRow(row);
            showSelectedPoolAgain();
            return;
        }
    }
}

void RaidTableViewController::showSelectedPoolAgain()
{
    // The members as now read, the selected one kept by its disk name.
    const RaidStatusPtr member = selectedMember();
    RaidListSelectChange();
    const RaidStatusList members = statusModel_->list();
    for (int i = 0; member && i < members.size(); ++i) {
        if (members.at(i)->DiskName == member->DiskName) {
            reloading_ = true;
            ui->RaidStatusView->selectRow(i);
            reloading_ = false;
            break;
        }
    }
    RaidStatusSelectChange();
}

void RaidTableViewController::Replace_EjectDisk(const UserInfo& payload)
{
    if (!gateOpen())
        return;
    const QString pool = payload.value(Key::raidName);
    if (pool.isEmpty())
        return;
    struct Ejected {
        ToolResult exported, list;
    };
    worker_->run<Ejected>(
        this, tr("Ejecting %1…").arg(pool),
        [this, pool] {
            return Ejected{RunCMD::runAsAdmin(ZpoolOperation::exportPool(pool), zpoolPath_,
                                              ZpoolExport::arguments(pool)),
                           zpoolCmd_->run(QStringLiteral("LIST"))};
        },
        [this, pool, payload](const Ejected& e) {
            // Unplugging an enclosure under an imported pool loses the writes in
            // flight, so step 2 comes only once zpool no longer lists the pool.
            if (e.exported.ok() && PoolRefresh::listAnswered(e.list) &&
                ReplaceWorkflow::exportConfirmed(e.list.outputText(), pool)) {
                context_.center->post(Notifications::ReplaceStep2, nullptr, payload);
                return;
            }
            if (e.exported.canceled()) {
                Log::write(QStringLiteral("Export of %1 not run: the authorization was cancelled").arg(pool));
                return;
            }
            // The wizard ends here; show the pool as zpool now has it.
            ShowRAIDInfo(true);
            const QString title = tr("%1 could not be ejected").arg(pool);
            const QString after = tr("%1 is still mounted. Keep the Thunderbolt cable connected.").arg(pool);
            if (!e.exported.ok() || !PoolRefresh::listAnswered(e.list)) {
                alertFailure(title, e.exported.ok() ? e.list : e.exported, after);
                return;
            }
            const QString text = tr("%1 reported success, but %2 still shows %3.")
                                     .arg(e.exported.commandLine(), e.list.commandLine(), pool);
            Log::write(QStringLiteral("%1: %2").arg(title, text));
            Alerts::open(window(), QMessageBox::Warning, title, text + QStringLiteral("\n\n") + after);
        });
}

void RaidTableViewController::ReplaceRAIDDisk(const UserInfo& payload)
{
    if (!zpoolCmd_ || !scanDevice_)
        return;
    const QString pool = payload.value(Key::raidName);
    const QString oldDisk = payload.value(Key::diskName);
    struct Rebuild {
        ToolResult imported;
        PoolRefresh::Refreshed fresh;
        ReplaceWorkflow::NewDiskSearch found;
    };
    const bool gate = gateOpen();
    worker_->run<Rebuild>(
        this, tr("Mounting %1 and looking for the new disk…").arg(pool),
        [this, pool, payload, gate] {
            Rebuild r;
            r.imported = zpoolCmd_->run(QStringLiteral("MOUNT"), pool);
            r.fresh = PoolRefresh::refresh(*zpoolCmd_, *scanDevice_, true, gate, context_.bayMemory);
            r.found = ReplaceWorkflow::findNewDisk(
                scanDevice_->tbArray(), payload.value(ReplaceWorkflow::EnclosureKey),
                payload.value(ReplaceWorkflow::BayKey), payload.value(ReplaceWorkflow::KnownDisksKey));
            return r;
        },
        [this, pool, oldDisk, payload](const Rebuild& r) {
            if (r.fresh.listed) {
                RaidListArray::replace(r.fresh.pools);
                reloadPoolList(r.fresh.pools);
            }
            if (r.imported.canceled()) {
                Log::write(QStringLiteral("Replace of %1 in %2: the authorization was cancelled").arg(oldDisk, pool));
                return;
            }
            if (!r.imported.ok()) {
                alertFailure(tr("%1 could not be mounted").arg(pool), r.imported,
                             tr("Nothing was replaced. Run Replace again once %1 is mounted.").arg(pool));
                return;
            }
            if (r.fresh.failure) {
                alertFailure(tr("The RAID sets could not be read"), *r.fresh.failure,
                             tr("Nothing was replaced: Tarnwell cannot tell what the new disk holds."));
                return;
            }
            const ReplaceWorkflow::NewDiskSearch& found = r.found;
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
            foundNewDisk(payload, found.disk);
        });
}

void RaidTableViewController::foundNewDisk(const UserInfo& payload, const VRLHddInfoPtr& disk)
{
    const QString pool = payload.value(Key::raidName);
    const QString oldDisk = payload.value(Key::diskName);
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
    const qsizetype partitions = disk->bsdPathArray.size();
    worker_->run<ToolResult>(
        this, tr("Replacing %1 in %2…").arg(oldDisk, pool),
        [this, pool, oldDisk, devPath, newDisk, partitions] {
            Log::write(QStringLiteral("[hddInfo.bsdPathArray count] = %1").arg(partitions));
            Log::write(context_.diskEjector ? context_.diskEjector->eject(devPath) : QString());
            ToolResult r = zpoolCmd_->run(QStringLiteral("REPLACE"), pool, oldDisk, newDisk);
            Log::write(QStringLiteral("REPLACE %1 %2 %3").arg(pool, oldDisk, newDisk));
            return r;
        },
        [this, pool, oldDisk, newDisk](const ToolResult& r) {
            if (!r.ok() && !r.canceled())
                alertFailure(tr("%1 in %2 could not be replaced by %3").arg(oldDisk, pool, newDisk), r);
        });
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
