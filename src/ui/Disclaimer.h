#pragma once
#include <QDialog>

#include <memory>

namespace Ui {
class Disclaimer;
}

// The disclaimer window: fixed text from its layout. Closing only hides it.
// A dialog, so that screen readers announce it as one and Escape closes it.
class Disclaimer : public QDialog {
    Q_OBJECT
public:
    explicit Disclaimer(QWidget* parent = nullptr);
    ~Disclaimer() override;
    void showWindow();

private:
    std::unique_ptr<Ui::Disclaimer> ui;
};
