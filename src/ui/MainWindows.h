#pragma once
#include "devices/VolumeWatch.h"
#include "ui/AppContext.h"

#include <QMainWindow>

#include <functional>
#include <memory>

class DesktopNotifier;
class PoolWatch;
class QLabel;
class RaidCreateView;
class SerialWorker;
class RaidTableViewController;
class TBInfoWindow;
namespace Ui {
class MainWindows;
}

// The main window: start-up, the OpenZFS check, the embedded pool view, the
// volume watch and the hub that routes every application notification.
class MainWindows : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindows(AppContext& context, QWidget* parent = nullptr);
    ~MainWindows() override;

    // Title, OpenZFS check, labels and pool view, volume watch, hub; once.
    // The check's probes run on the worker: the rest follows when they are done.
    void startWindows();
    bool isStarted() const { return started_ && !checking_; }
    // Runs the probes on the worker; `then` runs once the results are in.
    void checkOpenZFS(std::function<void()> then = {});
    void ShowNoOpenZFS();
    void ShowZFSInstallFail();
    void initWindowItems();
    void initRaidCreateView();
    void monitorVolumesDevice();
    void monitorEvent();

    void EventChange(const Notification& notification);
    void volumesChanged(VolumeWatch::Change change);
    // Rescans the enclosures of the device window.
    virtual void rescanTB();

    void DeleteRAIDConfirm(const UserInfo& payload);
    void showReplaceStep1(const UserInfo& payload);
    void showReplaceStep2(const UserInfo& payload);
    void showReplaceStep3(const UserInfo& payload);
    void replaceDisk(const UserInfo& payload);
    void replaceEndedEarly();
    // Opens the user guide that ships with Tarnwell.
    void Help();
    // Asks how often the health watch reads the pools.
    void editWatchInterval();
    // Brings the window forward with that pool selected (a notification was clicked).
    void showPool(const QString& pool);
    PoolWatch* poolWatch() const { return poolWatch_; }

    TBInfoWindow* tbInfoWindow();  // created on first use
    bool hasTBInfoWindow() const { return tbInfoWindow_ != nullptr; }
    RaidCreateView* RaidCreateViewCtrl() const { return raidCreateViewCtrl_; }
    RaidTableViewController* raidTableViewCtrl() const;

    SerialWorker& worker() const { return *context_.worker; }
    bool hasOpenZFS() const { return hasOpenZFS_; }
    bool ZFSInstalled() const { return ZFSInstalled_; }
    QString zpoolPath() const { return zpoolPath_; }
    QLabel* VerLabel() const;
    QLabel* CopyRightLabel() const;

signals:
    void howToUseRequested();
    void openZFSRequested();
    void disclaimerRequested();

protected:
    // The hub's actions on the device window.
    virtual void TBDevPopupChange();
    virtual void CreateRAIDFinish();
    virtual void NoVolumeNameOfRAID();
    virtual void ShowCreateRaidWindows();

private:
    void scheduleRescan();

    AppContext& context_;
    std::unique_ptr<Ui::MainWindows> ui;
    bool hasOpenZFS_ = false;
    bool ZFSInstalled_ = false;
    QString zpoolPath_;
    bool started_ = false;
    bool checking_ = false;
    std::unique_ptr<SerialWorker> ownWorker_;  // when the context brings none
    RaidCreateView* raidCreateViewCtrl_ = nullptr;  // a child widget
    std::unique_ptr<TBInfoWindow> tbInfoWindow_;
    QList<quint64> observers_;
    std::unique_ptr<DesktopNotifier> ownNotifier_;  // when the context brings none
    PoolWatch* poolWatch_ = nullptr;                 // a child, once the pool view is loaded
};
