#include "literaturesection.h"

#include "elidedfield.h"
#include "elidedlabel.h"
#include "filepanels.h"
#include "formcolumns.h"
#include "icons.h"
#include "pandocviewmodel.h"
#include "statuscolors.h"
#include "templatelibrary.h"
#include "typedpath.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTextDocument>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// Library styles follow the default entry and the separator.
constexpr int kFirstStyleIndex = 2;

QToolButton *clearButton(const QString &name, const QString &tip, QWidget *parent)
{
    auto *button = new QToolButton(parent);
    button->setObjectName(name);
    button->setIcon(themedIcon(QStringLiteral("edit-clear"), QStyle::SP_DialogResetButton));
    button->setToolTip(tip);
    return button;
}

QHBoxLayout *row(const QString &caption, QWidget *parent)
{
    auto *layout = new QHBoxLayout;
    layout->addWidget(FormColumns::makeLabel(caption, parent));
    return layout;
}

} // namespace

LiteratureSection::LiteratureSection(PandocViewModel *viewModel, FilePanels *panels,
                                     QWidget *parent)
    : QGroupBox(QStringLiteral("Literatur"), parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("literatureSection"));
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);

    m_bibliography = new ElidedField(this);
    m_bibliography->setObjectName(QStringLiteral("bibliographyField"));
    m_bibliography->setAccessibleName(QStringLiteral("Literaturdatei"));
    m_bibliography->setTypingAllowed(true);
    m_bibliography->setPlaceholderText(QStringLiteral(".bib, .json, .yaml oder .ris"));
    auto *browseBibliography = new QPushButton(QStringLiteral("Durchsuchen…"), this);
    browseBibliography->setObjectName(QStringLiteral("browseBibliographyButton"));
    auto *clearBibliography = clearButton(QStringLiteral("clearBibliographyButton"),
                                          QStringLiteral("Literaturdatei entfernen"), this);
    QHBoxLayout *bibliographyRow = row(QStringLiteral("Literaturdatei:"), this);
    bibliographyRow->addWidget(m_bibliography, 1);
    bibliographyRow->addWidget(browseBibliography);
    bibliographyRow->addWidget(clearBibliography);
    stack->addLayout(bibliographyRow);
    m_bibliographyProblem = makeProblemLabel(QStringLiteral("bibliographyPathProblem"), this);
    stack->addWidget(m_bibliographyProblem);

    m_styles = FormColumns::makePicker(QStringLiteral("cslPicker"), this);
    auto *browseStyle = new QPushButton(QStringLiteral("Durchsuchen…"), this);
    browseStyle->setObjectName(QStringLiteral("browseCslButton"));
    browseStyle->setToolTip(QStringLiteral("CSL-Stil wählen und in die Bibliothek übernehmen"));
    auto *clearStyle =
        clearButton(QStringLiteral("clearCslButton"), QStringLiteral("Zitierstil entfernen"), this);
    m_deleteStyle = new QToolButton(this);
    m_deleteStyle->setObjectName(QStringLiteral("deleteCslStyleButton"));
    m_deleteStyle->setIcon(themedIcon(QStringLiteral("edit-delete"), QStyle::SP_TrashIcon));
    m_deleteStyle->setToolTip(QStringLiteral("CSL-Stil aus der Bibliothek löschen"));
    QHBoxLayout *styleRow = row(QStringLiteral("Zitierstil:"), this);
    styleRow->addWidget(m_styles);
    styleRow->addWidget(browseStyle);
    styleRow->addWidget(clearStyle);
    styleRow->addWidget(m_deleteStyle);
    styleRow->addStretch();
    stack->addLayout(styleRow);

    m_process = new QCheckBox(QStringLiteral("Zitate verarbeiten"), this);
    m_process->setObjectName(QStringLiteral("processCitationsCheck"));
    stack->addWidget(m_process);

    using VM = PandocViewModel;
    connect(browseBibliography, &QPushButton::clicked, this,
            &LiteratureSection::chooseBibliography);
    connect(clearBibliography, &QToolButton::clicked, this,
            [this] { m_viewModel->setBibliographyFile(QString()); });
    connect(browseStyle, &QPushButton::clicked, this, &LiteratureSection::chooseStyle);
    connect(clearStyle, &QToolButton::clicked, this,
            [this] { m_viewModel->setCslFile(QString()); });
    connect(m_deleteStyle, &QToolButton::clicked, this, [this] {
        const qsizetype i = m_styles->currentIndex() - kFirstStyleIndex;
        const QList<CslStyle> styles = m_viewModel->cslStyles();
        if (i >= 0 && i < styles.size())
            m_viewModel->deleteCslStyle(styles[i].id);
    });
    connect(m_styles, &QComboBox::currentIndexChanged, this, &LiteratureSection::pickStyle);
    connect(m_viewModel, &VM::isConvertingChanged, this, &LiteratureSection::updateDeleteStyle);
    connect(m_process, &QCheckBox::toggled, m_viewModel, &VM::setProcessCitations);

    connect(m_bibliography, &ElidedField::textTyped, this,
            &LiteratureSection::takeTypedBibliography);
    const auto showBibliography = [this] {
        m_bibliography->setFullText(m_viewModel->bibliographyFile());
        showProblem(m_bibliographyProblem, QString());
    };
    connect(m_viewModel, &VM::bibliographyFileChanged, this, showBibliography);
    connect(m_viewModel, &VM::processCitationsChanged, this,
            [this] { m_process->setChecked(m_viewModel->processCitations()); });
    connect(m_viewModel, &VM::cslStylesChanged, this, &LiteratureSection::rebuildStyles);
    connect(m_viewModel, &VM::cslFileChanged, this, &LiteratureSection::rebuildStyles);
    showBibliography();
    m_process->setChecked(m_viewModel->processCitations());
    rebuildStyles();
}

void LiteratureSection::chooseBibliography()
{
    const std::optional<QString> path = m_panels->chooseOpenFile(
        this, QStringLiteral("Literaturdatei wählen"),
        QStringLiteral("Literaturdateien (*.bib *.json *.yaml *.yml *.ris);;Alle Dateien (*)"));
    if (path)
        m_viewModel->setBibliographyFile(*path);
}

void LiteratureSection::takeTypedBibliography(const QString &typed)
{
    if (typed.trimmed().isEmpty()) {
        m_viewModel->setBibliographyFile(QString());
        return;
    }
    const TypedPath checked = checkTypedFile(typed);
    showProblem(m_bibliographyProblem, checked.problem);
    if (checked.problem.isEmpty())
        m_viewModel->setBibliographyFile(checked.path);
}

void LiteratureSection::chooseStyle()
{
    const std::optional<QString> path = m_panels->chooseOpenFile(
        this, QStringLiteral("Zitierstil wählen"), QStringLiteral("CSL-Stile (*.csl)"));
    if (!path)
        return;
    if (const std::optional<CslStyle> style = m_viewModel->importCslStyle(*path))
        m_viewModel->setCslFile(style->filePath);
}

void LiteratureSection::rebuildStyles()
{
    // The picker itself set the style: its entries still stand.
    if (m_picking)
        return;
    const QSignalBlocker blocker(m_styles);
    m_styles->clear();
    m_styles->addItem(QStringLiteral("(Standardstil)"));
    const QList<CslStyle> styles = m_viewModel->cslStyles();
    const QString current = m_viewModel->cslFile();
    int index = current.isEmpty() ? 0 : -1;
    if (!styles.isEmpty())
        m_styles->insertSeparator(m_styles->count());
    for (const CslStyle &style : styles) {
        m_styles->addItem(style.name, style.filePath);
        m_styles->setItemData(m_styles->count() - 1,
                              Qt::convertFromPlainText(style.filePath, Qt::WhiteSpaceNoWrap),
                              Qt::ToolTipRole);
        if (index < 0 && isSameFile(style.filePath, current))
            index = m_styles->count() - 1;
    }
    // A style from a preset or a defaults file that is not in the library still shows.
    if (index < 0) {
        m_styles->addItem(QFileInfo(current).fileName(), current);
        m_styles->setItemData(m_styles->count() - 1,
                              Qt::convertFromPlainText(current, Qt::WhiteSpaceNoWrap),
                              Qt::ToolTipRole);
        index = m_styles->count() - 1;
    }
    m_styles->setCurrentIndex(index);
    updateDeleteStyle();
}

void LiteratureSection::pickStyle(int index)
{
    m_picking = true;
    m_viewModel->setCslFile(index <= 0 ? QString() : m_styles->itemData(index).toString());
    m_picking = false;
    updateDeleteStyle();
}

void LiteratureSection::updateDeleteStyle()
{
    const int index = m_styles->currentIndex();
    m_deleteStyle->setEnabled(!m_viewModel->isConverting() && index >= kFirstStyleIndex &&
                              index < kFirstStyleIndex + m_viewModel->cslStyles().size());
}
