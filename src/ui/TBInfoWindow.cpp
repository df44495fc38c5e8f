#include "ui/TBInfoWindow.h"

#include "ui_TBInfoWindow.h"

#include "devices/ThunderBoltMonitor.h"
#include "devices/VRLScanDevice.h"
#include "pools/SerialWorker.h"
#include "ui/DiskTableViewController.h"
#include "ui/KeyboardOrder.h"

#include <QComboBox>
#include <QShortcut>
#include <QMessageBox>
#include <QVBoxLayout>

namespace {
const QString ScanReset = QStringLiteral("RADade");
}

struct TBInfoWindow::Impl {
    explicit Impl(AppContext& c)
        : context(c),
          registry(c.registry ? *c.registry : *(ownRegistry = std::make_unique<Registry>())),
          scanner(registry, c.dfPath),
          worker(c.worker ? *c.worker : *(ownWorker = std::make_unique<SerialWorker>()))
    {
    }

    void initDiskTableView();
    void initWindowItems(TBInfoWindow& window);

    AppContext& context;
    // Without a registry there is nothing to find; an empty one says so.
    std::unique_ptr<Registry> ownRegistry;
    Registry& registry;
    QString zpoolPath;
    VRLScanDevice scanner;  // used on the worker thread
    std::unique_ptr<SerialWorker> ownWorker;
    SerialWorker& worker;
    std::unique_ptr<ThunderBoltMonitor> monitor;
    std::unique_ptr<Ui::TBInfoWindow> ui;
    DiskTableViewController* panel = nullptr;  // owned by DiskView
    // The enclosures the pop-up was last built from, entry k = element k-1,
    // and the latest scan's.
    TBList shown;
    TBList latest;
};

TBInfoWindow::TBInfoWindow(AppContext& context, QWidget* parent)
    : QMainWindow(parent), d(std::make_unique<Impl>(context))
{
    // Closing hides the window. While it is open Tarnwell keeps running, even
    // with the main window closed.
}

TBInfoWindow::~TBInfoWindow()
{
    d->worker.forget(this);
}

QString TBInfoWindow::zpoolPath() const
{
    return d->zpoolPath;
}

void TBInfoWindow::setZpoolPath(const QString& path)
{
    d->zpoolPath = path;
    if (d->panel)
        d->panel->setZpoolPath(path);
}

bool TBInfoWindow::isLoaded() const
{
    return d->ui != nullptr;
}

void TBInfoWindow::showWindow()
{
    if (!isLoaded()) {
        d->ui = std::make_unique<Ui::TBInfoWindow>();
        d->ui->setupUi(this);
        // The panel must exist before the first scan fills it.
        d->initDiskTableView();
        connect(d->ui->CancelBtn, &QPushButton::clicked, this, &QWidget::close);
        // As in a dialog: Escape leaves without creating anything. A shortcut,
        // so the combo boxes and the table cannot swallow the key.
        connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this, &QWidget::close);
        KeyboardOrder::follow(d->ui->centralwidget);
        d->panel->TBDevPopup()->setFocus();  // the first choice to make
        d->initWindowItems(*this);
    }
    show();
    raise();
    activateWindow();
}

void TBInfoWindow::Impl::initDiskTableView()
{
    if (!panel) {
        panel = new DiskTableViewController(context, ui->DiskView);
        auto* layout = new QVBoxLayout(ui->DiskView);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(panel);
    }
    panel->setZpoolPath(zpoolPath);
    panel->setMinimumSize(600, 300);
    ui->DiskView->setMinimumSize(600, 300);
}

void TBInfoWindow::Impl::initWindowItems(TBInfoWindow& window)
{
    // Hot-plug monitoring starts with the first showing, not with the program.
    monitor = std::make_unique<ThunderBoltMonitor>(registry, *context.center);
    monitor->MonitorInit();
    window.rescanDevice();
}

void TBInfoWindow::rescanDevice()
{
    d->worker.run<TBList>(
        this, tr("Looking for enclosures…"),
        [this] {
            d->scanner.resetArray(ScanReset);
            d->scanner.scanTBDevice();
            return d->scanner.tbArray();
        },
        [this](const TBList& found) {
            d->latest = found;
            if (!d->panel)
                return;
            d->shown = found;
            d->panel->updateTBDevPopUp(d->shown);
        });
}

void TBInfoWindow::TBDevPopupChange()
{
    if (!d->panel)
        return;
    const int k = d->panel->TBDevPopup()->currentIndex();
    if (k <= 0 || k > d->shown.size())
        return;
    VRLThunderboltInfoPtr chosen = d->shown.at(k - 1);
    // Prefer the scanner's latest record of that same enclosure, should the
    // scanner have run again since the pop-up was built.
    const TBList& latest = d->latest;
    if (k <= latest.size() && latest.at(k - 1) && chosen && latest.at(k - 1)->tbPath == chosen->tbPath)
        chosen = latest.at(k - 1);
    d->panel->setDiskInfo(chosen ? chosen->hddArray : HddList{});
    d->panel->ShowDiskList();
}

void TBInfoWindow::NoVolumeNameOfRAID()
{
    auto* alert = new QMessageBox(QMessageBox::Warning, QStringLiteral("Can`t Create the RAID"),
                                  QStringLiteral("Can`t Create the RAID"), QMessageBox::Ok, this);
    alert->setInformativeText(QStringLiteral("There hasn`t volumes name for RAID to crate."));
    alert->setWindowModality(Qt::WindowModal);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->open();
}

DiskTableViewController* TBInfoWindow::diskTableViewCtrl() const
{
    return d->panel;
}

VRLScanDevice& TBInfoWindow::ScanDevice()
{
    return d->scanner;
}

QPushButton* TBInfoWindow::CancelBtn() const
{
    return d->ui ? d->ui->CancelBtn : nullptr;
}

