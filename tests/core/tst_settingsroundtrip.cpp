// One settings value, three forms: preset, defaults file, back. Nothing may be lost or change
// its meaning on the way.
#include "conversionsettings.h"
#include "defaultsfile.h"
#include "optioncatalog.h"
#include "recordjson.h"
#include "settingsdefaults.h"
#include "shellwords.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(ConversionSettings)

namespace {

Template libraryEntry(const QTemporaryDir &dir, const QString &name, TemplateType type)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write("x");
    return {QUuid::createUuid(), name, type, path, false, QDateTime::currentDateTimeUtc(), {}};
}

// The options as pandoc understands them: order matters within a key, not across keys; a
// bare "-M key" is the key set to true.
QStringList meaning(const QStringList &words)
{
    QStringList uses;
    for (const auto &use : PandocOptions::parse(words).uses) {
        QString value = use.value.value_or(QString());
        if (PandocOptions::canonicalName(*use.option) == u"metadata" && !value.contains(u'='))
            value += QStringLiteral("=true");
        uses << PandocOptions::canonicalName(*use.option) + u'=' + value;
    }
    uses.sort();
    return uses;
}

// Everything a conversion passes beyond its named fields.
QStringList optionWords(const ConversionSettings &s)
{
    return controlArguments(s) + splitShellWords(s.additionalOptions).words;
}

} // namespace

class TstSettingsRoundTrip final : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void extensionsOnTheFormat_data();
    void extensionsOnTheFormat();

private:
    QTemporaryDir m_dir;
    QList<Template> m_library;
};

void TstSettingsRoundTrip::roundTrip_data()
{
    m_library = {libraryEntry(m_dir, QStringLiteral("seite.html"), TemplateType::Html),
                 libraryEntry(m_dir, QStringLiteral("stil.css"), TemplateType::Css),
                 libraryEntry(m_dir, QStringLiteral("buch.tex"), TemplateType::Latex),
                 libraryEntry(m_dir, QStringLiteral("ref.docx"), TemplateType::DocxReference)};
    QTest::addColumn<ConversionSettings>("settings");
    QTest::addColumn<QStringList>("automaticPdf");

    QTest::newRow("as the window opens") << ConversionSettings{} << QStringList();
    ConversionSettings html;
    html.inputFormat = QStringLiteral("markdown");
    html.outputFormat = QStringLiteral("html5");
    html.htmlTemplate = m_library[0];
    html.cssTemplate = m_library[1];
    html.tableOfContents = true;
    html.additionalOptions = QStringLiteral("-M entwurf=false -M final -V lang=de --toc-depth=2 "
                                            "--mathjax --columns=60");
    html.options.insert(QStringLiteral("shift-heading-level-by"), QStringLiteral("-1"));
    QTest::newRow("html, templates, typed metadata") << html << QStringList();
    ConversionSettings docx;
    docx.docxTemplate = m_library[3];
    docx.standalone = false;
    docx.citations = {m_dir.filePath(QStringLiteral("refs.bib")),
                      m_dir.filePath(QStringLiteral("stil.csl")), true};
    QTest::newRow("docx with citations") << docx << QStringList();
    ConversionSettings pdf;
    pdf.outputFormat = QStringLiteral("pdf");
    pdf.latexTemplate = m_library[2];
    pdf.numberSections = true;
    pdf.pdfEngine = QStringLiteral("lualatex");
    pdf.additionalOptions = QStringLiteral("-V papersize=a4 --include-in-header=kopf.tex");
    QTest::newRow("pdf with its own engine") << pdf << QStringList();
    ConversionSettings automatic = pdf;
    automatic.pdfEngine = PdfSetup::kAutomatic;
    ConversionSettings controls;
    controls.inputFormat = QStringLiteral("markdown");
    controls.outputFormat = QStringLiteral("html5");
    controls.inputExtensions = QStringLiteral("+smart-auto_identifiers");
    controls.outputExtensions = QStringLiteral("-raw_html");
    controls.citations = {m_dir.filePath(QStringLiteral("refs.bib")), {}, true};
    // The citation step moved before the second filter; a list of authors; typed values.
    controls.filters = QStringList{m_dir.filePath(QStringLiteral("zähler.lua")),
                                   kCiteprocStep.toString(), QStringLiteral("pandoc-crossref")};
    controls.metadata = {{QStringLiteral("title"), QStringLiteral("Bericht: \"Teil 1\"")},
                         {QStringLiteral("author"), QStringLiteral("Ada")},
                         {QStringLiteral("author"), QStringLiteral("Grace")},
                         {QStringLiteral("entwurf"), QStringLiteral("false")}};
    controls.variables = {{QStringLiteral("maxwidth"), QStringLiteral("40em")}};
    for (const auto &[option, value] : {std::pair{"toc-depth", "2"},
                                        {"katex", ""},
                                        {"wrap", "none"},
                                        {"dpi", "150"},
                                        {"reference-location", "section"},
                                        {"self-contained", ""},
                                        {"no-highlight", ""}})
        controls.options.insert(QString::fromLatin1(option), QString::fromLatin1(value));
    QTest::newRow("every control") << controls << QStringList();
    QTest::newRow("pdf on Automatisch")
        << automatic
        << QStringList{QStringLiteral("--pdf-engine=/usr/bin/xelatex"),
                       QStringLiteral("--include-in-header=") +
                           m_dir.filePath(QStringLiteral("script-fonts-cjk.tex"))};
}

void TstSettingsRoundTrip::roundTrip()
{
    QFETCH(ConversionSettings, settings);
    QFETCH(QStringList, automaticPdf);
    const QStringList inputs{QStringLiteral("auto (automatisch)"), QStringLiteral("markdown")};
    const QStringList outputs{QStringLiteral("docx"), QStringLiteral("html5"),
                              QStringLiteral("pdf")};

    // settings -> preset -> stored preset -> settings
    const Preset preset = presetFromSettings(settings, QStringLiteral("P"));
    QList<Preset> stored;
    QString error;
    QVERIFY(decodeRecords(encodeRecords(QList<Preset>{preset}), &stored, &error));
    QCOMPARE(stored, QList<Preset>{preset});
    QCOMPARE(settingsFromPreset(preset, m_library, ConversionSettings{}), settings);

    // settings -> defaults file -> preset -> settings
    const DefaultsSettings defaults = defaultsFromSettings(
        settings, splitShellWords(settings.additionalOptions).words, automaticPdf, nullptr);
    const QString path = m_dir.filePath(QStringLiteral("export.yaml"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(writeDefaults(defaults, QStringLiteral("P")).yaml);
    file.close();
    const DefaultsImport read = readDefaults(path);
    QVERIFY2(!read.error, qPrintable(read.error.value_or(QString())));
    QVERIFY(read.unknownKeys.isEmpty());
    const Preset imported =
        presetFromDefaults(read.settings, read.automaticPdfEngine, m_library, inputs, outputs);
    ConversionSettings back = settingsFromPreset(imported, m_library, ConversionSettings{});
    // Options typed among the extra ones come back in their controls, after the controls' own.
    QCOMPARE(meaning(optionWords(back)), meaning(optionWords(settings)));
    ConversionSettings expected = settings;
    QStringList typed = splitShellWords(settings.additionalOptions).words;
    takeControls(typed, expected);
    QCOMPARE(meaning(splitShellWords(back.additionalOptions).words), meaning(typed));
    back.additionalOptions = expected.additionalOptions;
    QCOMPARE(back, expected);
}

void TstSettingsRoundTrip::extensionsOnTheFormat_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("changes");
    QTest::addColumn<QString>("written");
    QTest::newRow("changes") << "markdown"
                             << "+smart-raw_html"
                             << "markdown+smart-raw_html";
    QTest::newRow("auto takes none") << "auto"
                                     << "+smart"
                                     << "auto";
    // A stored preset is not trusted to hold only extension names.
    QTest::newRow("junk dropped") << "markdown"
                                  << "+smart x;\n+ -raw_html"
                                  << "markdown+smart-raw_html";
    QTest::newRow("split back") << "gfm"
                                << ""
                                << "gfm";
}

void TstSettingsRoundTrip::extensionsOnTheFormat()
{
    QFETCH(QString, format);
    QFETCH(QString, changes);
    QFETCH(QString, written);
    QCOMPARE(formatWithExtensions(format, changes), written);
    if (format != u"auto")
        QCOMPARE(splitExtensions(written), std::make_pair(format, written.mid(format.size())));
}

QTEST_GUILESS_MAIN(TstSettingsRoundTrip)
#include "tst_settingsroundtrip.moc"
