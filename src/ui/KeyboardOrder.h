#pragma once
#include <QList>

class QWidget;

// Tab order that follows the layouts: top to bottom, left to right as the
// widgets sit in their layouts, so a control added to a row later finds its
// place without a hand-kept list. Tables take one stop; arrows move inside.
namespace KeyboardOrder {
// The focusable widgets under `root` in layout order.
QList<QWidget*> inLayoutOrder(QWidget* root);
// Chains them with QWidget::setTabOrder; call again after adding controls.
void follow(QWidget* root);
}  // namespace KeyboardOrder
