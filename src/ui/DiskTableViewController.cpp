#include "ui/DiskTableViewController.h"

#include "ui_DiskTableViewController.h"

#include "base/Notifications.h"
#include "create/CreateCommand.h"
#include "create/DiskColumns.h"
#include "create/DiskList.h"
#include "create/DiskSelectionRules.h"
#include "create/RaidCreator.h"
#include "devices/DiskEjector.h"
#include "exec/RunCMD.h"
#include "pools/RaidListArray.h"
#include "pools/SerialWorker.h"
#include "ui/Alerts.h"
#include "ui/BusyIndicator.h"
#include "ui/DiskTableModel.h"
#include "ui/KeyboardOrder.h"
#include "zpool/ZpoolCreate.h"

#include <QHeaderView>
#include <QStandardItemModel>

#include <set>

DiskTableViewController::DiskTableViewController(AppContext& context, QWidget* parent)
    : QWidget(parent), ui(std::make_unique<Ui::DiskTableViewController>()), context_(context)
{
    ui->setupUi(this);
    model_ = new DiskTableModel(this);
    ui->DiskListView->setModel(model_);

    QHeaderView* header = ui->DiskListView->horizontalHeader();
    const std::pair<const QString&, int> widths[] = {
        {DiskColumns::Slot, 50},      {DiskColumns::Model, 175}, {DiskColumns::SN, 100},
        {DiskColumns::Available, 75}, {DiskColumns::DiskPath, 85}};
    for (const auto& [identifier, width] : widths)
        header->resizeSection(model_->columnOf(identifier), width);
    ui->DiskListView->verticalHeader()->setDefaultSectionSize(
        ui->DiskListView->fontMetrics().height() + 6);

    // The hidden advanced options keep their room, so the table does not
    // jump when the selection changes.
    for (QWidget* w : advancedOptionControls()) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }

    connect(ui->TBDevPopup, &QComboBox::activated, this, [this] { selectTBDevPopup(); });
    // Only a change the user makes runs the selection rules; reloads do not.
    connect(ui->DiskListView->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] {
                if (!reloading_)
                    ChangeSelected();
            });
    connect(ui->CreateBtn, &QPushButton::clicked, this, [this] { CreateRAID(); });
    // The box's state, however it changed (a click, a key, a screen reader).
    connect(ui->EnableCheckBox, &QCheckBox::toggled, this, [this] { clickEnable(); });
    connect(ui->DefaultBtn, &QPushButton::clicked, this, [this] { setFlagDefault(); });

    if (!context_.worker)
        ownWorker_ = std::make_unique<SerialWorker>();
    worker_ = context_.worker ? context_.worker : ownWorker_.get();
    busy_ = new BusyIndicator(*worker_, this);
    ui->deviceRow->addWidget(busy_);
    connect(worker_, &SerialWorker::busyChanged, this, [this] { updateCreateEnabled(); });
    KeyboardOrder::follow(this);

    viewDidLoad();
}

DiskTableViewController::~DiskTableViewController()
{
    worker_->forget(this);
}

void DiskTableViewController::updateCreateEnabled()
{
    // No second create, and none while another verb or a scan runs.
    ui->CreateBtn->setEnabled(createWanted_ && !creating_ && !worker_->isBusy());
}

void DiskTableViewController::viewDidLoad()
{
    DiskList::replace({});
    runCMD_ = std::make_unique<RunCMD>();
    DiskEjector* ejector = context_.diskEjector;
    if (!ejector) {
        ownEjector_ = std::make_unique<DiskEjector>();
        ejector = ownEjector_.get();
    }
    creator_ = std::make_unique<RaidCreator>(*runCMD_, *ejector, *context_.center);

    ui->TBDevLabel->setText(QStringLiteral("Varnelo Storage Device:"));
    ui->TBDevPopup->clear();
    ui->TBDevPopup->addItem(PlaceholderEntry);

    ui->RaidVolumeName->setEnabled(false);
    ui->RaidVolumeName->setReadOnly(true);
    ui->RaidVolumeName->setPlaceholderText(QStringLiteral("RAID Volumes Name"));

    ui->RaidModePopup->clear();
    ui->RaidModePopup->addItems(CreateCommand::ModeTitles);
    ui->RaidModePopup->setEnabled(false);

    ui->CmdLabel->setText(QStringLiteral("zpool"));
    ui->OptionLabel->setText(QStringLiteral("create"));
    ui->argTextFiled->setText(ZpoolCreate::DefaultOptionsText);
    ui->argTextFiled->setCursorPosition(0);

    for (QWidget* w : advancedOptionControls())
        w->setVisible(false);
    ui->DefaultBtn->setEnabled(false);
    createWanted_ = false;
    updateCreateEnabled();
}

void DiskTableViewController::updateTBDevPopUp(const TBList& enclosures)
{
    ui->TBDevPopup->clear();
    ui->TBDevPopup->addItem(PlaceholderEntry);
    // Same-model enclosures give entries with the same title; the position
    // tells them apart.
    for (const VRLThunderboltInfoPtr& enclosure : enclosures)
        ui->TBDevPopup->addItem(enclosure ? enclosure->moduleName.value_or(QString()) : QString());
    ui->TBDevPopup->setCurrentIndex(0);

    const qsizetype n = enclosures.size();
    ui->TBDevLabel->setText(n > 0 ? QStringLiteral("Varnelo Storage Device (%1) :").arg(n)
                                  : QStringLiteral("Varnelo Storage Device :"));
    updateDiskInfo(enclosures);
}

void DiskTableViewController::selectTBDevPopup()
{
    context_.center->post(Notifications::TBDevPopupChange);
}

void DiskTableViewController::updateDiskInfo(const TBList&)
{
    // Back to "no enclosure chosen". The typed name, the mode entries and the
    // advanced options stay as they are.
    ui->RaidVolumeName->setEnabled(false);
    ui->RaidVolumeName->setReadOnly(true);
    ui->RaidModePopup->setEnabled(false);
    createWanted_ = false;
    updateCreateEnabled();
    setDiskInfo(std::nullopt);
    reloadTable();
}

void DiskTableViewController::setDiskInfo(const std::optional<HddList>& disks)
{
    DiskList::replace(disks.value_or(HddList{}));
}

void DiskTableViewController::ShowDiskList()
{
    const bool hadSelection = ui->DiskListView->selectionModel()->hasSelection();
    reloadTable();
    // A reload leaves nothing selected; the controls must not go on offering
    // Create for disks that are no longer selected.
    if (hadSelection)
        applySelectionRules(0);
}

void DiskTableViewController::reloadTable()
{
    reloading_ = true;
    ui->DiskListView->clearSelection();
    model_->reload(DiskList::current(), RaidListArray::current());
    reloading_ = false;
}

int DiskTableViewController::numberOfRowsInTableView() const
{
    return model_->rowCount();
}

void DiskTableViewController::ChangeSelected()
{
    applySelectionRules(int(ui->DiskListView->selectionModel()->selectedRows().size()));
}

void DiskTableViewController::applySelectionRules(int selectedCount)
{
    const DiskSelectionRules rules = DiskSelectionRules::forCount(selectedCount);
    ui->RaidVolumeName->setEnabled(rules.nameEditable);
    ui->RaidVolumeName->setReadOnly(!rules.nameEditable);
    if (rules.presetMode)
        ui->RaidModePopup->setCurrentIndex(*rules.presetMode);
    if (rules.modePopupEnabled)
        ui->RaidModePopup->setEnabled(*rules.modePopupEnabled);
    for (int i = 0; i < int(rules.modeEntryEnabled.size()); ++i)
        setModeEntryEnabled(i, rules.modeEntryEnabled[size_t(i)]);
    createWanted_ = rules.createEnabled;
    updateCreateEnabled();

    for (QWidget* w : advancedOptionControls())
        w->setVisible(rules.advancedVisible);
    // Editing the options needs the check box switched off and on again.
    ui->argTextFiled->setEnabled(false);
    ui->argTextFiled->setReadOnly(!ui->EnableCheckBox->isChecked());
}

void DiskTableViewController::setModeEntryEnabled(int index, bool enabled)
{
    if (auto* items = qobject_cast<QStandardItemModel*>(ui->RaidModePopup->model()))
        if (QStandardItem* item = items->item(index)) {
            item->setEnabled(enabled);
            // The list's accessible cells do not report the item's enabled state.
            item->setAccessibleDescription(enabled ? QString() : tr("unavailable for the disks selected"));
        }
}

bool DiskTableViewController::isModeEntryEnabled(int index) const
{
    const auto* items = qobject_cast<const QStandardItemModel*>(ui->RaidModePopup->model());
    const QStandardItem* item = items ? items->item(index) : nullptr;
    return item && item->isEnabled();
}

HddList DiskTableViewController::selectedDisks() const
{
    // Row order, not the order of the clicks.
    std::set<int> rows;
    for (const QModelIndex& index : ui->DiskListView->selectionModel()->selectedRows())
        rows.insert(index.row());
    HddList disks;
    for (int row : rows)
        if (row < model_->disks().size())
            disks << model_->disks().at(row);
    return disks;
}

void DiskTableViewController::CreateRAID()
{
    if (creating_)
        return;
    RaidCreateRequest request;
    request.name = ui->RaidVolumeName->text();
    request.disks = selectedDisks();
    request.modeTitle = ui->RaidModePopup->currentText();
    request.useEditedOptions = ui->EnableCheckBox->isChecked();
    request.optionsText = ui->argTextFiled->text();
    creator_->setZpoolPath(zpoolPath_);

    using V = RaidCreator::Check::Verdict;
    const auto show = [this](const RaidCreator::Check& check) {
        Alerts::open(window(), QMessageBox::Warning, check.title, check.text);
    };
    const RaidCreator::Check first = creator_->checkRequest(request);
    if (first.verdict == V::NoName) {
        creator_->create(request);  // posts "NoVolumeNameOfRAID" and runs nothing
        return;
    }
    if (first.verdict != V::Go) {
        show(first);
        return;
    }
    creating_ = true;
    updateCreateEnabled();
    worker_->run<RaidCreator::Check>(
        this, tr("Reading what the disks hold…"), [this, request] { return creator_->checkDisks(request); },
        [this, request, show](const RaidCreator::Check& check) {
            switch (check.verdict) {
            case V::Go:
                runCreate(request);
                return;
            case V::Canceled:
                // As when the creation's own authorization is dismissed: nothing made.
                context_.center->post(Notifications::ShowRAIDInfo);
                context_.center->post(Notifications::CreateRAIDFinish);
                break;
            case V::Confirm:
                Alerts::open(window(), QMessageBox::Warning, check.title, check.text,
                             {QStringLiteral("Erase"), QStringLiteral("Cancel")},
                             [this, request](int button) {
                                 if (button == 0) {
                                     runCreate(request);
                                 } else {
                                     creating_ = false;
                                     updateCreateEnabled();
                                 }
                             },
                             /*defaultButton*/ 1);
                return;
            case V::NoName:
            case V::BadName:
            case V::Refused:
            case V::Unknown:
                show(check);
                break;
            }
            creating_ = false;
            updateCreateEnabled();
        });
}

void DiskTableViewController::runCreate(const RaidCreateRequest& request)
{
    creating_ = true;
    updateCreateEnabled();
    worker_->run<RaidCreator::Result>(
        this, tr("Creating %1…").arg(request.name), [this, request] { return creator_->create(request); },
        [this, name = request.name](const RaidCreator::Result& r) {
            creating_ = false;
            updateCreateEnabled();
            using O = RaidCreator::Outcome;
            if (r.outcome == O::Failed) {
                // The panel stays as the user left it, to correct and try again.
                Alerts::open(window(), QMessageBox::Warning, tr("The RAID set %1 could not be created").arg(name),
                             r.zpool.report());
            } else if (r.outcome == O::Created && r.ownership) {
                Alerts::open(window(), QMessageBox::Warning, tr("%1 was created, but is not yours yet").arg(name),
                             r.ownership->report() +
                                 tr("\n\nIts files belong to the administrator until their owner is changed."),
                             {tr("OK")},
                             [this](int) { context_.center->post(Notifications::CreateRAIDFinish); });
            }
        });
}

void DiskTableViewController::UnMountDiskList()
{
    if (const std::optional<QStringList> paths = RaidCreator::devicePaths(selectedDisks()))
        creator_->ejectDisks(*paths);
}

void DiskTableViewController::clickEnable()
{
    const bool on = ui->EnableCheckBox->checkState() != Qt::Unchecked;
    ui->argTextFiled->setEnabled(on);
    ui->argTextFiled->setReadOnly(!on);
    ui->DefaultBtn->setEnabled(on);
}

void DiskTableViewController::setFlagDefault()
{
    ui->argTextFiled->setText(ZpoolCreate::DefaultOptionsText);
    ui->argTextFiled->setCursorPosition(0);
    ui->argTextFiled->setCursorPosition(0);
}

QLabel* DiskTableViewController::TBDevLabel() const { return ui->TBDevLabel; }
QComboBox* DiskTableViewController::TBDevPopup() const { return ui->TBDevPopup; }
QTableView* DiskTableViewController::DiskListView() const { return ui->DiskListView; }
QLineEdit* DiskTableViewController::RaidVolumeName() const { return ui->RaidVolumeName; }
QComboBox* DiskTableViewController::RaidModePopup() const { return ui->RaidModePopup; }
QPushButton* DiskTableViewController::CreateBtn() const { return ui->CreateBtn; }
QLabel* DiskTableViewController::AdvanceLabel() const { return ui->AdvanceLabel; }
QCheckBox* DiskTableViewController::EnableCheckBox() const { return ui->EnableCheckBox; }
QLabel* DiskTableViewController::CmdLabel() const { return ui->CmdLabel; }
QLabel* DiskTableViewController::OptionLabel() const { return ui->OptionLabel; }
QLineEdit* DiskTableViewController::argTextFiled() const { return ui->argTextFiled; }
QPushButton* DiskTableViewController::DefaultBtn() const { return ui->DefaultBtn; }

QList<QWidget*> DiskTableViewController::advancedOptionControls() const
{
    return {ui->AdvanceLabel, ui->EnableCheckBox, ui->CmdLabel,
            ui->OptionLabel,  ui->argTextFiled,   ui->DefaultBtn};
}
