#include "sameform.h"

#include <QAbstractScrollArea>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>

namespace {

QString oneLine(QString text)
{
    return text.replace(u'\t', u' ').replace(u'\n', u' ');
}

// The kind to rebuild and its text; empty kind for a widget whose parts its parent makes.
std::pair<QString, QString> kindOf(const QWidget *w)
{
    if (const auto *label = qobject_cast<const QLabel *>(w))
        return {QStringLiteral("label"), label->text()};
    if (const auto *box = qobject_cast<const QCheckBox *>(w))
        return {QStringLiteral("check"), box->text()};
    if (const auto *button = qobject_cast<const QToolButton *>(w))
        return {QStringLiteral("tool"), button->text()};
    if (const auto *button = qobject_cast<const QPushButton *>(w))
        return {QStringLiteral("push"), button->text()};
    if (const auto *combo = qobject_cast<const QComboBox *>(w))
        return {QStringLiteral("combo"), combo->currentText()};
    if (const auto *edit = qobject_cast<const QLineEdit *>(w))
        return {QStringLiteral("edit"), edit->text()};
    if (qobject_cast<const QAbstractSpinBox *>(w))
        return {QStringLiteral("spin"), {}};
    if (const auto *group = qobject_cast<const QGroupBox *>(w))
        return {QStringLiteral("group"), group->title()};
    if (const auto *tabs = qobject_cast<const QTabBar *>(w)) {
        QStringList texts;
        for (int i = 0; i < tabs->count(); ++i)
            texts << tabs->tabText(i);
        return {QStringLiteral("tabs"), texts.join(u'|')};
    }
    if (const auto *bar = qobject_cast<const QMenuBar *>(w)) {
        QStringList texts;
        for (const QAction *action : bar->actions())
            texts << action->text();
        return {QStringLiteral("menu"), texts.join(u'|')};
    }
    if (qobject_cast<const QProgressBar *>(w))
        return {QStringLiteral("progress"), {}};
    if (qobject_cast<const QScrollBar *>(w))
        return {QStringLiteral("scrollbar"), {}};
    if (qobject_cast<const QAbstractScrollArea *>(w) && !qobject_cast<const QScrollArea *>(w))
        return {QStringLiteral("text"), {}};
    return {QStringLiteral("box"), {}};
}

bool makesItsParts(const QString &kind)
{
    return kind != QStringLiteral("box") && kind != QStringLiteral("group");
}

void describe(const QWidget *w, const QWidget *parent, int parentIndex, int &count, QString &out)
{
    for (const QObject *child : w->children()) {
        const auto *widget = qobject_cast<const QWidget *>(child);
        if (!widget || !widget->isVisible() || widget->isWindow())
            continue;
        const auto [kind, text] = kindOf(widget);
        const QPoint at = widget->mapTo(parent, QPoint());
        const int index = count++;
        out += QStringLiteral("%1\t%2\t%3\t%4\t%5\t%6\t%7\n")
                   .arg(parentIndex)
                   .arg(kind)
                   .arg(at.x())
                   .arg(at.y())
                   .arg(widget->width())
                   .arg(widget->height())
                   .arg(oneLine(text));
        if (!makesItsParts(kind))
            describe(widget, widget, index, count, out);
    }
}

} // namespace

QString describeForm(const QWidget *window)
{
    QString out =
        QStringLiteral("-1\twindow\t0\t0\t%1\t%2\t\n").arg(window->width()).arg(window->height());
    int count = 1;
    describe(window, window, 0, count, out);
    return out;
}
