#include "ui/Disclaimer.h"

#include "ui_Disclaimer.h"

Disclaimer::Disclaimer(QWidget* parent) : QWidget(parent, Qt::Window), ui(std::make_unique<Ui::Disclaimer>())
{
    ui->setupUi(this);
}

Disclaimer::~Disclaimer() = default;

void Disclaimer::showWindow()
{
    show();
    raise();
    activateWindow();
}
