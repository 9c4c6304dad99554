#include "optionpage.h"

#include "converteranswers.h"
#include "converterservice.h"
#include "formatname.h"
#include "formatrules.h"
#include "formcolumns.h"
#include "pandocviewmodel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

using Family = FormatRules::TemplateFamily;

QString written(const QString &format)
{
    return converterFormatName(format);
}

bool isHtml(const QString &f)
{
    return FormatRules::templateFamily(f) == Family::Html || written(f).startsWith(u"epub");
}

bool isLatex(const QString &f)
{
    return FormatRules::templateFamily(f) == Family::Latex;
}

bool isSlides(const QString &f)
{
    static const QStringList slides{"revealjs", "slidy",  "s5",  "dzslides",
                                    "slideous", "beamer", "pptx"};
    return slides.contains(written(f));
}

bool isEpub(const QString &f)
{
    return written(f).startsWith(u"epub");
}

// Formats whose output is text a reader sees line by line.
bool isText(const QString &f)
{
    static const QStringList packed{"docx", "odt", "pdf", "pptx", "epub", "epub2", "epub3"};
    return !packed.contains(written(f));
}

bool always(const QString &)
{
    return true;
}

} // namespace

OptionPage::OptionPage(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("optionPage"));
    m_stack = new QVBoxLayout(this);

    addRow(QStringLiteral("Tiefe des Inhaltsverzeichnisses"),
           numberControl(QStringLiteral("tocDepthSpinBox"), QStringLiteral("toc-depth"), 0, 6,
                         QStringLiteral("Standard (3)")),
           QStringLiteral("Bis zu welcher Überschriftenebene das Inhaltsverzeichnis reicht."),
           QStringLiteral("--toc-depth: Specify the number of section levels to include in the "
                          "table of contents. The default is 3."),
           always);
    addRow(QStringLiteral("Oberste Gliederungsebene"),
           choiceControl(QStringLiteral("topLevelDivisionPicker"),
                         {{QStringLiteral("Standard"), {}, {}},
                          {QStringLiteral("Teil"), QStringLiteral("top-level-division"),
                           QStringLiteral("part")},
                          {QStringLiteral("Kapitel"), QStringLiteral("top-level-division"),
                           QStringLiteral("chapter")},
                          {QStringLiteral("Abschnitt"), QStringLiteral("top-level-division"),
                           QStringLiteral("section")}}),
           QStringLiteral("Was eine Überschrift der Ebene 1 in LaTeX und PDF wird."),
           QStringLiteral("--top-level-division: Treat top-level headings as the given division "
                          "type in LaTeX, ConTeXt, DocBook, and TEI output."),
           isLatex);
    m_highlight =
        static_cast<QComboBox *>(choiceControl(QStringLiteral("highlightStylePicker"), {}));
    addRow(QStringLiteral("Syntaxhervorhebung"), m_highlight,
           QStringLiteral("Farben für Quelltext-Blöcke; „keine“ schaltet sie ab."),
           QStringLiteral("--highlight-style: Specifies the coloring style to be used in "
                          "highlighted source code. --no-highlight: Disables syntax "
                          "highlighting for code blocks and inlines."),
           always);
    refreshHighlightStyles();
    connect(&m_viewModel->converterService().answers(), &ConverterAnswers::answered, this,
            &OptionPage::refreshHighlightStyles);
    addRow(QStringLiteral("Formeln in HTML"),
           choiceControl(QStringLiteral("mathMethodPicker"),
                         {{QStringLiteral("Einfach (Text)"), {}, {}},
                          {QStringLiteral("MathJax"), QStringLiteral("mathjax"), {}},
                          {QStringLiteral("KaTeX"), QStringLiteral("katex"), {}},
                          {QStringLiteral("MathML"), QStringLiteral("mathml"), {}}}),
           QStringLiteral("Wie TeX-Formeln auf der Seite erscheinen."),
           QStringLiteral("--mathjax, --katex, --mathml: Use MathJax, KaTeX or MathML to "
                          "display embedded TeX math in HTML output. Without them, math is "
                          "rendered as plain text."),
           isHtml);
    addRow(QStringLiteral("Eigenständige Datei"),
           switchControl(QStringLiteral("selfContainedCheck"),
                         QStringLiteral("Bilder, Stile und Skripte in die HTML-Datei einbetten"),
                         [this] {
                             // The newer name where the converter has it.
                             return m_viewModel->converterService().answers().knowsOption(
                                        QStringLiteral("embed-resources"))
                                        ? QStringLiteral("embed-resources")
                                        : QStringLiteral("self-contained");
                         }),
           QStringLiteral("Eine Datei ohne Verweise auf andere Dateien, gut zum Weitergeben."),
           QStringLiteral("--self-contained / --embed-resources: Produce a standalone HTML file "
                          "with no external dependencies, using data: URIs to incorporate the "
                          "contents of linked scripts, stylesheets, images, and videos."),
           isHtml);
    addRow(QStringLiteral("Zeilenumbruch"),
           choiceControl(
               QStringLiteral("wrapPicker"),
               {{QStringLiteral("Standard (automatisch)"), {}, {}},
                {QStringLiteral("Nicht umbrechen"), QStringLiteral("wrap"), QStringLiteral("none")},
                {QStringLiteral("Wie im Dokument"), QStringLiteral("wrap"),
                 QStringLiteral("preserve")}}),
           QStringLiteral("Ob lange Zeilen im erzeugten Text umbrochen werden."),
           QStringLiteral("--wrap=auto|none|preserve: Determine how text is wrapped in the "
                          "output (the source code, not the rendered version)."),
           isText);
    addRow(QStringLiteral("Zeilenbreite"),
           numberControl(QStringLiteral("columnsSpinBox"), QStringLiteral("columns"), 0, 1000,
                         QStringLiteral("Standard (72)")),
           QStringLiteral("Zeichen pro Zeile beim Umbrechen."),
           QStringLiteral("--columns: Specify length of lines in characters. This affects text "
                          "wrapping in the generated source code."),
           isText);
    addRow(QStringLiteral("Fußnoten stehen"),
           choiceControl(QStringLiteral("referenceLocationPicker"),
                         {{QStringLiteral("Standard (am Dokumentende)"), {}, {}},
                          {QStringLiteral("Am Ende des Absatzes"),
                           QStringLiteral("reference-location"), QStringLiteral("block")},
                          {QStringLiteral("Am Ende des Abschnitts"),
                           QStringLiteral("reference-location"), QStringLiteral("section")},
                          {QStringLiteral("Am Dokumentende"), QStringLiteral("reference-location"),
                           QStringLiteral("document")}}),
           QStringLiteral("Wo Fußnoten in HTML und Markdown gesammelt werden."),
           QStringLiteral("--reference-location: Specify whether footnotes are placed at the end "
                          "of the current block, the current section, or the document."),
           [](const QString &f) { return isHtml(f) || isText(f); });
    addRow(QStringLiteral("Folienebene"),
           numberControl(QStringLiteral("slideLevelSpinBox"), QStringLiteral("slide-level"), 0, 6,
                         QStringLiteral("Standard")),
           QStringLiteral("Überschriften dieser Ebene beginnen eine neue Folie."),
           QStringLiteral("--slide-level: Specifies that headings with the specified level create "
                          "slides. Headings above this level create section slides."),
           isSlides);
    addRow(QStringLiteral("Listen"),
           switchControl(QStringLiteral("incrementalCheck"),
                         QStringLiteral("Listen schrittweise zeigen"),
                         [] { return QStringLiteral("incremental"); }),
           QStringLiteral("Listenpunkte erscheinen auf einer Folie einer nach dem anderen."),
           QStringLiteral("--incremental: Make list items in slide shows display incrementally "
                          "(one by one)."),
           isSlides);
    addRow(QStringLiteral("EPUB-Titelbild"),
           textControl(QStringLiteral("epubCoverField"), QStringLiteral("epub-cover-image"),
                       QStringLiteral("Pfad zu einem Bild")),
           QStringLiteral("Das Bild auf dem Umschlag des E-Books."),
           QStringLiteral("--epub-cover-image: Use the specified image as the EPUB cover."),
           isEpub);
    addRow(QStringLiteral("EPUB-Metadaten"),
           textControl(QStringLiteral("epubMetadataField"), QStringLiteral("epub-metadata"),
                       QStringLiteral("Pfad zu einer XML-Datei")),
           QStringLiteral("Eine Datei mit Dublin-Core-Angaben zum E-Book."),
           QStringLiteral("--epub-metadata: Look in the specified XML file for metadata for the "
                          "EPUB. The file should contain a series of Dublin Core elements."),
           isEpub);
    addRow(QStringLiteral("Ressourcenpfad"),
           textControl(QStringLiteral("resourcePathField"), QStringLiteral("resource-path"),
                       QStringLiteral("Ordner, durch „:“ getrennt")),
           QStringLiteral("Wo Bilder und andere Dateien des Dokuments gesucht werden."),
           QStringLiteral("--resource-path: List of paths to search for images and other "
                          "resources. The default is just the working directory."),
           always);
    addRow(QStringLiteral("Nummerierung beginnt bei"),
           textControl(QStringLiteral("numberOffsetField"), QStringLiteral("number-offset"),
                       QStringLiteral("z.B. 2 oder 1,4")),
           QStringLiteral("Startwerte der Abschnittsnummern in HTML, je Ebene."),
           QStringLiteral("--number-offset: Offset for section headings in HTML output (ignored "
                          "in other output formats)."),
           [](const QString &f) { return FormatRules::templateFamily(f) == Family::Html; });
    addRow(QStringLiteral("Bildauflösung (DPI)"),
           numberControl(QStringLiteral("dpiSpinBox"), QStringLiteral("dpi"), 0, 2400,
                         QStringLiteral("Standard (96)")),
           QStringLiteral("Pixel pro Zoll beim Umrechnen von Bildgrößen."),
           QStringLiteral("--dpi: Specify the default dpi (dots per inch) value for conversion "
                          "from pixels to inch/centimeters and vice versa."),
           always);

    m_stack->addStretch();
    FormColumns::alignLabels(this);
    connect(m_viewModel, &PandocViewModel::outputFormatChanged, this,
            &OptionPage::updateVisibility);
    updateVisibility();
}

void OptionPage::addRow(const QString &label, QWidget *control, const QString &explanation,
                        const QString &tip, Shown shown)
{
    // One widget per row, so a row for other outputs hides as a whole.
    auto *row = new QWidget(this);
    auto *line = new QHBoxLayout(row);
    line->setContentsMargins(0, 0, 0, 0);
    auto *caption = FormColumns::makeLabel(label + u':', row);
    caption->setAlignment(Qt::AlignRight | Qt::AlignTop);
    caption->setBuddy(control);
    caption->setToolTip(tip);
    auto *column = new QVBoxLayout;
    column->setSpacing(2);
    control->setParent(row);
    column->addWidget(control, 0, Qt::AlignLeft);
    auto *hint = new QLabel(explanation, row);
    hint->setWordWrap(true);
    hint->setEnabled(false); // the quieter colour of a hint
    column->addWidget(hint);
    control->setToolTip(tip);
    control->setAccessibleName(label);
    line->addWidget(caption);
    line->addLayout(column, 1);
    m_stack->addWidget(row);
    m_rows.append({row, std::move(shown)});
}

QWidget *OptionPage::numberControl(const QString &name, const QString &option, int min, int max,
                                   const QString &unset)
{
    auto *spin = new QSpinBox(this);
    spin->setObjectName(name);
    spin->setRange(min, max);
    // The lowest value stands for "not set": the converter's own default.
    spin->setSpecialValueText(unset);
    const auto show = [this, spin, option, min] {
        const QSignalBlocker quiet(spin);
        const auto value = m_viewModel->optionValue(option);
        spin->setValue(value ? value->toInt() : min);
    };
    connect(spin, &QSpinBox::valueChanged, this, [this, option, min](int value) {
        m_viewModel->setOptionValue(option, value == min ? std::nullopt
                                                         : std::optional(QString::number(value)));
    });
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, spin, show);
    show();
    return spin;
}

QWidget *OptionPage::choiceControl(const QString &name, const QList<Choice> &choices)
{
    auto *picker = new QComboBox(this);
    picker->setObjectName(name);
    for (const Choice &c : choices)
        picker->addItem(c.text, QStringList{c.option, c.value});
    const auto show = [this, picker] {
        const QSignalBlocker quiet(picker);
        int chosen = 0;
        for (int i = 0; i < picker->count(); ++i) {
            const QStringList entry = picker->itemData(i).toStringList();
            if (entry.size() == 2 && !entry[0].isEmpty() &&
                m_viewModel->optionValue(entry[0]) == std::optional(entry[1]))
                chosen = i;
        }
        picker->setCurrentIndex(chosen);
    };
    connect(picker, &QComboBox::activated, this, [this, picker](int index) {
        // One picker, one option at a time: the others of its entries are cleared.
        for (int i = 0; i < picker->count(); ++i) {
            const QStringList entry = picker->itemData(i).toStringList();
            if (entry.size() == 2 && !entry[0].isEmpty() && i != index)
                m_viewModel->setOptionValue(entry[0], std::nullopt);
        }
        const QStringList entry = picker->itemData(index).toStringList();
        if (entry.size() == 2 && !entry[0].isEmpty())
            m_viewModel->setOptionValue(entry[0], entry[1]);
    });
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, picker, show);
    show();
    return picker;
}

QWidget *OptionPage::switchControl(const QString &name, const QString &text,
                                   const std::function<QString()> &option)
{
    auto *box = new QCheckBox(text, this);
    box->setObjectName(name);
    static const QStringList kSameSwitch{QStringLiteral("self-contained"),
                                         QStringLiteral("embed-resources")};
    const auto isSet = [this, option] {
        const QString current = option();
        if (kSameSwitch.contains(current))
            return std::any_of(kSameSwitch.begin(), kSameSwitch.end(), [this](const QString &o) {
                return m_viewModel->optionValue(o).has_value();
            });
        return m_viewModel->optionValue(current).has_value();
    };
    const auto show = [box, isSet] {
        const QSignalBlocker quiet(box);
        box->setChecked(isSet());
    };
    connect(box, &QCheckBox::toggled, this, [this, option](bool on) {
        const QString current = option();
        if (kSameSwitch.contains(current)) {
            for (const QString &o : kSameSwitch)
                m_viewModel->setOptionValue(o, std::nullopt);
        }
        m_viewModel->setOptionValue(current, on ? std::optional(QString()) : std::nullopt);
    });
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, box, show);
    show();
    return box;
}

QWidget *OptionPage::textControl(const QString &name, const QString &option,
                                 const QString &placeholder)
{
    auto *field = new QLineEdit(this);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    field->setMinimumWidth(240);
    const auto show = [this, field, option] {
        const QString value = m_viewModel->optionValue(option).value_or(QString());
        if (field->text() != value)
            field->setText(value);
    };
    connect(field, &QLineEdit::textEdited, this, [this, option](const QString &text) {
        m_viewModel->setOptionValue(option,
                                    text.trimmed().isEmpty() ? std::nullopt : std::optional(text));
    });
    connect(m_viewModel, &PandocViewModel::optionValuesChanged, field, show);
    show();
    return field;
}

void OptionPage::refreshHighlightStyles()
{
    QStringList styles = m_viewModel->converterService().answers().highlightStyles();
    const QString chosen =
        m_viewModel->optionValue(QStringLiteral("highlight-style")).value_or(QString());
    // A preset's style stays choosable before the converter answered.
    if (!chosen.isEmpty() && !styles.contains(chosen))
        styles << chosen;
    const QSignalBlocker quiet(m_highlight);
    m_highlight->clear();
    m_highlight->addItem(QStringLiteral("Standard"), QStringList{QString(), QString()});
    for (const QString &style : std::as_const(styles))
        m_highlight->addItem(style, QStringList{QStringLiteral("highlight-style"), style});
    m_highlight->addItem(QStringLiteral("keine"), QStringList{QStringLiteral("no-highlight"), {}});
    if (m_viewModel->optionValue(QStringLiteral("no-highlight")))
        m_highlight->setCurrentIndex(m_highlight->count() - 1);
    else if (!chosen.isEmpty())
        m_highlight->setCurrentIndex(m_highlight->findText(chosen));
}

void OptionPage::updateVisibility()
{
    const QString format = m_viewModel->outputFormat();
    for (const auto &[row, shown] : std::as_const(m_rows))
        row->setVisible(shown(format));
}
