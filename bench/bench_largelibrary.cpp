// A library of 100,000 templates in the real window: one keystroke in a description, the
// save once typing pauses, and building the window over such a store.
#include "benchfigures.h"
#include "contentview.h"
#include "mainwindow.h"
#include "recordjson.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListView>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRecords = 100000;

QList<Template> makeTemplates(const QString &root, int count)
{
    QList<Template> list;
    list.reserve(count);
    const QDateTime base = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        Template t;
        t.id = QUuid::createUuid();
        t.name = QStringLiteral("Vorlage %1").arg((i * 7919) % count);
        t.type = templateTypeAllCases[size_t(i) % templateTypeAllCases.size()];
        t.filePath = root + QStringLiteral("/Velunor/Templates/") + rawValue(t.type) +
                     QStringLiteral("/vorlage-%1.dat").arg(i);
        t.isFavorite = i % 7 == 0;
        t.lastUsed = base.addSecs(-i * 37);
        t.description = QStringLiteral("Beschreibung für Vorlage %1 mit etwas Text.").arg(i);
        list.append(t);
    }
    return list;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const StoreLocation store(dir.path());
    QDir().mkpath(store.storeFolder());
    {
        QFile file(store.templatesFile());
        const QByteArray data = encodeRecords(makeTemplates(dir.path(), kRecords));
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            qFatal("cannot write the index");
    }
    ViewModelEnvironment env;
    env.store = store;
    env.converter = ConverterSearch({}, std::nullopt);

    QElapsedTimer clock;
    clock.start();
    MainWindow window(env);
    window.show();
    QCoreApplication::processEvents();
    print("window_init_100000_ms", double(clock.nsecsElapsed()) / 1e6);

    window.contentView()->setCurrentIndex(1);
    auto *list = window.findChild<QListView *>(QStringLiteral("templateList"));
    auto *editor = window.findChild<QPlainTextEdit *>(QStringLiteral("descriptionEdit"));
    list->setCurrentIndex(list->model()->index(kRecords / 2, 0));
    editor->setFocus();
    QCoreApplication::processEvents();

    // One keystroke: the key event, everything it sets off on this thread, and the repaint.
    std::vector<double> keys;
    for (int i = 0; i < 31; ++i) {
        clock.restart();
        QTest::keyClick(editor, char('a' + i % 26));
        QCoreApplication::processEvents();
        keys.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    print("description_keystroke_100000_ms", median(keys));

    // The save that follows a pause in typing, on the same thread.
    std::vector<double> saves;
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(editor, 'z');
        clock.restart();
        window.viewModel()->flushPendingSaves();
        saves.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    print("description_idle_save_100000_ms", median(saves));
    if (!window.viewModel()->logMessages().filter(QStringLiteral("Fehler")).isEmpty())
        qFatal("the store reported an error");
    return 0;
}
