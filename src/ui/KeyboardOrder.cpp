#include "ui/KeyboardOrder.h"

#include <QAbstractItemView>
#include <QLayout>
#include <QWidget>

namespace KeyboardOrder {
namespace {
void collect(QLayout* layout, QList<QWidget*>& out);

void visit(QWidget* w, QList<QWidget*>& out)
{
    if (auto* view = qobject_cast<QAbstractItemView*>(w))
        view->setTabKeyNavigation(false);  // else Tab walks the cells and never leaves
    if (w->focusPolicy() & Qt::TabFocus)
        out << w;
    if (w->layout())
        collect(w->layout(), out);
}

void collect(QLayout* layout, QList<QWidget*>& out)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (QWidget* w = item->widget())
            visit(w, out);
        else if (QLayout* inner = item->layout())
            collect(inner, out);
    }
}
}  // namespace

QList<QWidget*> inLayoutOrder(QWidget* root)
{
    QList<QWidget*> out;
    if (root && root->layout())
        collect(root->layout(), out);
    return out;
}

void follow(QWidget* root)
{
    const QList<QWidget*> order = inLayoutOrder(root);
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order.at(i - 1), order.at(i));
}
}  // namespace KeyboardOrder
