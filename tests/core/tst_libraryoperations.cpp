#include "fakes.h"
#include "pandocviewmodel.h"
#include "recordjson.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryFile>
#include <QTest>
#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#define dup _dup
#define dup2 _dup2
#define close _close
#else
#include <unistd.h>
#endif

namespace {

// Collects what is printed on standard output while it lives.
class StdoutCapture final
{
public:
    StdoutCapture()
    {
        m_file.open();
        std::fflush(stdout);
        m_saved = dup(1);
        dup2(m_file.handle(), 1);
    }
    ~StdoutCapture() { restore(); }

    QStringList lines()
    {
        restore();
        m_file.seek(0);
        return QString::fromUtf8(m_file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    }

private:
    void restore()
    {
        if (m_saved < 0)
            return;
        std::fflush(stdout);
        dup2(m_saved, 1);
        close(m_saved);
        m_saved = -1;
    }

    QTemporaryFile m_file;
    int m_saved = -1;
};

QByteArray contentOf(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QString indexPath(const TestWorld &world)
{
    return world.storeRoot() + QStringLiteral("/Velunor/templates.json");
}

QList<Template> indexOn(const TestWorld &world)
{
    QList<Template> records;
    QString error;
    const QString index = indexPath(world);
    if (QFileInfo::exists(index) && !decodeRecords(contentOf(index), &records, &error))
        qWarning("index unreadable: %s", qPrintable(error));
    return records;
}

QUrl local(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

} // namespace

class TstLibraryOperations final : public QObject
{
    Q_OBJECT

private slots:
    void firstImportCreatesFoldersAndIndex()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        QVERIFY(!QFileInfo::exists(world.storeRoot() + QStringLiteral("/Velunor")));
        const QString source = world.writeFile(QStringLiteral("docs/Report.HTML"), "<p/>");
        const QDateTime before = QDateTime::currentDateTimeUtc().addSecs(-1);

        StdoutCapture out;
        vm->handleTemplateImport({{local(source)}, std::nullopt});
        QVERIFY(out.lines().isEmpty());

        const QString stored =
            world.storeRoot() + QStringLiteral("/Velunor/Templates/html/Report.HTML");
        QCOMPARE(vm->templates().size(), 1);
        const Template t = vm->templates().first();
        QCOMPARE(t.name, QStringLiteral("Report"));
        QCOMPARE(t.type, TemplateType::Html);
        QCOMPARE(t.filePath, stored);
        QVERIFY(!t.isFavorite);
        QVERIFY(t.description.isEmpty());
        QVERIFY(t.lastUsed >= before && t.lastUsed <= QDateTime::currentDateTimeUtc());
        QCOMPARE(contentOf(stored), QByteArray("<p/>"));
        QCOMPARE(contentOf(source), QByteArray("<p/>"));
        QCOMPARE(indexOn(world), vm->templates());
        QVERIFY(vm->logMessages().isEmpty());
    }

    void unsupportedFilesAreReportedAndSkipped_data()
    {
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<QStringList>("printed");
        QTest::addColumn<int>("imported");
        QTest::addColumn<QString>("logged");
        const QString kinds = QStringLiteral(
            " – importiert werden können .html (HTML-Template), .tex (LaTeX-Template), "
            ".docx (DOCX-Referenz), .css (CSS-Datei)");
        QTest::newRow("htm") << QStringList{QStringLiteral("style.htm")}
                             << QStringList{QStringLiteral("Unsupported file type: htm")} << 0
                             << QStringLiteral("❌ Nicht unterstützter Dateityp: style.htm") + kinds;
        QTest::newRow("no extension")
            << QStringList{QStringLiteral("README")}
            << QStringList{QStringLiteral("Unsupported file type: ")} << 0
            << QStringLiteral("❌ Nicht unterstützter Dateityp: README") + kinds;
        QTest::newRow("five with one PDF")
            << QStringList{QStringLiteral("a.html"), QStringLiteral("b.tex"),
                           QStringLiteral("c.PDF"), QStringLiteral("d.docx"),
                           QStringLiteral("e.css")}
            << QStringList{QStringLiteral("Unsupported file type: pdf")} << 4
            << QStringLiteral("❌ Nicht unterstützter Dateityp: c.PDF") + kinds;
    }

    void unsupportedFilesAreReportedAndSkipped()
    {
        QFETCH(QStringList, files);
        QFETCH(QStringList, printed);
        QFETCH(int, imported);
        QFETCH(QString, logged);
        TestWorld world;
        auto vm = world.makeViewModel();
        QList<QUrl> urls;
        for (const QString &f : files)
            urls.append(local(world.writeFile(QStringLiteral("in/") + f, f.toUtf8())));
        QSignalSpy changed(vm.get(), &PandocViewModel::templatesChanged);

        StdoutCapture out;
        vm->handleTemplateImport({urls, std::nullopt});
        QCOMPARE(out.lines(), printed);

        QCOMPARE(vm->templates().size(), imported);
        QCOMPARE(changed.size(), imported); // one change, and one index write, per imported file
        QCOMPARE(indexOn(world).size(), imported);
        // Standard output alone is invisible from the desktop; the log names file and kinds.
        QCOMPARE(vm->logMessages(), QStringList{logged});
    }

    void panelErrorIsPrinted()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        StdoutCapture out;
        vm->handleTemplateImport({{}, QStringLiteral("Zugriff verweigert")});
        QCOMPARE(out.lines(), QStringList{QStringLiteral("Import failed: Zugriff verweigert")});
        QVERIFY(vm->templates().isEmpty());
        QCOMPARE(vm->logMessages(),
                 QStringList{QStringLiteral("❌ Import fehlgeschlagen: Zugriff verweigert")});
    }

    void sameNameFromTwoFoldersKeepsBothFiles()
    {
        TestWorld world;
        world.dialogs.answers = {true};
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("one/a.tex"), "first")));
        vm->importTemplate(local(world.writeFile(QStringLiteral("two/a.tex"), "second")));

        QCOMPARE(vm->templates().size(), 2);
        const Template first = vm->templates().at(0);
        const Template second = vm->templates().at(1);
        QCOMPARE(first.name, QStringLiteral("a"));
        QCOMPARE(second.name, QStringLiteral("a"));
        QCOMPARE(QFileInfo(second.filePath).fileName(), QStringLiteral("a (2).tex"));
        QCOMPARE(contentOf(first.filePath), QByteArray("first"));
        QCOMPARE(contentOf(second.filePath), QByteArray("second"));

        QVERIFY(vm->deleteTemplate(first));
        QVERIFY(!QFileInfo::exists(first.filePath));
        QCOMPARE(vm->templates(), QList<Template>{second});
        QCOMPARE(contentOf(second.filePath), QByteArray("second"));
    }

    void sharedFileSurvivesDeletingOneRecord()
    {
        TestWorld world;
        world.dialogs.answers = {true, true};
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/s.css"), "body{}")));
        // Picking the stored file itself makes a second record that shares it.
        const QString stored = vm->templates().first().filePath;
        QVERIFY(vm->addTemplate(QStringLiteral("again"), TemplateType::Css, stored, QString()));
        QCOMPARE(vm->templates().at(1).filePath, stored);
        QCOMPARE(contentOf(stored), QByteArray("body{}"));

        QVERIFY(vm->deleteTemplate(vm->templates().at(0)));
        QCOMPARE(contentOf(stored), QByteArray("body{}"));
        QVERIFY(vm->deleteTemplate(vm->templates().at(0)));
        QVERIFY(!QFileInfo::exists(stored));
        QVERIFY(indexOn(world).isEmpty());
    }

    void addUsesThePickedKindAndNameAsTyped()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        const QString source = world.writeFile(QStringLiteral("in/page.html"), "<b/>");
        QVERIFY(vm->addTemplate(QStringLiteral("  Mein Stil  "), TemplateType::Css, source,
                                QStringLiteral("für Briefe")));
        const Template t = vm->templates().first();
        QCOMPARE(t.name, QStringLiteral("  Mein Stil  "));
        QCOMPARE(t.type, TemplateType::Css);
        QCOMPARE(t.filePath,
                 world.storeRoot() + QStringLiteral("/Velunor/Templates/css/page.html"));
        QCOMPARE(t.description, QStringLiteral("für Briefe"));
        QCOMPARE(indexOn(world), vm->templates());
    }

    void failedAddKeepsEverything()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        StdoutCapture out;
        QVERIFY(!vm->addTemplate(QStringLiteral("x"), TemplateType::Latex,
                                 world.path(QStringLiteral("missing.tex")), QString()));
        const QStringList printed = out.lines();
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().startsWith(QStringLiteral("Failed to add template: ")));
        QVERIFY(printed.first().size() > QStringLiteral("Failed to add template: ").size());
        QVERIFY(vm->templates().isEmpty());
        QVERIFY(!QFileInfo::exists(world.storeRoot() + QStringLiteral("/Velunor/templates.json")));
        QCOMPARE(vm->logMessages().size(), 1);
        QVERIFY(vm->logMessages().first().startsWith(QStringLiteral("❌ Template konnte nicht")));
    }

    void failedImportIsPrinted()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        StdoutCapture out;
        vm->importTemplate(local(world.path(QStringLiteral("gone.html"))));
        const QStringList printed = out.lines();
        QCOMPARE(printed.size(), 1);
        QVERIFY(printed.first().startsWith(QStringLiteral("Failed to import template: ")));
        QVERIFY(vm->templates().isEmpty());
        QCOMPARE(vm->logMessages().size(), 1);
    }

    void withoutStoreNothingHappens()
    {
        TestWorld world;
        ViewModelEnvironment env = world.environment();
        env.store = StoreLocation();
        PandocViewModel vm(env);
        const QString source = world.writeFile(QStringLiteral("in/a.tex"), "x");
        StdoutCapture out;
        vm.importTemplate(local(source));
        QVERIFY(!vm.addTemplate(QStringLiteral("a"), TemplateType::Latex, source, QString()));
        vm.openTemplateFolder();
        QVERIFY(out.lines().isEmpty());
        QVERIFY(vm.templates().isEmpty());
        QVERIFY(vm.logMessages().isEmpty());
        QVERIFY(world.desktop.openedFolders.isEmpty());
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("Abbrechen") << false;
        QTest::newRow("Löschen") << true;
    }

    void deleteAsksFirst()
    {
        QFETCH(bool, answer);
        TestWorld world;
        world.dialogs.answers = {answer};
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/Brief.tex"), "x")));
        const Template record = vm->templates().first();

        QCOMPARE(vm->deleteTemplate(record), answer);
        QCOMPARE(world.dialogs.calls.size(), 1);
        QCOMPARE(world.dialogs.calls.first().kind, QStringLiteral("warning"));
        QCOMPARE(world.dialogs.calls.first().title, QStringLiteral("Template löschen?"));
        QCOMPARE(world.dialogs.calls.first().message,
                 QStringLiteral("Möchten Sie 'Brief' wirklich löschen?\n\nDie Datei wird ebenfalls "
                                "gelöscht! [Löschen|Abbrechen]"));
        QCOMPARE(vm->templates().isEmpty(), answer);
        QCOMPARE(QFileInfo::exists(record.filePath), !answer);
        QCOMPARE(indexOn(world).isEmpty(), answer);
    }

    void deleteWithFileGoneStillRemovesRecord()
    {
        TestWorld world;
        world.dialogs.answers = {true};
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/a.css"), "x")));
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/b.css"), "y")));
        QVERIFY(QFile::remove(vm->templates().first().filePath));
        QVERIFY(vm->deleteTemplate(vm->templates().first()));
        QCOMPARE(vm->templates().size(), 1);
        QCOMPARE(indexOn(world), vm->templates());
    }

    // Only a file in the store's own kind folder that no other record uses is deleted; no
    // other is exported. The dialog says which will happen.
    void deleteAndExportTouchOnlyLibraryFiles_data()
    {
        QTest::addColumn<QString>("path"); // "" for the imported file itself
        QTest::addColumn<QString>("consequence");
        const QString kept = QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek "
                                            "und bleibt erhalten.");
        QTest::newRow("in the library") << ""
                                        << "Die Datei wird ebenfalls gelöscht!";
        QTest::newRow("used by another record")
            << "shared"
            << "Die Datei wird noch von einem anderen Template verwendet und bleibt erhalten.";
        QTest::newRow("elsewhere") << "elsewhere/v.html" << kept;
        QTest::newRow("relative") << "relative" << kept;
        QTest::newRow("the store's presets.json") << "support/Velunor/presets.json" << kept;
        QTest::newRow("link in the kind folder") << "link" << kept;
    }

    void deleteAndExportTouchOnlyLibraryFiles()
    {
        QFETCH(QString, path);
        QFETCH(QString, consequence);
        TestWorld world;
        world.dialogs.answers = {true};
        auto vm = world.makeViewModel();
        vm->savePreset(QStringLiteral("p"));
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/a.html"), "inside")));
        QList<Template> list{vm->templates().first(), vm->templates().first()};
        list[1].id = QUuid::createUuid();
        const QString victim = world.writeFile(QStringLiteral("elsewhere/v.html"), "victim");
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(world.root()); // where a relative path would lead
        if (path == u"link") {
            list[0].filePath += QStringLiteral("l");
            QVERIFY(QFile::link(victim, list[0].filePath));
        } else if (path == u"relative") {
            list[0].filePath = QStringLiteral("elsewhere/v.html");
        } else if (!path.isEmpty() && path != u"shared") {
            list[0].filePath = world.path(path);
        }
        list.resize(path == u"shared" ? 2 : 1);
        vm->setTemplates(list);
        const QString file = QFileInfo(list[0].filePath).canonicalFilePath();
        const QByteArray content = contentOf(file);
        const bool inside = path.isEmpty() || path == u"shared";

        QCOMPARE(vm->exportTemplate(list[0], world.path(QStringLiteral("out.html"))), inside);
        QVERIFY(vm->deleteTemplate(list[0]));
        QDir::setCurrent(cwd);
        QCOMPARE(world.dialogs.calls.last().message,
                 QStringLiteral("Möchten Sie 'a' wirklich löschen?\n\n") + consequence +
                     QStringLiteral(" [Löschen|Abbrechen]"));
        QCOMPARE(contentOf(file), path.isEmpty() ? QByteArray("<missing>") : content);
        QCOMPARE(vm->templates().size(), list.size() - 1);
    }

    void duplicateIdsAreRenewedOnLoad()
    {
        TestWorld world;
        world.dialogs.answers = {true};
        Template a;
        a.id = QUuid::createUuid();
        a.name = QStringLiteral("a");
        a.filePath = world.writeFile(QStringLiteral("support/Velunor/Templates/html/a.html"), "");
        Template b = a;
        b.name = QStringLiteral("b");
        b.filePath = world.writeFile(QStringLiteral("support/Velunor/Templates/html/b.html"), "");
        world.writeFile(QStringLiteral("support/Velunor/templates.json"), encodeRecords({a, b}));

        auto vm = world.makeViewModel();
        QCOMPARE(vm->templates().at(0).id, a.id);
        QVERIFY(vm->templates().at(1).id != a.id);
        QCOMPARE(vm->logMessages(),
                 QStringList{QStringLiteral("⚠ Doppelte IDs in den Templates: 1 Eintrag hat eine "
                                            "neue ID erhalten")});
        QVERIFY(vm->deleteTemplate(vm->templates().at(1)));
        QCOMPARE(vm->templates().size(), 1);
        QVERIFY(QFileInfo::exists(a.filePath));
        QVERIFY(!QFileInfo::exists(b.filePath));
    }

    void importNeverWritesThroughALink_data()
    {
        QTest::addColumn<bool>("linkedFolder");
        QTest::newRow("link at the destination") << false;
        QTest::newRow("linked kind folder") << true;
    }

    void importNeverWritesThroughALink()
    {
        QFETCH(bool, linkedFolder);
        TestWorld world;
        auto vm = world.makeViewModel();
        const QString victim = world.writeFile(QStringLiteral("outside/v.html"), "victim");
        const QString kindFolder = world.storeRoot() + QStringLiteral("/Velunor/Templates/html");
        QVERIFY(QDir().mkpath(QFileInfo(kindFolder).absolutePath()));
        QVERIFY(linkedFolder ? QFile::link(QFileInfo(victim).absolutePath(), kindFolder)
                             : QDir().mkpath(kindFolder) &&
                                   QFile::link(victim, kindFolder + QStringLiteral("/v.html")));

        vm->importTemplate(local(world.writeFile(QStringLiteral("in/v.html"), "new")));
        QCOMPARE(QDir(QFileInfo(victim).absolutePath()).entryList(QDir::Files),
                 QStringList{QStringLiteral("v.html")});
        QCOMPARE(contentOf(victim), QByteArray("victim"));
        QCOMPARE(vm->templates().size(), linkedFolder ? 0 : 1);
        if (!linkedFolder)
            QCOMPARE(contentOf(vm->templates().first().filePath), QByteArray("new"));
    }

    void favouriteTwiceRestoresAndSavesEachTime()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/a.css"), "x")));
        const Template record = vm->templates().first();

        vm->toggleFavorite(record);
        QVERIFY(vm->templates().first().isFavorite);
        QVERIFY(indexOn(world).first().isFavorite);
        vm->toggleFavorite(record); // a stale copy still designates the record by id
        QVERIFY(!vm->templates().first().isFavorite);
        QVERIFY(!indexOn(world).first().isFavorite);
    }

    void unknownRecordsChangeNothing()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        QSignalSpy changed(vm.get(), &PandocViewModel::templatesChanged);
        Template stranger;
        stranger.id = QUuid::createUuid();
        vm->toggleFavorite(stranger);
        vm->toggleFavorite(std::nullopt);
        vm->updateDescription(stranger.id, QStringLiteral("x"));
        QCOMPARE(changed.size(), 0);
        QVERIFY(!QFileInfo::exists(world.storeRoot() + QStringLiteral("/Velunor/templates.json")));
    }

    void descriptionIsSavedOncePerPauseAndNeverLost()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/a.css"), "x")));
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/b.css"), "y")));
        const QUuid b = vm->templates().at(1).id;
        for (const QString &text :
             {QStringLiteral("N"), QStringLiteral("Ne"), QStringLiteral("Neu")}) {
            vm->updateDescription(b, text);
            QCOMPARE(vm->templates().at(1).description, text);
        }
        // Typing does not rewrite the index; a pause does, once.
        QVERIFY(indexOn(world).at(1).description.isEmpty());
        QTRY_COMPARE(indexOn(world).at(1).description, QStringLiteral("Neu"));

        // An edit still waiting for its pause is saved when the view model goes.
        vm->updateDescription(b, QStringLiteral("Zuletzt"));
        vm.reset();
        QCOMPARE(indexOn(world).at(1).description, QStringLiteral("Zuletzt"));
        QVERIFY(indexOn(world).at(0).description.isEmpty());
    }

    void openTemplateFolderCreatesIt()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        vm->openTemplateFolder();
        const QString folder = world.storeRoot() + QStringLiteral("/Velunor/Templates");
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(world.desktop.openedFolders, QStringList{folder});
    }

    void exportReplacesOrReports()
    {
        TestWorld world;
        auto vm = world.makeViewModel();
        vm->importTemplate(local(world.writeFile(QStringLiteral("in/a.tex"), "template")));
        const Template record = vm->templates().first();

        const QString target = world.writeFile(QStringLiteral("out/copy.tex"), "older and longer");
        QVERIFY(vm->exportTemplate(record, target));
        QCOMPARE(contentOf(target), QByteArray("template"));
        // Exporting onto the stored file itself must not truncate it.
        QVERIFY(vm->exportTemplate(record, record.filePath));
        QCOMPARE(contentOf(record.filePath), QByteArray("template"));
        QVERIFY(vm->logMessages().isEmpty());

        QVERIFY(!vm->exportTemplate(record, world.path(QStringLiteral("no/such/folder/x.tex"))));
        QCOMPARE(vm->logMessages().size(), 1);
        QVERIFY(vm->logMessages().first().startsWith(QStringLiteral("❌ Export fehlgeschlagen")));
    }

    void filteredOrder_data()
    {
        // Each record: name, kind raw value, favourite ("*").
        QTest::addColumn<QStringList>("records");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<bool>("favoritesOnly");
        QTest::addColumn<QStringList>("expected");
        const QStringList mixed{"b html", "A html", "a html"};
        QTest::newRow("code points: A a b") << mixed << "" << false << QStringList{"A", "a", "b"};
        QTest::newRow("favourite first") << QStringList{"b html *", "A html", "a html"} << ""
                                         << false << QStringList{"b", "A", "a"};
        QTest::newRow("umlaut after z")
            << QStringList{"ä css", "z css", "Z css"} << "" << false << QStringList{"Z", "z", "ä"};
        QTest::newRow("decomposed equals composed, creation order")
            << QStringList{QStringLiteral("a\u0308 css"), QStringLiteral("\u00e4 css")} << ""
            << false << QStringList{QStringLiteral("a\u0308"), QStringLiteral("\u00e4")};
        QTest::newRow("kind and favourites")
            << QStringList{"x css *", "y css", "w html *", "v css *"} << "css" << true
            << QStringList{"v", "x"};
        QTest::newRow("kind only") << QStringList{"x css *", "y css", "w html *"} << "css" << false
                                   << QStringList{"x", "y"};
    }

    void filteredOrder()
    {
        QFETCH(QStringList, records);
        QFETCH(QString, filter);
        QFETCH(bool, favoritesOnly);
        QFETCH(QStringList, expected);
        TestWorld world;
        auto vm = world.makeViewModel();
        QList<Template> list;
        for (const QString &spec : records) {
            const QStringList parts = spec.split(u' ');
            Template t;
            t.id = QUuid::createUuid();
            t.name = parts.at(0);
            t.type = *templateTypeFromRawValue(parts.at(1));
            t.isFavorite = parts.size() > 2;
            list.append(t);
        }
        vm->setTemplates(list);
        QStringList names;
        const auto kind = filter.isEmpty() ? std::nullopt : templateTypeFromRawValue(filter);
        for (const Template &t : vm->filteredTemplates(kind, favoritesOnly))
            names.append(t.name);
        QCOMPARE(names, expected);
        QCOMPARE(vm->templates(), list); // filtering never touches the records
    }
};

QTEST_GUILESS_MAIN(TstLibraryOperations)
#include "tst_libraryoperations.moc"
