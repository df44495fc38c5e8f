#pragma once
#include <QWidget>

#include <memory>

namespace Ui {
class Disclaimer;
}

// The disclaimer window: fixed text from its layout. Closing only hides it.
class Disclaimer : public QWidget {
    Q_OBJECT
public:
    explicit Disclaimer(QWidget* parent = nullptr);
    ~Disclaimer() override;
    void showWindow();

private:
    std::unique_ptr<Ui::Disclaimer> ui;
};
