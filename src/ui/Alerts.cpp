#include "ui/Alerts.h"

#include <QLabel>
#include <QPushButton>

QMessageBox* Alerts::open(QWidget* window, QMessageBox::Icon icon, const QString& text,
                          const QString& informativeText, const QStringList& buttons,
                          std::function<void(int)> done, int defaultButton)
{
    auto* box = new QMessageBox(window);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    box->setIcon(icon);
    box->setText(text);
    box->setInformativeText(informativeText);
    box->setAccessibleName(text);
    // Without a floor the long sentences wrap into a narrow column.
    if (auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setMinimumWidth(340);
    QList<QAbstractButton*> added;
    for (int i = 0; i < buttons.size(); ++i) {
        const auto role = i == 0 ? QMessageBox::AcceptRole : QMessageBox::RejectRole;
        added << box->addButton(buttons.at(i), role);
    }
    if (!added.isEmpty()) {
        box->setDefaultButton(qobject_cast<QPushButton*>(added.value(defaultButton, added.first())));
        box->setEscapeButton(added.last());
    }
    QObject::connect(box, &QMessageBox::finished, box, [box, added, done](int) {
        if (done) {
            const int index = int(added.indexOf(box->clickedButton()));
            done(index < 0 ? int(added.size()) - 1 : index);
        }
    });
    box->open();
    return box;
}
