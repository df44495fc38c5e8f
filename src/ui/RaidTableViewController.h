#pragma once
#include "devices/VRLHddInfo.h"
#include "pools/PoolViewRules.h"
#include "ui/AppContext.h"
#include "zpool/RaidInfo.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>

class BusyIndicator;
class QAbstractItemModel;
class QLabel;
class QProgressBar;
class QMessageBox;
class QPushButton;
class SerialWorker;
struct ToolResult;
class QTableView;
class RaidListModel;
class RaidStatusModel;
class VRLScanDevice;
class ZpoolCMD;
namespace Ui {
class RaidTableViewController;
}

// The pool view: the pool list, the member table of the selected pool and the
// pool actions. The tools of refreshes, actions and wizard steps run on the
// SerialWorker, one at a time; their results come back to the GUI thread,
// which alone touches the lists and widgets. While the worker is busy every
// button is off; a failure the user caused an action for is shown.
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

    // Refreshes off the GUI thread; `then` runs once the new list is shown.
    // Quietly: a background read, which leaves the buttons on and shows no busy line.
    void ShowRAIDInfo(bool includeEjected, std::function<void()> then = {}, bool quietly = false);
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
    // Starts a scrub of the selected pool, or stops the one it runs.
    void Verify();

    // Selects the pool of that name, if listed, and shows its members.
    void selectPool(const QString& name);
    // Shows the selected pool's members as the list now has them.
    void showSelectedPoolAgain();

    ZpoolCMD* zpoolCmd() const { return zpoolCmd_.get(); }
    SerialWorker& worker() const { return *worker_; }
    BusyIndicator* busyIndicator() const { return busy_; }
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
    QPushButton* VerifyBtn() const { return verifyBtn_; }
    QLabel* scanLabel() const { return scanLabel_; }
    QProgressBar* scanBar() const { return scanBar_; }

signals:
    // Each time the pool list shows a newly read list.
    void poolsShown(const RaidListPtr& pools);

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
    void updateEnabled();
    void reloadPoolList(RaidListPtr list);
    void replaceOnto(const UserInfo& payload, const VRLHddInfoPtr& disk);
    void foundNewDisk(const UserInfo& payload, const VRLHddInfoPtr& disk);
    // A verb on the worker; a failure shows `failedTitle` with zpool's words.
    void runVerb(const QString& verb, const QString& pool, const QString& disk, const QString& what,
                 const QString& failedTitle);
    void alertFailure(const QString& title, const ToolResult& result, const QString& after = {});
    void addScanLine();
    void showScan();
    void setupTable(QTableView* view, QAbstractItemModel* model, const QList<int>& widths);

    AppContext& context_;
    std::unique_ptr<Ui::RaidTableViewController> ui;
    bool hasOpenZFS_ = false;
    bool ZFSInstalled_ = false;
    QString zpoolPath_;
    bool loaded_ = false;
    bool reloading_ = false;
    std::unique_ptr<SerialWorker> ownWorker_;
    SerialWorker* worker_ = nullptr;
    BusyIndicator* busy_ = nullptr;
    std::map<QPushButton*, bool> wanted_;  // what the view rules last said, busy or not
    QPointer<QMessageBox> readAlert_;     // the open "could not be read" alert, if any
    // Used on the worker thread only, once loaded.
    std::unique_ptr<ZpoolCMD> zpoolCmd_;
    std::unique_ptr<VRLScanDevice> scanDevice_;
    RaidListModel* listModel_ = nullptr;
    RaidStatusModel* statusModel_ = nullptr;
    QPushButton* verifyBtn_ = nullptr;
    QLabel* scanLabel_ = nullptr;
    QProgressBar* scanBar_ = nullptr;
};
