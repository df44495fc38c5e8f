#pragma once
#include "devices/VRLThunderboltInfo.h"
#include "ui/AppContext.h"

#include <QWidget>

#include <memory>
#include <optional>

class BusyIndicator;
class DiskEjector;
class DiskTableModel;
class SerialWorker;
class RaidCreator;
struct RaidCreateRequest;
class RunCMD;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
namespace Ui {
class DiskTableViewController;
}

// The create-RAID panel: pick an enclosure, its disks, a mode and a name,
// and create the pool. It never scans: the device window hands it the
// enclosures and, on a choice, the disks.
class DiskTableViewController : public QWidget {
    Q_OBJECT
public:
    static inline const QString PlaceholderEntry = QStringLiteral("Select an Varnelo Device");

    explicit DiskTableViewController(AppContext& context, QWidget* parent = nullptr);
    ~DiskTableViewController() override;

    QString zpoolPath() const { return zpoolPath_; }
    void setZpoolPath(const QString& path) { zpoolPath_ = path; }
    RunCMD& runCMD() { return *runCMD_; }
    RaidCreator& raidCreator() { return *creator_; }
    SerialWorker& worker() const { return *worker_; }

    // Enclosure pop-up and disk table.
    void updateTBDevPopUp(const TBList& enclosures);
    void selectTBDevPopup();
    void updateDiskInfo(const TBList& enclosures);
    void setDiskInfo(const std::optional<HddList>& disks);
    void ShowDiskList();
    void ChangeSelected();
    int numberOfRowsInTableView() const;

    // Pool creation and the advanced options. The check and the creation run
    // on the worker; a failure leaves the panel as it was, for another try.
    void CreateRAID();
    void UnMountDiskList();
    void clickEnable();
    void setFlagDefault();

    QLabel* TBDevLabel() const;
    QComboBox* TBDevPopup() const;
    QTableView* DiskListView() const;
    DiskTableModel* diskModel() const { return model_; }
    QLineEdit* RaidVolumeName() const;
    QComboBox* RaidModePopup() const;
    QPushButton* CreateBtn() const;
    QLabel* AdvanceLabel() const;
    QCheckBox* EnableCheckBox() const;
    QLabel* CmdLabel() const;
    QLabel* OptionLabel() const;
    QLineEdit* argTextFiled() const;
    QPushButton* DefaultBtn() const;
    QList<QWidget*> advancedOptionControls() const;
    bool isModeEntryEnabled(int index) const;

private:
    void viewDidLoad();
    void reloadTable();
    void applySelectionRules(int selectedCount);
    void setModeEntryEnabled(int index, bool enabled);
    HddList selectedDisks() const;
    void runCreate(const RaidCreateRequest& request);
    void updateCreateEnabled();

    std::unique_ptr<Ui::DiskTableViewController> ui;
    AppContext& context_;
    QString zpoolPath_;
    std::unique_ptr<RunCMD> runCMD_;
    std::unique_ptr<DiskEjector> ownEjector_;
    std::unique_ptr<RaidCreator> creator_;
    std::unique_ptr<SerialWorker> ownWorker_;
    SerialWorker* worker_ = nullptr;
    BusyIndicator* busy_ = nullptr;
    bool createWanted_ = false;  // what the selection rules last said
    DiskTableModel* model_ = nullptr;
    bool reloading_ = false;
    bool creating_ = false;
};
