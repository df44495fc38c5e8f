#include "ui/MainWindows.h"

#include "base/Log.h"
#include "base/Notifications.h"
#include "pools/ReplaceWorkflow.h"
#include "pools/SerialWorker.h"
#include "ui/Alerts.h"
#include "ui/DesktopNotifier.h"
#include "ui/PoolWatch.h"
#include "ui/HelpPages.h"
#include "ui/KeyboardOrder.h"
#include "ui/RaidCreateView.h"
#include "ui/RaidTableViewController.h"
#include "ui/TBInfoWindow.h"
#include "zpool/OpenZFSCheck.h"
#include "zpool/ZpoolCMD.h"
#include "ui_MainWindows.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMenu>
#include <QSpinBox>
#include <QThread>
#include <QTimer>

namespace Key = Notifications::Key;

MainWindows::MainWindows(AppContext& context, QWidget* parent)
    : QMainWindow(parent), context_(context), ui(std::make_unique<Ui::MainWindows>())
{
    ui->setupUi(this);
    connect(ui->actionQuit, &QAction::triggered, this, [] { QCoreApplication::quit(); });
    connect(ui->actionHowToUse, &QAction::triggered, this, &MainWindows::howToUseRequested);
    connect(ui->actionOpenZFS, &QAction::triggered, this, &MainWindows::openZFSRequested);
    connect(ui->actionDisclaimer, &QAction::triggered, this, &MainWindows::disclaimerRequested);
    connect(ui->actionHelp, &QAction::triggered, this, &MainWindows::Help);
    QAction* interval = ui->menuFile->addAction(tr("Health Check Interval…"));
    interval->setObjectName(QStringLiteral("actionWatchInterval"));
    ui->menuFile->insertAction(ui->actionQuit, interval);
    connect(interval, &QAction::triggered, this, &MainWindows::editWatchInterval);
    if (!context_.worker) {
        ownWorker_ = std::make_unique<SerialWorker>();
        context_.worker = ownWorker_.get();
    }
}

MainWindows::~MainWindows()
{
    // A job may be inside our handler right now; let it finish while
    // everything it can reach is still whole. The views go before the worker.
    context_.worker->forget(this);
    delete poolWatch_;
    poolWatch_ = nullptr;
    delete raidCreateViewCtrl_;
    raidCreateViewCtrl_ = nullptr;
    tbInfoWindow_.reset();
    for (quint64 id : observers_)
        context_.center->removeObserver(id);
    if (ownWorker_)
        context_.worker = nullptr;
    if (ownNotifier_)
        context_.notifier = nullptr;
}

QLabel* MainWindows::VerLabel() const
{
    return ui->VerLabel;
}

QLabel* MainWindows::CopyRightLabel() const
{
    return ui->CopyRightLabel;
}

RaidTableViewController* MainWindows::raidTableViewCtrl() const
{
    return raidCreateViewCtrl_ ? raidCreateViewCtrl_->raidTableViewCtrl() : nullptr;
}

void MainWindows::startWindows()
{
    if (started_)
        return;
    started_ = true;
    setWindowTitle(QStringLiteral("Tarnwell"));
    ui->VerLabel->clear();
    checkOpenZFS([this] {
        initWindowItems();
        monitorVolumesDevice();
        monitorEvent();
    });
}

void MainWindows::checkOpenZFS(std::function<void()> then)
{
    checking_ = true;
    context_.worker->run<OpenZFSResult>(
        this, tr("Looking for OpenZFS…"), [paths = context_.probePaths] { return OpenZFSCheck::check(paths); },
        [this, then](const OpenZFSResult& result) {
            checking_ = false;
            hasOpenZFS_ = result.hasOpenZFS;
            ZFSInstalled_ = result.ZFSInstalled;
            zpoolPath_ = result.hasOpenZFS ? result.zpoolPath : QString();
            if (!hasOpenZFS_)
                ShowNoOpenZFS();
            if (!ZFSInstalled_)
                ShowZFSInstallFail();
            if (then)
                then();
        });
}

void MainWindows::ShowNoOpenZFS()
{
    Alerts::open(this, QMessageBox::Warning, OpenZFSCheck::NoOpenZFSMessage,
                 OpenZFSCheck::noOpenZFSInformative());
}

void MainWindows::ShowZFSInstallFail()
{
    Alerts::open(this, QMessageBox::Information, OpenZFSCheck::InstallFailedMessage,
                 OpenZFSCheck::InstallFailedInformative);
}

void MainWindows::initWindowItems()
{
    ui->CopyRightLabel->setText(QStringLiteral("© 2026 Tarnwell developers"));
    ui->VerLabel->setText(QStringLiteral("Version : %1").arg(QCoreApplication::applicationVersion()));
    initRaidCreateView();
}

void MainWindows::initRaidCreateView()
{
    if (!raidCreateViewCtrl_)
        raidCreateViewCtrl_ = new RaidCreateView(context_, ui->RaidCreateView);
    if (raidCreateViewCtrl_->isViewLoaded())
        return;
    // The pool view reads these when it loads, so they go in first.
    raidCreateViewCtrl_->setHasOpenZFS(hasOpenZFS_);
    raidCreateViewCtrl_->setZpoolPath(zpoolPath_);
    raidCreateViewCtrl_->setZFSInstalled(ZFSInstalled_);
    raidCreateViewCtrl_->loadView();
    ui->RaidCreateView->layout()->addWidget(raidCreateViewCtrl_);
    KeyboardOrder::follow(ui->centralwidget);

    if (!poolWatch_ && raidTableViewCtrl()) {
        if (!context_.notifier) {
            ownNotifier_ = std::make_unique<DesktopNotifier>();
            context_.notifier = ownNotifier_.get();
        }
        connect(context_.notifier, &DesktopNotifier::activated, this, &MainWindows::showPool);
        poolWatch_ = new PoolWatch(*raidTableViewCtrl(), *context_.notifier, this);
    }
}

void MainWindows::editWatchInterval()
{
    auto* dialog = new QDialog(this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(tr("Health Check Interval"));
    dialog->setAccessibleName(tr("Health Check Interval"));
    auto* seconds = new QSpinBox(dialog);
    seconds->setRange(HealthWatch::MinInterval, HealthWatch::MaxInterval);
    seconds->setSuffix(tr(" s"));
    seconds->setValue(poolWatch_ ? poolWatch_->interval() : PoolWatch::storedInterval());
    seconds->setAccessibleName(tr("Seconds between health checks"));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, dialog);
    auto* form = new QFormLayout(dialog);
    form->addRow(tr("Check the RAID sets' health every"), seconds);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, dialog, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
    connect(dialog, &QDialog::accepted, this, [this, seconds] {
        if (poolWatch_)
            poolWatch_->setInterval(seconds->value());
        else
            PoolWatch::storeInterval(seconds->value());
    });
    dialog->setWindowModality(Qt::WindowModal);
    dialog->open();
}

void MainWindows::showPool(const QString& pool)
{
    Log::write(QStringLiteral("Notification clicked: showing %1").arg(pool));
    if (isMinimized())
        showNormal();
    show();
    raise();
    activateWindow();
    if (RaidTableViewController* pools = raidTableViewCtrl())
        pools->selectPool(pool);
}

void MainWindows::monitorVolumesDevice()
{
    if (!context_.volumeWatch)
        return;
    connect(context_.volumeWatch, &VolumeWatch::volumesChanged, this, &MainWindows::volumesChanged);
    context_.volumeWatch->start();
}

void MainWindows::volumesChanged(VolumeWatch::Change change)
{
    switch (change) {
    case VolumeWatch::Change::Mounted:
    case VolumeWatch::Change::Unmounted:
    case VolumeWatch::Change::Renamed:
        scheduleRescan();
        if (poolWatch_)
            poolWatch_->checkSoon();
        break;
    }
}

void MainWindows::monitorEvent()
{
    if (!observers_.isEmpty())
        return;
    for (const QString& name : Notifications::HubNames) {
        observers_ << context_.center->addObserver(
            name, nullptr, [this](const Notification& n) { EventChange(n); });
    }
}

void MainWindows::EventChange(const Notification& n)
{
    // Worker threads post too; the hub acts only on the GUI thread, in the
    // order the notifications were posted.
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, [this, n] { EventChange(n); }, Qt::QueuedConnection);
        return;
    }
    namespace N = Notifications;
    if (n.name == N::TBDeviceAttached || n.name == N::TBDeviceDeattached) {
        scheduleRescan();
        if (poolWatch_)
            poolWatch_->checkSoon();
    } else if (n.name == N::TBDevPopupChange) {
        TBDevPopupChange();
    } else if (n.name == N::ShowRAIDInfo) {
        if (RaidTableViewController* pools = raidTableViewCtrl())
            pools->ShowRAIDInfo(false);
    } else if (n.name == N::CreateRAIDFinish) {
        CreateRAIDFinish();
    } else if (n.name == N::DeleteConfirm) {
        DeleteRAIDConfirm(n.userInfo);
    } else if (n.name == N::NoVolumeNameOfRAID) {
        NoVolumeNameOfRAID();
    } else if (n.name == N::ShowCreateRaidWindows) {
        ShowCreateRaidWindows();
    } else if (n.name == N::ReplaceStep1) {
        showReplaceStep1(n.userInfo);
    } else if (n.name == N::ReplaceStep2) {
        showReplaceStep2(n.userInfo);
    } else if (n.name == N::ReplaceStep3) {
        showReplaceStep3(n.userInfo);
    } else if (n.name == N::ZpoolCMDFinish) {
        if (RaidTableViewController* pools = raidTableViewCtrl())
            pools->ReleaseInfo(n.userInfo);
    }
}

void MainWindows::scheduleRescan()
{
    // One rescan per event, never merged.
    QTimer::singleShot(1000, this, [this] { rescanTB(); });
}

TBInfoWindow* MainWindows::tbInfoWindow()
{
    if (!tbInfoWindow_) {
        tbInfoWindow_ = std::make_unique<TBInfoWindow>(context_);
        tbInfoWindow_->setZpoolPath(zpoolPath_);
    }
    return tbInfoWindow_.get();
}

void MainWindows::rescanTB()
{
    tbInfoWindow()->rescanDevice();
}

void MainWindows::TBDevPopupChange()
{
    tbInfoWindow()->TBDevPopupChange();
}

void MainWindows::CreateRAIDFinish()
{
    if (tbInfoWindow_)
        tbInfoWindow_->close();
}

void MainWindows::NoVolumeNameOfRAID()
{
    tbInfoWindow()->NoVolumeNameOfRAID();
}

void MainWindows::ShowCreateRaidWindows()
{
    tbInfoWindow()->showWindow();
}

void MainWindows::DeleteRAIDConfirm(const UserInfo& payload)
{
    // The name shown is the name destroyed, whatever the list holds by the
    // time the user answers.
    const QString pool = payload.value(Key::PoolName);
    Alerts::open(this, QMessageBox::Information, QStringLiteral("Delete a RAID"),
                 QStringLiteral("Deleting %1 will completely remove the RAID set and erase all "
                                "existing data on those drives. Are you sure?")
                     .arg(pool),
                 {QStringLiteral("Delete"), QStringLiteral("Cancel")}, [this, pool](int button) {
                     if (button != 0)
                         return;
                     if (RaidTableViewController* pools = raidTableViewCtrl())
                         pools->RAIDDelete(pool);
                 },
                 /*defaultButton*/ 1);
}

void MainWindows::showReplaceStep1(const UserInfo& payload)
{
    Alerts::open(this, QMessageBox::Information, QStringLiteral("Disk Replacement – Step 1"),
                 QStringLiteral("To replace the disk, %1 has to be ejected now.")
                     .arg(payload.value(Key::raidName)),
                 {QStringLiteral("Eject"), QStringLiteral("Cancel")}, [this, payload](int button) {
                     if (button != 0)
                         return;
                     if (RaidTableViewController* pools = raidTableViewCtrl())
                         pools->Replace_EjectDisk(payload);
                 });
}

void MainWindows::showReplaceStep2(const UserInfo& payload)
{
    Alerts::open(this, QMessageBox::Information, QStringLiteral("Disk Replacement – Step 2"),
                 QStringLiteral("Disconnect the Thunderbolt cable and then click OK to continue."),
                 {QStringLiteral("OK"), QStringLiteral("Cancel")}, [this, payload](int button) {
                     if (button == 0)
                         context_.center->post(Notifications::ReplaceStep3, nullptr, payload);
                     else
                         replaceEndedEarly();
                 });
}

void MainWindows::showReplaceStep3(const UserInfo& payload)
{
    // A bay that cannot be told is not named: the user knows which disk failed.
    const QString which = payload.value(ReplaceWorkflow::BayKey).isEmpty()
                              ? QStringLiteral("Tarnwell does not know which bay holds %1. Replace that disk.")
                                    .arg(payload.value(Key::diskName))
                              : QStringLiteral("Replace the disk in %1.").arg(payload.value(Key::diskSlot));
    Alerts::open(this, QMessageBox::Information, QStringLiteral("Disk Replacement – Step 3"),
                 which + QStringLiteral(" When done, reconnect the Thunderbolt cable "
                                        "and then click OK to start rebuilding the RAID set."),
                 {QStringLiteral("OK"), QStringLiteral("Cancel")}, [this, payload](int button) {
                     if (button == 0)
                         QTimer::singleShot(1000, this, [this, payload] { replaceDisk(payload); });
                     else
                         replaceEndedEarly();
                 });
}

void MainWindows::replaceEndedEarly()
{
    // Step 1 ejected the pool; the list must not go on showing it mounted.
    if (RaidTableViewController* pools = raidTableViewCtrl())
        pools->ShowRAIDInfo(true);
}

void MainWindows::replaceDisk(const UserInfo& payload)
{
    if (RaidTableViewController* pools = raidTableViewCtrl())
        pools->ReplaceRAIDDisk(payload);
}

void MainWindows::Help()
{
    const QUrl guide = HelpPages::guideUrl();
    if (guide.isEmpty()) {
        Log::write(QStringLiteral("User guide not found"));
        Alerts::open(this, QMessageBox::Warning, tr("The user guide could not be found"),
                     tr("Reinstall Tarnwell to restore its user guide."));
        return;
    }
    QDesktopServices::openUrl(guide);
}
