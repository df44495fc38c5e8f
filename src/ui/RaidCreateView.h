#pragma once
#include "ui/AppContext.h"

#include <QWidget>

#include <memory>

class RaidTableViewController;
namespace Ui {
class RaidCreateView;
}

// The view the main window embeds: it hosts the pool view and hands it the
// OpenZFS check's results before the pool view loads.
class RaidCreateView : public QWidget {
    Q_OBJECT
public:
    explicit RaidCreateView(AppContext& context, QWidget* parent = nullptr);
    ~RaidCreateView() override;

    bool hasOpenZFS() const { return hasOpenZFS_; }
    void setHasOpenZFS(bool value) { hasOpenZFS_ = value; }
    bool ZFSInstalled() const { return ZFSInstalled_; }
    void setZFSInstalled(bool value) { ZFSInstalled_ = value; }
    QString zpoolPath() const { return zpoolPath_; }
    void setZpoolPath(const QString& path) { zpoolPath_ = path; }

    // Set the three values first: loading embeds the pool view, which takes
    // them and runs its first refresh.
    void loadView();
    bool isViewLoaded() const { return raidTableViewCtrl_ != nullptr; }
    void initRaidTableView();

    QWidget* RaidView() const;
    RaidTableViewController* raidTableViewCtrl() const { return raidTableViewCtrl_; }
    RaidTableViewController* raidTableViewController() const { return raidTableViewCtrl_; }

private:
    AppContext& context_;
    std::unique_ptr<Ui::RaidCreateView> ui;
    bool hasOpenZFS_ = false;
    bool ZFSInstalled_ = false;
    QString zpoolPath_;
    RaidTableViewController* raidTableViewCtrl_ = nullptr;  // a child widget
};
