#include "wheelguard.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QEvent>

#include <algorithm>

namespace WheelGuard {

namespace {

class WheelFilter final : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Wheel)
            return false;
        const auto *control = static_cast<QWidget *>(watched);
        if (control->hasFocus())
            return false;
        // Handled here but not accepted: Qt then offers the step to the parents, up to the
        // scroll area.
        event->ignore();
        return true;
    }
};

} // namespace

void guard(QWidget *control)
{
    if (!qobject_cast<QComboBox *>(control) && !qobject_cast<QAbstractSpinBox *>(control))
        return;
    // A filter of its own per control, so it lives exactly as long; installing twice is a no-op.
    const QObjectList &children = control->children();
    if (std::any_of(children.cbegin(), children.cend(),
                    [](const QObject *child) { return dynamic_cast<const WheelFilter *>(child); }))
        return;
    // Wheel focus would let the first step over the control take focus and the value with it.
    control->setFocusPolicy(Qt::StrongFocus);
    control->installEventFilter(new WheelFilter(control));
}

void guardAll(QWidget *root)
{
    guard(root);
    for (QWidget *child : root->findChildren<QWidget *>())
        guard(child);
}

} // namespace WheelGuard
