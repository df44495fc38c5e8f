#pragma once
#include <QMessageBox>
#include <QStringList>

#include <functional>

namespace Alerts {
// A window-modal alert on `window`, opened with open() so the caller returns
// at once. Buttons are added in order; the first is the default. `done` gets
// the index of the chosen button (Escape or closing picks the last one).
// Confirmations that erase data make Cancel the default, so Enter keeps the data.
QMessageBox* open(QWidget* window, QMessageBox::Icon icon, const QString& text,
                  const QString& informativeText, const QStringList& buttons = {QStringLiteral("OK")},
                  std::function<void(int)> done = {}, int defaultButton = 0);
}  // namespace Alerts
