#pragma once
#include "devices/VRLHddInfo.h"
#include "pools/PoolViewRules.h"
#include "ui/AppContext.h"
#include "zpool/RaidInfo.h"

#include <QWidget>

#include <memory>

class QAbstractItemModel;
class QPushButton;
class QTableView;
class RaidListModel;
class RaidStatusModel;
class VRLScanDevice;
class ZpoolCMD;
namespace Ui {
class RaidTableViewController;
}

// The pool view: the pool list, the member table of the selected pool and the
// pool actions. Everything here runs on the GUI thread; a worker's result
// that arrives elsewhere is handed over before it touches a list or a widget.
class RaidTableViewController : public QWidget {
    Q_OBJECT
public:
    explicit RaidTableViewController(AppContext& context, QWidget* parent = nullptr);
    ~RaidTableViewController() override;

    // Set by the creator before loadView().
    bool hasOpenZFS() const { return hasOpenZFS_; }
    void setHasOpenZFS(bool value) { hasOpenZFS_ = value; }
    bool ZFSInstalled() const { return ZFSInstalled_; }
    void setZFSInstalled(bool value) { ZFSInstalled_ = value; }
    QString zpoolPath() const { return zpoolPath_; }
    void setZpoolPath(const QString& path) { zpoolPath_ = path; }

    // Creates the worker and the scanner, sets the buttons and runs the first
    // refresh; once.
    void loadView();
    bool isViewLoaded() const { return loaded_; }

    void ShowRAIDInfo(bool includeEjected);
    void ReleaseInfo(const UserInfo& result);
    void RaidListSelectChange();
    void RaidStatusSelectChange();

    // Button handlers; all but RAIDDelete and ReplaceRAIDDisk do nothing
    // while the OpenZFS gate is closed.
    void New();
    void Update();
    void DeleteRAID();
    void EjectRAID();
    void MountRAID();
    void RAIDDelete(const QString& poolName);  // the pool the confirmation named
    void Detach();
    void OnLine();
    void ReplaceRAID();
    void Replace_EjectDisk(const UserInfo& payload);  // the payload step 1 showed
    void ReplaceRAIDDisk(const UserInfo& payload);

    ZpoolCMD* zpoolCmd() const { return zpoolCmd_.get(); }
    VRLScanDevice* ScanDevice() const { return scanDevice_.get(); }
    RaidListPtr raidList() const;
    RaidStatusList RaidStateArray() const;
    RaidListModel* raidListModel() const { return listModel_; }
    RaidStatusModel* raidStatusModel() const { return statusModel_; }

    QTableView* RaidListView() const;
    QTableView* RaidStatusView() const;
    QPushButton* NewBtn() const;
    QPushButton* UpdateBtn() const;
    QPushButton* DeleteBtn() const;
    QPushButton* EjectBtn() const;
    QPushButton* MountBtn() const;
    QPushButton* ReplaceBtn() const;
    QPushButton* DetachBtn() const;
    QPushButton* OnlineBtn() const;

public slots:
    void selectedListItem();
    void selectedStatusItem();

private:
    void viewDidLoad();
    bool gateOpen() const { return hasOpenZFS_ && ZFSInstalled_; }
    bool onGuiThread() const;
    RaidInfoPtr selectedPool() const;
    RaidStatusPtr selectedMember() const;
    void apply(const PoolViewRules::ButtonStates& states);
    void reloadPoolList(RaidListPtr list);
    void replaceOnto(const UserInfo& payload, const VRLHddInfoPtr& disk);
    void setupTable(QTableView* view, QAbstractItemModel* model, const QList<int>& widths);

    AppContext& context_;
    std::unique_ptr<Ui::RaidTableViewController> ui;
    bool hasOpenZFS_ = false;
    bool ZFSInstalled_ = false;
    QString zpoolPath_;
    bool loaded_ = false;
    bool reloading_ = false;
    std::unique_ptr<ZpoolCMD> zpoolCmd_;
    std::unique_ptr<VRLScanDevice> scanDevice_;
    RaidListModel* listModel_ = nullptr;
    RaidStatusModel* statusModel_ = nullptr;
};
