#pragma once
#include "ui/AppContext.h"

#include <QMainWindow>

#include <memory>

class DiskTableViewController;
class QPushButton;
class ThunderBoltMonitor;
class VRLScanDevice;

// The device window: hosts the create-RAID panel, owns the enclosure scanner
// and, once shown, the hot-plug monitor. Closing it only hides it.
class TBInfoWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit TBInfoWindow(AppContext& context, QWidget* parent = nullptr);
    ~TBInfoWindow() override;

    QString zpoolPath() const;
    void setZpoolPath(const QString& path);

    // Loads the window on first use (panel, monitor, first scan) and shows it.
    void showWindow();
    bool isLoaded() const;

    void rescanDevice();
    void TBDevPopupChange();
    void NoVolumeNameOfRAID();

    DiskTableViewController* diskTableViewCtrl() const;
    VRLScanDevice& ScanDevice();
    QPushButton* CancelBtn() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
