#include "ui/Disclaimer.h"

#include "ui_Disclaimer.h"

Disclaimer::Disclaimer(QWidget* parent) : QDialog(parent), ui(std::make_unique<Ui::Disclaimer>())
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
