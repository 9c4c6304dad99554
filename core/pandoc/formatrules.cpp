#include "formatrules.h"

#include "formatname.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace FormatRules {

namespace {

// pandoc lets a format carry extensions ("markdown+smart-raw_html"); they do not change the file
// kind.
QString baseFormat(const QString &name)
{
    const qsizetype cut = name.indexOf(QRegularExpression(QStringLiteral("[+-]")), 1);
    return cut < 0 ? name : name.left(cut);
}

const QHash<QString, QString> &extensions()
{
    static const QHash<QString, QString> table{
        {QStringLiteral("ansi"), QStringLiteral("txt")},
        {QStringLiteral("asciidoc"), QStringLiteral("adoc")},
        {QStringLiteral("asciidoc_legacy"), QStringLiteral("adoc")},
        {QStringLiteral("asciidoctor"), QStringLiteral("adoc")},
        {QStringLiteral("beamer"), QStringLiteral("tex")},
        {QStringLiteral("biblatex"), QStringLiteral("bib")},
        {QStringLiteral("bibtex"), QStringLiteral("bib")},
        {QStringLiteral("chunkedhtml"), QStringLiteral("zip")},
        {QStringLiteral("commonmark"), QStringLiteral("md")},
        {QStringLiteral("commonmark_x"), QStringLiteral("md")},
        {QStringLiteral("context"), QStringLiteral("tex")},
        {QStringLiteral("csljson"), QStringLiteral("json")},
        {QStringLiteral("djot"), QStringLiteral("dj")},
        {QStringLiteral("docbook"), QStringLiteral("xml")},
        {QStringLiteral("docbook4"), QStringLiteral("xml")},
        {QStringLiteral("docbook5"), QStringLiteral("xml")},
        {QStringLiteral("dokuwiki"), QStringLiteral("txt")},
        {QStringLiteral("dzslides"), QStringLiteral("html")},
        {QStringLiteral("epub2"), QStringLiteral("epub")},
        {QStringLiteral("epub3"), QStringLiteral("epub")},
        {QStringLiteral("fb2"), QStringLiteral("fb2")},
        {QStringLiteral("haddock"), QStringLiteral("txt")},
        {QStringLiteral("html4"), QStringLiteral("html")},
        {QStringLiteral("icml"), QStringLiteral("icml")},
        {QStringLiteral("ipynb"), QStringLiteral("ipynb")},
        {QStringLiteral("jats"), QStringLiteral("xml")},
        {QStringLiteral("jats_archiving"), QStringLiteral("xml")},
        {QStringLiteral("jats_articleauthoring"), QStringLiteral("xml")},
        {QStringLiteral("jats_publishing"), QStringLiteral("xml")},
        {QStringLiteral("jira"), QStringLiteral("txt")},
        {QStringLiteral("json"), QStringLiteral("json")},
        {QStringLiteral("man"), QStringLiteral("1")},
        {QStringLiteral("markdown"), QStringLiteral("md")},
        {QStringLiteral("gfm"), QStringLiteral("md")},
        {QStringLiteral("latex"), QStringLiteral("tex")},
        {QStringLiteral("plain"), QStringLiteral("txt")},
        {QStringLiteral("html5"), QStringLiteral("html")},
        {QStringLiteral("markdown_github"), QStringLiteral("md")},
        {QStringLiteral("markdown_mmd"), QStringLiteral("md")},
        {QStringLiteral("markdown_phpextra"), QStringLiteral("md")},
        {QStringLiteral("markdown_strict"), QStringLiteral("md")},
        {QStringLiteral("markua"), QStringLiteral("md")},
        {QStringLiteral("mediawiki"), QStringLiteral("wiki")},
        {QStringLiteral("ms"), QStringLiteral("ms")},
        {QStringLiteral("muse"), QStringLiteral("muse")},
        {QStringLiteral("native"), QStringLiteral("native")},
        {QStringLiteral("opendocument"), QStringLiteral("fodt")},
        {QStringLiteral("opml"), QStringLiteral("opml")},
        {QStringLiteral("org"), QStringLiteral("org")},
        {QStringLiteral("revealjs"), QStringLiteral("html")},
        {QStringLiteral("s5"), QStringLiteral("html")},
        {QStringLiteral("slideous"), QStringLiteral("html")},
        {QStringLiteral("slidy"), QStringLiteral("html")},
        {QStringLiteral("tei"), QStringLiteral("xml")},
        {QStringLiteral("texinfo"), QStringLiteral("texi")},
        {QStringLiteral("textile"), QStringLiteral("textile")},
        {QStringLiteral("typst"), QStringLiteral("typ")},
        {QStringLiteral("vimdoc"), QStringLiteral("txt")},
        {QStringLiteral("xwiki"), QStringLiteral("txt")},
        {QStringLiteral("zimwiki"), QStringLiteral("txt")},
    };
    return table;
}

bool isBuiltInOutput(const QString &pickerValue)
{
    return outputFormatChoices().contains(pickerValue);
}

} // namespace

const QStringList &inputFormatChoices()
{
    static const QStringList choices{QStringLiteral("auto (automatisch)"),
                                     QStringLiteral("markdown"),
                                     QStringLiteral("html"),
                                     QStringLiteral("latex"),
                                     QStringLiteral("docx"),
                                     QStringLiteral("odt"),
                                     QStringLiteral("rst"),
                                     QStringLiteral("textile"),
                                     QStringLiteral("org"),
                                     QStringLiteral("mediawiki")};
    return choices;
}

const QStringList &outputFormatChoices()
{
    static const QStringList choices{QStringLiteral("docx"),
                                     QStringLiteral("html"),
                                     QStringLiteral("html5"),
                                     QStringLiteral("pdf"),
                                     QStringLiteral("latex"),
                                     QStringLiteral("markdown"),
                                     QStringLiteral("gfm (GitHub Markdown)"),
                                     QStringLiteral("rst"),
                                     QStringLiteral("odt"),
                                     QStringLiteral("epub"),
                                     QStringLiteral("pptx"),
                                     QStringLiteral("rtf"),
                                     QStringLiteral("plain (txt)")};
    return choices;
}

QStringList extraFormats(const QStringList &builtIn, const QStringList &listed)
{
    // A set, so a long list from a strange converter costs linear time, not quadratic.
    QSet<QString> seen;
    for (const QString &entry : builtIn)
        seen.insert(converterFormatName(entry));
    QStringList extra;
    for (const QString &format : listed) {
        if (format.isEmpty() || seen.contains(format))
            continue;
        seen.insert(format);
        extra << format;
    }
    return extra;
}

QString outputExtension(const QString &pickerValue)
{
    // The picker's own entries too: html5 writes HTML, and a file manager knows .html, not
    // .html5. A format the table lacks still gets a name that says what it holds.
    const QString base = baseFormat(converterFormatName(pickerValue));
    return extensions().value(base, base);
}

TemplateFamily templateFamily(const QString &pickerValue)
{
    const QString key = converterFormatName(pickerValue).toLower();
    if (key == u"html" || key == u"html5")
        return TemplateFamily::Html;
    if (key == u"pdf" || key == u"latex")
        return TemplateFamily::Latex;
    if (key == u"docx")
        return TemplateFamily::Docx;
    if (isBuiltInOutput(pickerValue))
        return TemplateFamily::None;
    static const QStringList htmlKin{QStringLiteral("revealjs"), QStringLiteral("slidy"),
                                     QStringLiteral("s5"),       QStringLiteral("slideous"),
                                     QStringLiteral("dzslides"), QStringLiteral("chunkedhtml")};
    const QString base = baseFormat(key);
    if (htmlKin.contains(base) || base == u"html" || base == u"html4" || base == u"html5")
        return TemplateFamily::Html;
    if (base == u"beamer" || base == u"latex")
        return TemplateFamily::Latex;
    if (base == u"docx")
        return TemplateFamily::Docx;
    return TemplateFamily::None;
}

bool isKnownFormat(const QString &pickerValue, const QStringList &listed)
{
    const QString base = baseFormat(converterFormatName(pickerValue));
    return listed.isEmpty() || base == u"auto" || listed.contains(base);
}

QString saveFilter(const QString &pickerValue)
{
    const QString name = converterFormatName(pickerValue);
    if (name == u"docx")
        return QStringLiteral("Word-Dokument (*.docx)");
    if (name == u"html" || name == u"html5")
        return QStringLiteral("HTML-Dokument (*.html *.htm)");
    if (name == u"pdf")
        return QStringLiteral("PDF-Dokument (*.pdf)");
    if (name == u"latex")
        return QStringLiteral("LaTeX-Dokument (*.tex)");
    if (name == u"markdown")
        return QStringLiteral("Markdown-Dokument (*.md)");
    return QStringLiteral("Alle Dateien (*)");
}

} // namespace FormatRules
