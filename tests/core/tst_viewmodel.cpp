#include "fakes.h"
#include "pandocviewmodel.h"
#include "recordjson.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMetaProperty>
#include <QSignalSpy>
#include <QTest>

using StatusColor = PandocViewModel::StatusColor;

namespace {

const QString kPresetsFile = QStringLiteral("support/Velunor/presets.json");
const QString kTemplatesFile = QStringLiteral("support/Velunor/templates.json");

Template makeTemplate(const QString &name, TemplateType type = TemplateType::Html,
                      bool favorite = false)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = QStringLiteral("/store/Velunor/Templates/") + rawValue(type) + u'/' + name;
    t.isFavorite = favorite;
    t.lastUsed = QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC);
    return t;
}

Preset makePreset(const QString &name)
{
    Preset p;
    p.id = QUuid::createUuid();
    p.name = name;
    p.inputFormat = QStringLiteral("markdown");
    p.outputFormat = QStringLiteral("html5");
    p.standalone = false;
    p.tableOfContents = true;
    p.numberSections = true;
    p.additionalOptions = QStringLiteral("--toc-depth=2");
    return p;
}

QList<QUrl> urls(const QStringList &paths)
{
    QList<QUrl> list;
    for (const QString &p : paths)
        list.append(QUrl::fromLocalFile(p));
    return list;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QList<Preset> presetsOnDisk(const TestWorld &world)
{
    QList<Preset> list;
    QString error;
    if (!decodeRecords(readAll(world.path(kPresetsFile)), &list, &error))
        qWarning("presets.json: %s", qPrintable(error));
    return list;
}

QList<Template> templatesOnDisk(const TestWorld &world)
{
    QList<Template> list;
    QString error;
    if (!decodeRecords(readAll(world.path(kTemplatesFile)), &list, &error))
        qWarning("templates.json: %s", qPrintable(error));
    return list;
}

QStringList namesOf(const QList<Preset> &presets)
{
    QStringList names;
    for (const Preset &p : presets)
        names.append(p.name);
    return names;
}

} // namespace

class TstViewModel final : public QObject
{
    Q_OBJECT

private slots:
    void initialValues();
    void propertySurface();
    void settersAnnounceRealChangesOnly_data();
    void settersAnnounceRealChangesOnly();
    void inputFileDisplay_data();
    void inputFileDisplay();
    void suggestedOutputFilename_data();
    void suggestedOutputFilename();
    void outputFileType_data();
    void outputFileType();
    void autoSetOutputFile_data();
    void autoSetOutputFile();
    void templateVisibility_data();
    void templateVisibility();
    void hiddenSelectionSurvivesFormatSwitch();
    void templateOrder_data();
    void templateOrder();
    void templatesListedPerKind();
    void clearLog();

    void savePresetReplacesByExactName();
    void savePresetStoresTemplateNamesOnlyWhenSelected();
    void savePresetWhenFileCannotBeWritten();
    void brokenPresetFileIsKeptAsideOnFirstSave();
    void loadPresetAppliesSettings();
    void loadPresetFindsTemplatesByName_data();
    void loadPresetFindsTemplatesByName();
    void deleteSelectedPreset();
    void deleteWithStaleSelectionStillRewritesAndLogs();

    void templateIndexLoadsInFileOrder();
    void constructionLogsUnreadableFiles();
    void saveTemplatesCreatesFolderAndKeepsBrokenIndex();
    void updateTemplateLastUsed();
    void updateTemplateLastUsedForUnknownRecord();
    void noApplicationSupportDirectory();
};

void TstViewModel::initialValues()
{
    TestWorld world;
    const auto vm = world.makeViewModel();

    QVERIFY(vm->inputFiles().isEmpty());
    QCOMPARE(vm->outputFile(), QString());
    QCOMPARE(vm->inputFormat(), QStringLiteral("auto (automatisch)"));
    QCOMPARE(vm->outputFormat(), QStringLiteral("docx"));
    QVERIFY(vm->templates().isEmpty());
    QCOMPARE(vm->selectedHtmlTemplate(), std::nullopt);
    QCOMPARE(vm->selectedCssTemplate(), std::nullopt);
    QCOMPARE(vm->selectedLatexTemplate(), std::nullopt);
    QCOMPARE(vm->selectedDocxTemplate(), std::nullopt);
    QCOMPARE(vm->standalone(), true);
    QCOMPARE(vm->tableOfContents(), false);
    QCOMPARE(vm->numberSections(), false);
    QCOMPARE(vm->additionalOptions(), QString());
    QVERIFY(vm->presets().isEmpty());
    QCOMPARE(vm->selectedPreset(), std::nullopt);
    QCOMPARE(vm->isConverting(), false);
    QCOMPARE(vm->progress(), 0.0);
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
    QCOMPARE(vm->statusColor(), StatusColor::Primary);
    QVERIFY(vm->logMessages().isEmpty());
    QCOMPARE(vm->showHtmlTemplate(), false);
    QCOMPARE(vm->showCssFile(), false);
    QCOMPARE(vm->showLatexTemplate(), false);
    QCOMPARE(vm->showDocxReference(), true);

    QCOMPARE(vm->shouldShowTemplates(), true);
    QCOMPARE(vm->inputFileDisplay(), QString());
    QCOMPARE(vm->suggestedOutputFilename(), QStringLiteral("output"));
    // A first start creates no folder.
    QVERIFY(!QFileInfo::exists(world.storeRoot()));
}

void TstViewModel::propertySurface()
{
    const QStringList expected{"inputFiles",
                               "outputFile",
                               "inputFormat",
                               "outputFormat",
                               "templates",
                               "selectedHtmlTemplate",
                               "selectedCssTemplate",
                               "selectedLatexTemplate",
                               "selectedDocxTemplate",
                               "standalone",
                               "tableOfContents",
                               "numberSections",
                               "additionalOptions",
                               "presets",
                               "selectedPreset",
                               "isConverting",
                               "progress",
                               "statusMessage",
                               "statusColor",
                               "logMessages",
                               "showHtmlTemplate",
                               "showCssFile",
                               "showLatexTemplate",
                               "showDocxReference"};
    const QMetaObject &mo = PandocViewModel::staticMetaObject;
    QStringList names;
    for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
        const QMetaProperty p = mo.property(i);
        names.append(QString::fromLatin1(p.name()));
        QVERIFY2(p.isWritable(), p.name());
        QVERIFY2(p.hasNotifySignal(), p.name());
        QCOMPARE(p.notifySignal().name(), QByteArray(p.name()) + "Changed");
    }
    QCOMPARE(names, expected);
}

void TstViewModel::settersAnnounceRealChangesOnly_data()
{
    QTest::addColumn<QByteArray>("property");
    QTest::addColumn<QVariant>("other");

    const Template t = makeTemplate(QStringLiteral("t"));
    const Preset p = makePreset(QStringLiteral("p"));
    QTest::newRow("inputFiles") << QByteArray("inputFiles")
                                << QVariant::fromValue(urls({"/tmp/a.md"}));
    QTest::newRow("outputFile") << QByteArray("outputFile") << QVariant(QStringLiteral("/tmp/a"));
    QTest::newRow("inputFormat") << QByteArray("inputFormat") << QVariant(QStringLiteral("html"));
    QTest::newRow("outputFormat") << QByteArray("outputFormat") << QVariant(QStringLiteral("pdf"));
    QTest::newRow("templates") << QByteArray("templates")
                               << QVariant::fromValue(QList<Template>{t});
    for (const char *name : {"selectedHtmlTemplate", "selectedCssTemplate", "selectedLatexTemplate",
                             "selectedDocxTemplate"})
        QTest::newRow(name) << QByteArray(name) << QVariant::fromValue(std::optional<Template>(t));
    QTest::newRow("standalone") << QByteArray("standalone") << QVariant(false);
    QTest::newRow("tableOfContents") << QByteArray("tableOfContents") << QVariant(true);
    QTest::newRow("numberSections") << QByteArray("numberSections") << QVariant(true);
    QTest::newRow("additionalOptions")
        << QByteArray("additionalOptions") << QVariant(QStringLiteral("--toc"));
    QTest::newRow("presets") << QByteArray("presets") << QVariant::fromValue(QList<Preset>{p});
    QTest::newRow("selectedPreset")
        << QByteArray("selectedPreset") << QVariant::fromValue(std::optional<Preset>(p));
    QTest::newRow("isConverting") << QByteArray("isConverting") << QVariant(true);
    QTest::newRow("progress") << QByteArray("progress") << QVariant(0.25);
    QTest::newRow("statusMessage") << QByteArray("statusMessage") << QVariant(QStringLiteral("x"));
    QTest::newRow("statusColor") << QByteArray("statusColor")
                                 << QVariant::fromValue(StatusColor::Orange);
    QTest::newRow("logMessages") << QByteArray("logMessages")
                                 << QVariant(QStringList{QStringLiteral("eins")});
    QTest::newRow("showHtmlTemplate") << QByteArray("showHtmlTemplate") << QVariant(true);
    QTest::newRow("showCssFile") << QByteArray("showCssFile") << QVariant(true);
    QTest::newRow("showLatexTemplate") << QByteArray("showLatexTemplate") << QVariant(true);
    QTest::newRow("showDocxReference") << QByteArray("showDocxReference") << QVariant(false);
}

void TstViewModel::settersAnnounceRealChangesOnly()
{
    QFETCH(QByteArray, property);
    QFETCH(QVariant, other);

    TestWorld world;
    const auto vm = world.makeViewModel();
    const QMetaObject *mo = vm->metaObject();
    const QMetaProperty prop = mo->property(mo->indexOfProperty(property.constData()));
    QVERIFY(prop.isValid());
    QSignalSpy spy(vm.get(), prop.notifySignal());
    QVERIFY(spy.isValid());

    const QVariant initial = prop.read(vm.get());
    QVERIFY(prop.write(vm.get(), initial));
    QCOMPARE(spy.size(), 0);
    QVERIFY(prop.write(vm.get(), other));
    QCOMPARE(spy.size(), 1);
    QVERIFY(prop.write(vm.get(), other));
    QCOMPARE(spy.size(), 1);
    QVERIFY(prop.write(vm.get(), initial));
    QCOMPARE(spy.size(), 2);
}

void TstViewModel::inputFileDisplay_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("display");

    QTest::newRow("none") << QStringList() << QString();
    QTest::newRow("one") << QStringList{"/Users/a/Texte/Bericht.md"}
                         << QStringLiteral("/Users/a/Texte/Bericht.md");
    QTest::newRow("one with blanks and umlauts")
        << QStringList{"/tmp/Mein Ordner/Übersicht #1.md"}
        << QStringLiteral("/tmp/Mein Ordner/Übersicht #1.md");
    QTest::newRow("two") << QStringList{"/a.md", "/b.md"}
                         << QStringLiteral("📦 2 Dateien ausgewählt");
    QTest::newRow("three") << QStringList{"/a.md", "/b.md", "/c.md"}
                           << QStringLiteral("📦 3 Dateien ausgewählt");
    QStringList many;
    for (int i = 0; i < 12; ++i)
        many.append(QStringLiteral("/f%1.md").arg(i));
    QTest::newRow("twelve") << many << QStringLiteral("📦 12 Dateien ausgewählt");
}

void TstViewModel::inputFileDisplay()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, display);
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->setInputFiles(urls(inputs));
    QCOMPARE(vm->inputFileDisplay(), display);
}

void TstViewModel::suggestedOutputFilename_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("outputFormat");
    QTest::addColumn<QString>("suggested");

    const QStringList bericht{"/Users/a/Texte/Bericht.md"};
    QTest::newRow("no input") << QStringList() << "html5"
                              << "output";
    QTest::newRow("html5") << bericht << "html5"
                           << "Bericht.html";
    QTest::newRow("latex") << bericht << "latex"
                           << "Bericht.tex";
    QTest::newRow("explained value") << bericht << "gfm (GitHub Markdown)"
                                     << "Bericht.md";
    QTest::newRow("plain (txt)") << QStringList{"/tmp/notes.txt"} << "plain (txt)"
                                 << "notes.txt";
    QTest::newRow("case kept") << bericht << "HTML"
                               << "Bericht.HTML";
    QTest::newRow("no extension") << QStringList{"/tmp/README"} << "docx"
                                  << "README.docx";
    QTest::newRow("only the last extension") << QStringList{"/tmp/a.tar.gz"} << "docx"
                                             << "a.tar.docx";
    QTest::newRow("dot in folder name") << QStringList{"/tmp/v1.2/README"} << "docx"
                                        << "README.docx";
    QTest::newRow("first of several") << QStringList{"/x/Eins.md", "/x/Zwei.rst"} << "odt"
                                      << "Eins.odt";
    QTest::newRow("empty format") << bericht << ""
                                  << "Bericht.";
    QTest::newRow("format begins with a blank") << bericht << " html"
                                                << "Bericht.";
}

void TstViewModel::suggestedOutputFilename()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, outputFormat);
    QFETCH(QString, suggested);
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->setInputFiles(urls(inputs));
    vm->setOutputFormat(outputFormat);
    QCOMPARE(vm->suggestedOutputFilename(), suggested);
}

void TstViewModel::outputFileType_data()
{
    QTest::addColumn<QString>("outputFormat");
    QTest::addColumn<QString>("patterns"); // the filter's patterns, "*" for any file

    QTest::newRow("docx") << "docx"
                          << "*.docx";
    QTest::newRow("docx explained") << "docx (Word)"
                                    << "*.docx";
    QTest::newRow("html") << "html"
                          << "*.html *.htm";
    QTest::newRow("html5") << "html5"
                           << "*.html *.htm";
    QTest::newRow("pdf") << "pdf"
                         << "*.pdf";
    QTest::newRow("latex") << "latex"
                           << "*.tex";
    QTest::newRow("markdown") << "markdown"
                              << "*.md";
    QTest::newRow("HTML is case-sensitive here") << "HTML"
                                                 << "*";
    QTest::newRow("Docx") << "Docx"
                          << "*";
    QTest::newRow("gfm") << "gfm (GitHub Markdown)"
                         << "*";
    QTest::newRow("markdown_strict") << "markdown_strict"
                                     << "*";
    QTest::newRow("epub") << "epub"
                          << "*";
    QTest::newRow("empty") << ""
                           << "*";
}

void TstViewModel::outputFileType()
{
    QFETCH(QString, outputFormat);
    QFETCH(QString, patterns);
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->setOutputFormat(outputFormat);
    const QString filter = vm->outputFileType();
    QVERIFY2(filter.endsWith(QStringLiteral("(") + patterns + u')'), qPrintable(filter));
}

void TstViewModel::autoSetOutputFile_data()
{
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<QString>("outputFormat");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("after");

    const QStringList bericht{"/Users/a/Texte/Bericht.md"};
    QTest::newRow("no input: unchanged") << QStringList() << "docx"
                                         << "/typed.pdf"
                                         << "/typed.pdf";
    QTest::newRow("two inputs keep the placeholder") << QStringList{"/a.md", "/b.md"} << "docx"
                                                     << "(Automatisch generiert)"
                                                     << "(Automatisch generiert)";
    QTest::newRow("docx") << bericht << "docx"
                          << ""
                          << "/Users/a/Texte/Bericht.docx";
    QTest::newRow("explained value") << bericht << "gfm (GitHub Markdown)"
                                     << ""
                                     << "/Users/a/Texte/Bericht.md";
    QTest::newRow("replaces a typed path") << bericht << "pdf"
                                           << "/elsewhere/out.pdf"
                                           << "/Users/a/Texte/Bericht.pdf";
    QTest::newRow("case kept") << bericht << "HTML"
                               << ""
                               << "/Users/a/Texte/Bericht.HTML";
    QTest::newRow("no extension") << QStringList{"/tmp/README"} << "docx"
                                  << ""
                                  << "/tmp/README.docx";
    QTest::newRow("dot in folder name") << QStringList{"/tmp/v1.2/README"} << "docx"
                                        << ""
                                        << "/tmp/v1.2/README.docx";
    QTest::newRow("several dots") << QStringList{"/tmp/Bericht.final.md"} << "html"
                                  << ""
                                  << "/tmp/Bericht.final.html";
    QTest::newRow("blanks and umlauts") << QStringList{"/tmp/Mein Ordner/Übersicht.md"} << "odt"
                                        << ""
                                        << "/tmp/Mein Ordner/Übersicht.odt";
    QTest::newRow("in the root folder") << QStringList{"/Bericht.md"} << "rtf"
                                        << ""
                                        << "/Bericht.rtf";
}

void TstViewModel::autoSetOutputFile()
{
    QFETCH(QStringList, inputs);
    QFETCH(QString, outputFormat);
    QFETCH(QString, before);
    QFETCH(QString, after);
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->setInputFiles(urls(inputs));
    vm->setOutputFormat(outputFormat);
    vm->setOutputFile(before);
    QSignalSpy changed(vm.get(), &PandocViewModel::outputFileChanged);
    vm->autoSetOutputFile();
    QCOMPARE(vm->outputFile(), after);
    QCOMPARE(changed.size(), before == after ? 0 : 1);
    QVERIFY(vm->logMessages().isEmpty());
}

void TstViewModel::templateVisibility_data()
{
    QTest::addColumn<QString>("outputFormat");
    QTest::addColumn<QString>("shown"); // flags html, css, latex, docx

    QTest::newRow("docx") << "docx"
                          << "0001";
    QTest::newRow("DOCX") << "DOCX"
                          << "0001";
    QTest::newRow("docx explained") << "docx (Word)"
                                    << "0001";
    QTest::newRow("html") << "html"
                          << "1100";
    QTest::newRow("html5") << "html5"
                           << "1100";
    QTest::newRow("HTML") << "HTML"
                          << "1100";
    QTest::newRow("Html5") << "Html5"
                           << "1100";
    QTest::newRow("pdf") << "pdf"
                         << "0010";
    QTest::newRow("PDF") << "PDF"
                         << "0010";
    QTest::newRow("latex") << "latex"
                           << "0010";
    QTest::newRow("markdown") << "markdown"
                              << "0000";
    QTest::newRow("gfm") << "gfm (GitHub Markdown)"
                         << "0000";
    // Slides of the LaTeX family offer the LaTeX template picker.
    QTest::newRow("beamer") << "beamer"
                            << "0010";
    QTest::newRow("html4") << "html4"
                           << "1100";
    QTest::newRow("empty") << ""
                           << "0000";
    QTest::newRow("leading blank") << " html"
                                   << "0000";
}

void TstViewModel::templateVisibility()
{
    QFETCH(QString, outputFormat);
    QFETCH(QString, shown);
    TestWorld world;
    const auto vm = world.makeViewModel();
    // Start from every flag set so that each one must be written.
    vm->setShowHtmlTemplate(true);
    vm->setShowCssFile(true);
    vm->setShowLatexTemplate(true);
    vm->setShowDocxReference(true);
    vm->setOutputFormat(outputFormat);
    vm->updateTemplateVisibility();
    const QString actual =
        QString::number(vm->showHtmlTemplate()) + QString::number(vm->showCssFile()) +
        QString::number(vm->showLatexTemplate()) + QString::number(vm->showDocxReference());
    QCOMPARE(actual, shown);
    QCOMPARE(vm->shouldShowTemplates(), shown != u"0000");
    QVERIFY(vm->logMessages().isEmpty());
}

void TstViewModel::hiddenSelectionSurvivesFormatSwitch()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    const Template html = makeTemplate(QStringLiteral("Bericht"));
    vm->setTemplates({html});
    vm->setOutputFormat(QStringLiteral("html"));
    vm->updateTemplateVisibility();
    vm->setSelectedHtmlTemplate(html);
    QSignalSpy selection(vm.get(), &PandocViewModel::selectedHtmlTemplateChanged);

    vm->setOutputFormat(QStringLiteral("docx"));
    vm->updateTemplateVisibility();
    QVERIFY(!vm->showHtmlTemplate());
    QCOMPARE(vm->selectedHtmlTemplate(), std::optional<Template>(html));
    vm->setOutputFormat(QStringLiteral("html"));
    vm->updateTemplateVisibility();
    QVERIFY(vm->showHtmlTemplate());
    QCOMPARE(vm->selectedHtmlTemplate(), std::optional<Template>(html));
    QCOMPARE(selection.size(), 0);
}

void TstViewModel::templateOrder_data()
{
    QTest::addColumn<QStringList>("names"); // a leading '*' marks a favourite
    QTest::addColumn<QList<int>>("order");  // indices into names

    QTest::newRow("favourite first, then by name")
        << QStringList{"b", "a", "*c"} << QList<int>{2, 1, 0};
    QTest::newRow("equal entries keep their order") << QStringList{"a", "a"} << QList<int>{0, 1};
    QTest::newRow("equal favourites keep their order")
        << QStringList{"a", "*a", "a", "*a"} << QList<int>{1, 3, 0, 2};
    QTest::newRow("favourite z before a") << QStringList{"a", "*z"} << QList<int>{1, 0};
    QTest::newRow("Zeta before alpha") << QStringList{"alpha", "Zeta"} << QList<int>{1, 0};
    QTest::newRow("Bericht before bericht")
        << QStringList{"bericht", "Bericht"} << QList<int>{1, 0};
    QTest::newRow("no natural number order") << QStringList{"9", "10"} << QList<int>{1, 0};
    QTest::newRow("prefix first") << QStringList{"ab", "a", ""} << QList<int>{2, 1, 0};
    QTest::newRow("umlaut after z") << QStringList{"ä", "z"} << QList<int>{1, 0};
    QTest::newRow("canonically equal names tie")
        << QStringList{"caf\u00e9", "cafe\u0301"} << QList<int>{0, 1};
    QTest::newRow("canonically equal names tie, reversed")
        << QStringList{"cafe\u0301", "caf\u00e9"} << QList<int>{0, 1};
    QTest::newRow("decomposed sorts as composed")
        << QStringList{"e\u0301", "f"} << QList<int>{1, 0};
    QTest::newRow("code point order beyond the BMP")
        << QStringList{"😀", "\uff21"} << QList<int>{1, 0};
}

void TstViewModel::templateOrder()
{
    QFETCH(QStringList, names);
    QFETCH(QList<int>, order);
    TestWorld world;
    const auto vm = world.makeViewModel();
    QList<Template> list;
    for (const QString &n : names) {
        const bool favorite = n.startsWith(u'*');
        list.append(makeTemplate(favorite ? n.mid(1) : n, TemplateType::Latex, favorite));
    }
    vm->setTemplates(list);
    QList<Template> expected;
    for (int i : order)
        expected.append(list[i]);
    QCOMPARE(vm->latexTemplates(), expected);
    QCOMPARE(vm->templates(), list); // sorting for display never reorders the library
}

void TstViewModel::templatesListedPerKind()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    QList<Template> list;
    for (TemplateType type : templateTypeAllCases) {
        list.append(makeTemplate(QStringLiteral("b"), type));
        list.append(makeTemplate(QStringLiteral("a"), type));
    }
    vm->setTemplates(list);
    const QList<QPair<TemplateType, QList<Template>>> perKind{
        {TemplateType::Html, vm->htmlTemplates()},
        {TemplateType::Css, vm->cssTemplates()},
        {TemplateType::Latex, vm->latexTemplates()},
        {TemplateType::DocxReference, vm->docxTemplates()}};
    for (const auto &[type, listed] : perKind) {
        QCOMPARE(listed.size(), 2);
        QCOMPARE(listed[0].type, type);
        QCOMPARE(listed[1].type, type);
        QCOMPARE(listed[0].name, QStringLiteral("a"));
    }
}

void TstViewModel::clearLog()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    QSignalSpy cleared(vm.get(), &PandocViewModel::logCleared);
    QSignalSpy changed(vm.get(), &PandocViewModel::logMessagesChanged);
    QSignalSpy appended(vm.get(), &PandocViewModel::logMessageAppended);

    // On an empty log the status still changes.
    vm->clearLog();
    QCOMPARE(vm->statusMessage(), QStringLiteral("Log gelöscht"));
    QCOMPARE(vm->statusColor(), StatusColor::Gray);
    QVERIFY(vm->logMessages().isEmpty());

    vm->setStatusMessage(QStringLiteral("Bereit"));
    vm->setStatusColor(StatusColor::Green);
    vm->appendLog(QStringLiteral("eins"));
    vm->appendLog(QStringLiteral("zwei"));
    QCOMPARE(appended.size(), 2);
    QCOMPARE(appended[1].first().toString(), QStringLiteral("zwei"));
    const qsizetype changesBefore = changed.size();
    vm->clearLog();
    QVERIFY(vm->logMessages().isEmpty());
    QCOMPARE(cleared.size(), 1);
    QCOMPARE(changed.size(), changesBefore + 1);
    QCOMPARE(vm->statusMessage(), QStringLiteral("Log gelöscht"));
    QCOMPARE(vm->statusColor(), StatusColor::Gray);
}

void TstViewModel::savePresetReplacesByExactName()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    QVERIFY(!QFileInfo::exists(world.storeRoot()));

    vm->setOutputFormat(QStringLiteral("html5"));
    vm->savePreset(QStringLiteral("Standard"));
    QVERIFY(QFileInfo::exists(world.path(kPresetsFile))); // the first save creates the folder
    const QUuid firstId = vm->presets().first().id;
    vm->savePreset(QStringLiteral("Web"));
    vm->savePreset(QStringLiteral("standard"));
    vm->savePreset(QStringLiteral(" Web"));
    vm->savePreset(QString());

    vm->setOutputFormat(QStringLiteral("pdf"));
    vm->setTableOfContents(true);
    vm->setAdditionalOptions(QStringLiteral("--toc-depth=1"));
    vm->savePreset(QStringLiteral("Standard"));

    const QList<Preset> presets = vm->presets();
    QCOMPARE(namesOf(presets), (QStringList{"Standard", "Web", "standard", " Web", QString()}));
    QCOMPARE(presets[0].outputFormat, QStringLiteral("pdf"));
    QCOMPARE(presets[0].tableOfContents, true);
    QCOMPARE(presets[0].additionalOptions, QStringLiteral("--toc-depth=1"));
    QVERIFY(presets[0].id != firstId);
    QCOMPARE(presets[1].outputFormat, QStringLiteral("html5"));
    QCOMPARE(presetsOnDisk(world), presets);

    QCOMPARE(vm->logMessages(),
             (QStringList{"✓ Preset gespeichert: Standard", "✓ Preset gespeichert: Web",
                          "✓ Preset gespeichert: standard", "✓ Preset gespeichert:  Web",
                          "✓ Preset gespeichert: ", "✓ Preset gespeichert: Standard"}));
    QCOMPARE(vm->selectedPreset(), std::nullopt);
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
}

void TstViewModel::savePresetStoresTemplateNamesOnlyWhenSelected()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->savePreset(QStringLiteral("Ohne"));

    const Template html = makeTemplate(QStringLiteral("Bericht"));
    const Template latex = makeTemplate(QStringLiteral("Brief"), TemplateType::Latex);
    vm->setTemplates({html, latex});
    vm->setSelectedHtmlTemplate(html);
    vm->setSelectedLatexTemplate(latex);
    // The output format is docx, so both pickers are hidden; the names are stored anyway.
    QVERIFY(!vm->showHtmlTemplate() && !vm->showLatexTemplate());
    vm->savePreset(QStringLiteral("Mit"));

    const QJsonArray onDisk = QJsonDocument::fromJson(readAll(world.path(kPresetsFile))).array();
    QCOMPARE(onDisk.size(), 2);
    const QJsonObject without = onDisk[0].toObject();
    for (const char *key : {"htmlTemplate", "cssFile", "latexTemplate", "docxReference"})
        QVERIFY2(!without.contains(QLatin1StringView(key)), key);
    const QJsonObject with = onDisk[1].toObject();
    QCOMPARE(with.value(QStringLiteral("htmlTemplate")).toString(), QStringLiteral("Bericht"));
    QCOMPARE(with.value(QStringLiteral("latexTemplate")).toString(), QStringLiteral("Brief"));
    QVERIFY(!with.contains(QStringLiteral("cssFile")));
    QVERIFY(!with.contains(QStringLiteral("docxReference")));
}

void TstViewModel::savePresetWhenFileCannotBeWritten()
{
    TestWorld world;
    world.writeFile(QStringLiteral("support"), "a file where the folder should be");
    const auto vm = world.makeViewModel();
    vm->savePreset(QStringLiteral("Standard"));
    // Not stored, so not listed either, and no success claimed.
    QVERIFY(vm->presets().isEmpty());
    const QStringList log = vm->logMessages();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log[0].startsWith(QStringLiteral("❌ Fehler beim Speichern der Presets: ")),
             qPrintable(log[0]));
    QVERIFY(log[0].size() > QStringLiteral("❌ Fehler beim Speichern der Presets: ").size());
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
}

void TstViewModel::brokenPresetFileIsKeptAsideOnFirstSave()
{
    TestWorld world;
    QJsonObject lacking = QJsonDocument::fromJson(encodeRecords(QList<Preset>{makePreset("Alt")}))
                              .array()[0]
                              .toObject();
    lacking.remove(QStringLiteral("standalone"));
    const QByteArray broken = QJsonDocument(QJsonArray{lacking}).toJson();
    world.writeFile(kPresetsFile, broken);

    const auto vm = world.makeViewModel();
    QVERIFY(vm->presets().isEmpty());
    QCOMPARE(vm->logMessages().size(), 1);
    QVERIFY(vm->logMessages()[0].startsWith(QStringLiteral("⚠ Fehler beim Laden der Presets: ")));
    QCOMPARE(readAll(world.path(kPresetsFile)), broken);

    vm->savePreset(QStringLiteral("Neu"));
    QCOMPARE(namesOf(presetsOnDisk(world)), QStringList{"Neu"});
    const QStringList log = vm->logMessages();
    QCOMPARE(log.size(), 3);
    const QString prefix = QStringLiteral("⚠ ");
    QVERIFY2(log[1].startsWith(prefix), qPrintable(log[1]));
    const QStringList kept = QDir(world.path(QStringLiteral("support/Velunor")))
                                 .entryList({QStringLiteral("presets.json.unreadable-*")});
    QCOMPARE(kept.size(), 1);
    QVERIFY2(log[1].contains(kept.first()), qPrintable(log[1]));
    QCOMPARE(readAll(world.path(QStringLiteral("support/Velunor/") + kept.first())), broken);
    QCOMPARE(log[2], QStringLiteral("✓ Preset gespeichert: Neu"));

    // Only the first save sets a file aside.
    vm->savePreset(QStringLiteral("Noch eins"));
    QCOMPARE(vm->logMessages().size(), 4);
    QCOMPARE(QDir(world.path(QStringLiteral("support/Velunor"))).entryList(QDir::Files).size(), 2);
}

void TstViewModel::loadPresetAppliesSettings()
{
    TestWorld world;
    const auto vm = world.makeViewModel();
    vm->setInputFiles(urls({"/tmp/Bericht.md"}));
    vm->setOutputFile(QStringLiteral("/tmp/Bericht.docx"));
    const Preset selected = makePreset(QStringLiteral("Auswahl"));
    vm->setSelectedPreset(selected);
    vm->setStatusMessage(QStringLiteral("Status"));

    Preset web = makePreset(QStringLiteral("Web"));
    web.inputFormat = QStringLiteral("gfm (GitHub Markdown)");
    web.outputFormat = QStringLiteral("html5");
    vm->loadPreset(web);

    QCOMPARE(vm->inputFormat(), web.inputFormat);
    QCOMPARE(vm->outputFormat(), QStringLiteral("html5"));
    QCOMPARE(vm->standalone(), false);
    QCOMPARE(vm->tableOfContents(), true);
    QCOMPARE(vm->numberSections(), true);
    QCOMPARE(vm->additionalOptions(), QStringLiteral("--toc-depth=2"));
    QVERIFY(vm->showHtmlTemplate());
    QVERIFY(vm->showCssFile());
    QVERIFY(!vm->showLatexTemplate());
    QVERIFY(!vm->showDocxReference());
    // What the preset does not carry stays as it was.
    QCOMPARE(vm->inputFiles(), urls({"/tmp/Bericht.md"}));
    QCOMPARE(vm->outputFile(), QStringLiteral("/tmp/Bericht.docx"));
    QCOMPARE(vm->selectedPreset(), std::optional<Preset>(selected));
    QCOMPARE(vm->statusMessage(), QStringLiteral("Status"));
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("✓ Preset geladen: Web")});
}

void TstViewModel::loadPresetFindsTemplatesByName_data()
{
    QTest::addColumn<QStringList>("library"); // "kind name", '*' before the name: favourite
    QTest::addColumn<int>("selectedBefore");  // index into library, -1: none
    QTest::addColumn<QString>("presetName");  // the preset's htmlTemplate; "-" for absent
    QTest::addColumn<int>("selectedAfter");   // index into library, -1: none

    const QStringList two{"html Bericht", "html Brief"};
    QTest::newRow("found") << two << -1 << "Brief" << 1;
    QTest::newRow("replaces the selection") << two << 0 << "Brief" << 1;
    QTest::newRow("gone: selection cleared") << two << 0 << "Alt" << -1;
    QTest::newRow("absent: selection kept") << two << 0 << "-" << 0;
    QTest::newRow("absent, nothing selected") << two << -1 << "-" << -1;
    QTest::newRow("names match exactly") << two << 0 << "brief" << -1;
    QTest::newRow("other kind does not count")
        << QStringList{"css Brief", "html Bericht"} << 1 << "Brief" << -1;
    QTest::newRow("same name: favourite wins")
        << QStringList{"html Brief", "html *Brief"} << -1 << "Brief" << 1;
    QTest::newRow("same name, both favourites: library order")
        << QStringList{"html *Brief", "html *Brief"} << 1 << "Brief" << 0;
    QTest::newRow("same name, no favourite: library order")
        << QStringList{"html Brief", "html Bericht", "html Brief"} << 2 << "Brief" << 0;
}

void TstViewModel::loadPresetFindsTemplatesByName()
{
    QFETCH(QStringList, library);
    QFETCH(int, selectedBefore);
    QFETCH(QString, presetName);
    QFETCH(int, selectedAfter);

    TestWorld world;
    const auto vm = world.makeViewModel();
    QList<Template> list;
    for (const QString &entry : library) {
        QString name = entry.section(u' ', 1);
        const bool favorite = name.startsWith(u'*');
        list.append(makeTemplate(favorite ? name.mid(1) : name,
                                 *templateTypeFromRawValue(entry.section(u' ', 0, 0)), favorite));
    }
    vm->setTemplates(list);
    if (selectedBefore >= 0)
        vm->setSelectedHtmlTemplate(list[selectedBefore]);

    Preset preset = makePreset(QStringLiteral("P"));
    if (presetName != u"-")
        preset.htmlTemplate = presetName;
    vm->loadPreset(preset);

    const std::optional<Template> expected =
        selectedAfter < 0 ? std::nullopt : std::optional<Template>(list[selectedAfter]);
    QCOMPARE(vm->selectedHtmlTemplate(), expected);
    QCOMPARE(vm->selectedCssTemplate(), std::nullopt);
}

void TstViewModel::deleteSelectedPreset()
{
    TestWorld world;
    const auto vm = world.makeViewModel();

    vm->deleteSelectedPreset();
    QVERIFY(vm->logMessages().isEmpty());
    QVERIFY(!QFileInfo::exists(world.storeRoot()));

    vm->savePreset(QStringLiteral("A"));
    vm->savePreset(QStringLiteral("B"));
    vm->savePreset(QStringLiteral("C"));
    vm->clearLog();
    vm->setSelectedPreset(vm->presets()[1]);
    QSignalSpy selection(vm.get(), &PandocViewModel::selectedPresetChanged);
    vm->deleteSelectedPreset();

    QCOMPARE(namesOf(vm->presets()), (QStringList{"A", "C"}));
    QCOMPARE(vm->selectedPreset(), std::nullopt);
    QCOMPARE(selection.size(), 1);
    QCOMPARE(presetsOnDisk(world), vm->presets());
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("✓ Preset gelöscht: B")});
}

void TstViewModel::deleteWithStaleSelectionStillRewritesAndLogs()
{
    TestWorld world;
    // A file written elsewhere may hold one id twice; deleting removes both.
    Preset a = makePreset(QStringLiteral("A"));
    Preset twin = makePreset(QStringLiteral("A-Kopie"));
    twin.id = a.id;
    world.writeFile(kPresetsFile,
                    encodeRecords(QList<Preset>{a, makePreset(QStringLiteral("Standard")), twin}));
    const auto vm = world.makeViewModel();
    QCOMPARE(vm->presets().size(), 3);
    vm->setSelectedPreset(vm->presets()[0]);
    vm->deleteSelectedPreset();
    QCOMPARE(namesOf(vm->presets()), QStringList{"Standard"});

    // Saving again under the selected name gives the record a new id, so the selection is stale.
    vm->setSelectedPreset(vm->presets()[0]);
    vm->savePreset(QStringLiteral("Standard"));
    QVERIFY(vm->presets()[0].id != vm->selectedPreset()->id);
    QFile::remove(world.path(kPresetsFile));
    vm->clearLog();

    vm->deleteSelectedPreset();
    QCOMPARE(namesOf(vm->presets()), QStringList{"Standard"});
    QCOMPARE(vm->selectedPreset(), std::nullopt);
    QCOMPARE(presetsOnDisk(world), vm->presets()); // rewritten
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("✓ Preset gelöscht: Standard")});
}

void TstViewModel::templateIndexLoadsInFileOrder()
{
    TestWorld world;
    const QList<Template> list{makeTemplate(QStringLiteral("z"), TemplateType::Css, true),
                               makeTemplate(QStringLiteral("a")),
                               makeTemplate(QStringLiteral("m"), TemplateType::DocxReference)};
    world.writeFile(kTemplatesFile, encodeRecords(list));
    const QList<Preset> presets{makePreset(QStringLiteral("B")), makePreset(QStringLiteral("A"))};
    world.writeFile(kPresetsFile, encodeRecords(presets));

    const auto vm = world.makeViewModel();
    QCOMPARE(vm->templates(), list);
    QCOMPARE(vm->presets(), presets);
    QVERIFY(vm->logMessages().isEmpty());
}

void TstViewModel::constructionLogsUnreadableFiles()
{
    TestWorld world;
    QByteArray index = encodeRecords(
        QList<Template>{makeTemplate(QStringLiteral("Firma"), TemplateType::DocxReference)});
    index.replace("\"docx-reference\"", "\"docx\"");
    world.writeFile(kTemplatesFile, index);
    world.writeFile(kPresetsFile, "");

    const auto vm = world.makeViewModel();
    QVERIFY(vm->templates().isEmpty());
    QVERIFY(vm->presets().isEmpty());
    const QStringList log = vm->logMessages();
    QCOMPARE(log.size(), 2);
    QVERIFY2(log[0].startsWith(QStringLiteral("⚠ Fehler beim Laden der Templates: ")),
             qPrintable(log[0]));
    QVERIFY2(log[1].startsWith(QStringLiteral("⚠ Fehler beim Laden der Presets: ")),
             qPrintable(log[1]));
    // Construction still ends with the flags for docx.
    QVERIFY(vm->showDocxReference());
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
    // Nothing on disk is touched by loading.
    QCOMPARE(readAll(world.path(kTemplatesFile)), index);
    QCOMPARE(QDir(world.path(QStringLiteral("support/Velunor"))).entryList(QDir::Files).size(), 2);
}

void TstViewModel::saveTemplatesCreatesFolderAndKeepsBrokenIndex()
{
    {
        TestWorld world;
        const auto vm = world.makeViewModel();
        vm->setTemplates({makeTemplate(QStringLiteral("a"))});
        vm->saveTemplates();
        QCOMPARE(templatesOnDisk(world), vm->templates());
        QVERIFY(vm->logMessages().isEmpty());
    }
    {
        TestWorld world;
        world.writeFile(kTemplatesFile, "[{\"id\":");
        const auto vm = world.makeViewModel();
        QCOMPARE(vm->logMessages().size(), 1);
        vm->setTemplates({makeTemplate(QStringLiteral("neu"))});
        vm->saveTemplates();
        QCOMPARE(templatesOnDisk(world), vm->templates());
        QCOMPARE(vm->logMessages().size(), 2);
        const QString line = vm->logMessages()[1];
        QVERIFY2(line.startsWith(QStringLiteral("⚠ ")), qPrintable(line));
        QVERIFY2(line.contains(QStringLiteral("templates.json.unreadable-")), qPrintable(line));
    }
    {
        TestWorld world;
        world.writeFile(QStringLiteral("support"), "");
        const auto vm = world.makeViewModel();
        vm->setTemplates({makeTemplate(QStringLiteral("a"))});
        vm->saveTemplates();
        // The list shows what is stored: nothing.
        QVERIFY(vm->templates().isEmpty());
        QCOMPARE(vm->logMessages().size(), 1);
        QVERIFY(vm->logMessages()[0].startsWith(
            QStringLiteral("❌ Fehler beim Speichern der Templates: ")));
    }
}

void TstViewModel::updateTemplateLastUsed()
{
    TestWorld world;
    const Template html = makeTemplate(QStringLiteral("Bericht"));
    const Template css = makeTemplate(QStringLiteral("Stil"), TemplateType::Css);
    world.writeFile(kTemplatesFile, encodeRecords(QList<Template>{css, html}));
    const auto vm = world.makeViewModel();
    vm->setSelectedHtmlTemplate(vm->templates()[1]);
    QSignalSpy changed(vm.get(), &PandocViewModel::templatesChanged);

    const QDateTime before = QDateTime::currentDateTimeUtc();
    vm->updateTemplateLastUsed(html);
    const QDateTime after = QDateTime::currentDateTimeUtc();

    QCOMPARE(changed.size(), 1);
    const Template stamped = vm->templates()[1];
    QCOMPARE(stamped.id, html.id);
    QVERIFY(stamped.lastUsed >= before && stamped.lastUsed <= after);
    QCOMPARE(vm->templates()[0], css);
    // The selection keeps its own copy with the older time.
    QCOMPARE(vm->selectedHtmlTemplate(), std::optional<Template>(html));
    QVERIFY(*vm->selectedHtmlTemplate() != stamped);
    QCOMPARE(templatesOnDisk(world), vm->templates());
    QVERIFY(vm->logMessages().isEmpty());
}

void TstViewModel::updateTemplateLastUsedForUnknownRecord()
{
    TestWorld world;
    const Template kept = makeTemplate(QStringLiteral("Bericht"));
    const QByteArray index = encodeRecords(QList<Template>{kept});
    world.writeFile(kTemplatesFile, index);
    const auto vm = world.makeViewModel();
    QFile::remove(world.path(kTemplatesFile));
    QSignalSpy changed(vm.get(), &PandocViewModel::templatesChanged);

    Template deleted = kept;
    deleted.id = QUuid::createUuid();
    vm->updateTemplateLastUsed(deleted);
    QCOMPARE(changed.size(), 0);
    QCOMPARE(vm->templates(), QList<Template>{kept});
    QVERIFY(!QFileInfo::exists(world.path(kTemplatesFile))); // nothing written
    QVERIFY(vm->logMessages().isEmpty());
}

void TstViewModel::noApplicationSupportDirectory()
{
    TestWorld world;
    ViewModelEnvironment env = world.environment();
    env.store = StoreLocation();
    PandocViewModel vm(env);
    vm.savePreset(QStringLiteral("Standard"));
    vm.setTemplates({makeTemplate(QStringLiteral("a"))});
    vm.saveTemplates();
    QCOMPARE(vm.presets().size(), 1);
    QCOMPARE(vm.logMessages(), QStringList{QStringLiteral("✓ Preset gespeichert: Standard")});
    QVERIFY(!QFileInfo::exists(QStringLiteral("/Velunor")));
}

QTEST_GUILESS_MAIN(TstViewModel)
#include "tst_viewmodel.moc"
