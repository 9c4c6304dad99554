// Velunor's first frame rebuilt from plain Qt widgets (see sameform.h), started and timed by
// bench_window like the other two windows. The form's file is the first argument.
#include "firstframe.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QTabBar>
#include <QToolButton>

namespace {

QWidget *make(const QString &kind, const QString &text, QWidget *parent)
{
    const QStringList texts = text.split(u'|', Qt::SkipEmptyParts);
    if (kind == QStringLiteral("label"))
        return new QLabel(text, parent);
    if (kind == QStringLiteral("check"))
        return new QCheckBox(text, parent);
    if (kind == QStringLiteral("push"))
        return new QPushButton(text, parent);
    if (kind == QStringLiteral("tool")) {
        auto *button = new QToolButton(parent);
        button->setText(text);
        return button;
    }
    if (kind == QStringLiteral("combo")) {
        auto *combo = new QComboBox(parent);
        combo->addItem(text);
        return combo;
    }
    if (kind == QStringLiteral("edit"))
        return new QLineEdit(text, parent);
    if (kind == QStringLiteral("spin"))
        return new QSpinBox(parent);
    if (kind == QStringLiteral("group"))
        return new QGroupBox(text, parent);
    if (kind == QStringLiteral("tabs")) {
        auto *tabs = new QTabBar(parent);
        for (const QString &tab : texts)
            tabs->addTab(tab);
        return tabs;
    }
    if (kind == QStringLiteral("menu")) {
        auto *bar = new QMenuBar(parent);
        for (const QString &menu : texts)
            bar->addMenu(menu);
        return bar;
    }
    if (kind == QStringLiteral("progress"))
        return new QProgressBar(parent);
    if (kind == QStringLiteral("scrollbar"))
        return new QScrollBar(parent);
    if (kind == QStringLiteral("text"))
        return new QPlainTextEdit(parent);
    return new QWidget(parent);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstFrameProbe probe;
    app.installEventFilter(&probe);
    QFile file(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    QList<QWidget *> made;
    QWidget window;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QStringList f = QString::fromUtf8(line).split(u'\t');
        if (f.size() < 7)
            continue;
        const int parent = f[0].toInt();
        QWidget *w = parent < 0 ? &window : make(f[1], f[6], made.value(parent, &window));
        w->setGeometry(f[2].toInt(), f[3].toInt(), f[4].toInt(), f[5].toInt());
        made << w;
    }
    window.show();
    return app.exec();
}
