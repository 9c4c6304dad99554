// Renders both tabs to PNG over a small demo store, for the README.
// Usage: velunor-screenshots OUTPUT_FOLDER   (run with QT_QPA_PLATFORM=offscreen)
#include "contentview.h"
#include "mainwindow.h"
#include "recordjson.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString write(const QString &path, const QByteArray &content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
        qFatal("cannot write %s", qPrintable(path));
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

void save(QWidget *window, const QString &path)
{
    QApplication::processEvents();
    if (!window->grab().save(path))
        qFatal("cannot save %s", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: velunor-screenshots OUTPUT_FOLDER\n", stderr);
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    QTemporaryDir dir;
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
    window.resize(1000, 960);
    window.show();
    PandocViewModel *vm = window.viewModel();
    QSignalSpy checked(vm, &PandocViewModel::pandocCheckFinished);
    checked.wait(10000);

    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setSelectedPreset(vm->presets().first());
    save(&window, out + QStringLiteral("/conversion.png"));

    window.contentView()->setCurrentIndex(1);
    auto *list = window.findChild<QAbstractItemView *>(QStringLiteral("templateList"));
    if (list && list->model() && list->model()->rowCount() > 0)
        list->setCurrentIndex(list->model()->index(0, 0));
    save(&window, out + QStringLiteral("/templates.png"));
    return 0;
}
