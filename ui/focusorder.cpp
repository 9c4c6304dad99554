#include "focusorder.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QTabWidget>
#include <QWidget>

QWidget *focusableBefore(QWidget *widget)
{
    for (QWidget *w = widget->previousInFocusChain(); w && w != widget;
         w = w->previousInFocusChain()) {
        if (!widget->isAncestorOf(w) && (w->focusPolicy() & Qt::TabFocus))
            return w;
    }
    return nullptr;
}

QWidget *chainFocusAfter(QWidget *previous, QWidget *root)
{
    QWidget *last = previous;
    const auto chain = [&last](QWidget *next) {
        // Qt leaves the order alone when either end takes no focus.
        if (last)
            QWidget::setTabOrder(last, next);
        last = next;
    };
    if (root->focusPolicy() & Qt::TabFocus)
        chain(root);
    const auto *tabs = qobject_cast<QTabWidget *>(root);
    for (QWidget *w : root->findChildren<QWidget *>()) {
        QWidget *parent = w->parentWidget();
        const bool part = qobject_cast<QAbstractSpinBox *>(parent) ||
                          qobject_cast<QComboBox *>(parent) || (tabs && w == tabs->tabBar()) ||
                          (parent && parent->parentWidget() &&
                           qobject_cast<QAbstractScrollArea *>(parent->parentWidget()));
        if (!part && (w->focusPolicy() & Qt::TabFocus))
            chain(w);
    }
    return last;
}
