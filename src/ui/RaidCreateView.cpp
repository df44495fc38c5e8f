#include "ui/RaidCreateView.h"

#include "ui/RaidTableViewController.h"
#include "ui_RaidCreateView.h"

#include <QVBoxLayout>

RaidCreateView::RaidCreateView(AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context), ui(std::make_unique<Ui::RaidCreateView>())
{
    ui->setupUi(this);
}

RaidCreateView::~RaidCreateView() = default;

QWidget* RaidCreateView::RaidView() const
{
    return ui->RaidView;
}

void RaidCreateView::loadView()
{
    if (!raidTableViewCtrl_)
        initRaidTableView();
}

void RaidCreateView::initRaidTableView()
{
    if (raidTableViewCtrl_)
        return;
    raidTableViewCtrl_ = new RaidTableViewController(context_, ui->RaidView);
    raidTableViewCtrl_->setHasOpenZFS(hasOpenZFS_);
    raidTableViewCtrl_->setZpoolPath(zpoolPath_);
    raidTableViewCtrl_->setZFSInstalled(ZFSInstalled_);
    ui->RaidView->layout()->addWidget(raidTableViewCtrl_);
    raidTableViewCtrl_->loadView();
}
