// Renders both tabs to PNG over a small demo store, for the README.
// Usage: velunor-screenshots [--dark] [--minimum] [--suffix TEXT] OUTPUT_FOLDER
// Run with QT_QPA_PLATFORM=offscreen; the screen's size (and QT_SCALE_FACTOR) come from the
// environment, as scripts/screenshots.sh sets them. The window opens as on first start, or at
// its minimum size with --minimum.
#include "appsetup.h"
#include "atomicwrite.h"
#include "contentview.h"
#include "conversion/conversionview.h"
#include "conversion/moreoptionssection.h"

#include "mainwindow.h"
#include "recordjson.h"
#include <QToolButton>

#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QStyleFactory>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString error;
    if (!writeFileAtomically(path, content, &error))
        qFatal("cannot write %s: %s", qPrintable(path), qPrintable(error));
    return path;
}

Template demoTemplate(const StoreLocation &store, const QString &name, TemplateType type,
                      const QString &fileName, const QByteArray &content, bool favourite,
                      const QString &description)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = write(store.kindFolder(type) + u'/' + fileName, content);
    t.isFavorite = favourite;
    t.lastUsed = QDateTime(QDate(2026, 12, 4), QTime(9, 30));
    t.description = description;
    return t;
}

void writeDemoStore(const StoreLocation &store)
{
    const QList<Template> templates{
        demoTemplate(store, QStringLiteral("Firmenbericht"), TemplateType::Html,
                     QStringLiteral("firmenbericht.html"),
                     "<!DOCTYPE html>\n<html lang=\"de\">\n<head>\n  <meta charset=\"utf-8\">\n"
                     "  <title>$title$</title>\n$for(css)$  <link rel=\"stylesheet\" "
                     "href=\"$css$\">\n$endfor$</head>\n<body>\n<header>$title$</header>\n"
                     "$body$\n</body>\n</html>\n",
                     true, QStringLiteral("Hausvorlage für Berichte mit Kopfzeile.")),
        demoTemplate(store, QStringLiteral("Schlicht"), TemplateType::Html,
                     QStringLiteral("schlicht.html"), "<html><body>$body$</body></html>\n", false,
                     QString()),
        demoTemplate(store, QStringLiteral("Hausstil"), TemplateType::Css,
                     QStringLiteral("hausstil.css"),
                     "body { font-family: sans-serif; max-width: 42em; }\n", true, QString()),
        demoTemplate(store, QStringLiteral("Artikel"), TemplateType::Latex,
                     QStringLiteral("artikel.tex"),
                     "\\documentclass{article}\n\\begin{document}\n$body$\n\\end{document}\n",
                     false, QStringLiteral("Zweispaltiger Artikel.")),
        demoTemplate(store, QStringLiteral("Briefpapier"), TemplateType::DocxReference,
                     QStringLiteral("briefpapier.docx"), "PK", false, QString()),
    };
    write(store.templatesFile(), encodeRecords(templates));

    Preset preset;
    preset.id = QUuid::createUuid();
    preset.name = QStringLiteral("Bericht als HTML");
    preset.inputFormat = QStringLiteral("markdown");
    preset.outputFormat = QStringLiteral("html");
    preset.htmlTemplate = QStringLiteral("Firmenbericht");
    preset.cssFile = QStringLiteral("Hausstil");
    preset.tableOfContents = true;
    write(store.presetsFile(), encodeRecords(QList<Preset>{preset}));
}

// A dark desktop theme as a Linux session might hand it over.
QPalette darkPalette()
{
    QPalette p;
    const QColor window(0x2b, 0x2b, 0x2e);
    const QColor base(0x1e, 0x1e, 0x20);
    const QColor text(0xe8, 0xe8, 0xea);
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, window);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, QColor(0x3a, 0x3a, 0x3e));
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::ToolTipBase, base);
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, QColor(0x9a, 0x9a, 0xa0));
    p.setColor(QPalette::Highlight, QColor(0x35, 0x84, 0xe4));
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Link, QColor(0x78, 0xae, 0xed));
    p.setColor(QPalette::Light, QColor(0x4a, 0x4a, 0x4e));
    p.setColor(QPalette::Midlight, QColor(0x40, 0x40, 0x44));
    p.setColor(QPalette::Mid, QColor(0x30, 0x30, 0x33));
    p.setColor(QPalette::Dark, QColor(0x18, 0x18, 0x1a));
    p.setColor(QPalette::Shadow, Qt::black);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x80, 0x80, 0x84));
    return p;
}

void save(QWidget *window, const QString &path)
{
    QApplication::processEvents();
    QByteArray png;
    QBuffer buffer(&png);
    if (!buffer.open(QIODevice::WriteOnly) || !window->grab().save(&buffer, "PNG"))
        qFatal("cannot encode %s", qPrintable(path));
    write(path, png);
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    QStringList args = QApplication::arguments().mid(1);
    const bool dark = args.removeAll(QStringLiteral("--dark")) > 0;
    const bool minimum = args.removeAll(QStringLiteral("--minimum")) > 0;
    QString suffix;
    if (const qsizetype at = args.indexOf(QStringLiteral("--suffix"));
        at >= 0 && at + 1 < args.size()) {
        suffix = args.at(at + 1);
        args.remove(at, 2);
    }
    if (args.size() != 1) {
        std::fputs(
            "usage: velunor-screenshots [--dark] [--minimum] [--suffix TEXT] OUTPUT_FOLDER\n",
            stderr);
        return 2;
    }
    const QString out = args.first();
    QDir().mkpath(out);
    if (dark) {
        QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
        QApplication::setPalette(darkPalette());
    }

    QTemporaryDir dir;
    // A first start: no remembered window.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       dir.filePath(QStringLiteral("config")));
    const StoreLocation store(dir.filePath(QStringLiteral("data")));
    writeDemoStore(store);
    const QString input = write(dir.filePath(QStringLiteral("Dokumente/Quartalsbericht.md")),
                                "---\ntitle: Quartalsbericht\n---\n\n# Überblick\n\nUmsatz und "
                                "*Ausblick*.\n");

    SilentDialogs dialogs;
    ViewModelEnvironment env;
    env.store = store;
    env.dialogs = &dialogs;
    MainWindow window(env);
    if (minimum)
        window.resize(window.minimumSizeHint());
    window.show();
    PandocViewModel *vm = window.viewModel();
    QSignalSpy checked(vm, &PandocViewModel::pandocCheckFinished);
    checked.wait(10000);

    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setSelectedPreset(vm->presets().first());
    // A real run, so the log and the status line show what a user sees afterwards.
    QSignalSpy finished(vm, &PandocViewModel::conversionFinished);
    vm->convert();
    finished.wait(30000);
    save(&window, out + QStringLiteral("/conversion") + suffix + QStringLiteral(".png"));

    window.contentView()->setCurrentIndex(1);
    auto *list = window.findChild<QAbstractItemView *>(QStringLiteral("templateList"));
    if (list && list->model() && list->model()->rowCount() > 0)
        list->setCurrentIndex(list->model()->index(0, 0));
    save(&window, out + QStringLiteral("/templates") + suffix + QStringLiteral(".png"));

    if (suffix.isEmpty()) {
        // The further settings, opened on their first page and scrolled into view.
        window.contentView()->setCurrentIndex(0);
        MoreOptionsSection *more = window.contentView()->conversionView()->moreOptions();
        vm->setOutputFormat(QStringLiteral("html"));
        more->restoreState(0);
        QCoreApplication::processEvents();
        // The button that opened them at the top of the page.
        if (auto *scroll = window.findChild<QScrollArea *>(QStringLiteral("conversionScrollArea")))
            scroll->verticalScrollBar()->setValue(
                more->toggle()->mapTo(scroll->widget(), QPoint()).y() - 8);
        QCoreApplication::processEvents();
        save(&window, out + QStringLiteral("/more-options.png"));
        more->restoreState(-1);

        // Three chapters merged into one document, watched after a successful run.
        QList<QUrl> chapters;
        for (int i = 1; i <= 3; ++i)
            chapters << QUrl::fromLocalFile(
                write(dir.filePath(QStringLiteral("Bachelorarbeit/kapitel%1.md").arg(i)),
                      QStringLiteral("# Kapitel %1\n\nText.\n").arg(i).toUtf8()));
        vm->setSelectedPreset(std::nullopt);
        vm->handleInputFileSelection({chapters, std::nullopt});
        vm->setOutputFormat(QStringLiteral("html"));
        vm->setMergeInputs(true);
        vm->setWatchChanges(true);
        vm->convert();
        finished.wait(30000);
        if (auto *scroll = window.findChild<QScrollArea *>(QStringLiteral("conversionScrollArea")))
            scroll->verticalScrollBar()->setValue(0);
        QCoreApplication::processEvents();
        save(&window, out + QStringLiteral("/merge-and-watch.png"));
        vm->setWatchChanges(false);

        // The same chapters each on its own, run twice: the second run skips them all.
        vm->setMergeInputs(false);
        vm->setOnlyChangedFiles(true);
        for (int run = 0; run < 2; ++run) {
            vm->convert();
            finished.wait(30000);
        }
        QCoreApplication::processEvents();
        if (auto *results = window.findChild<QWidget *>(QStringLiteral("runResultsPanel")))
            if (auto *scroll =
                    window.findChild<QScrollArea *>(QStringLiteral("conversionScrollArea")))
                scroll->ensureWidgetVisible(results, 0, 0);
        QCoreApplication::processEvents();
        save(&window, out + QStringLiteral("/only-changed.png"));
    }
    return 0;
}
