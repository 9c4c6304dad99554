#include "optionssection.h"

#include "formcolumns.h"
#include "moreoptionssection.h"
#include "pandocviewmodel.h"

#include <QCheckBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QToolButton>
#include <QVBoxLayout>

OptionsSection::OptionsSection(PandocViewModel *viewModel, QWidget *parent)
    : QGroupBox(QStringLiteral("Optionen"), parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("optionsSection"));
    auto *stack = new QVBoxLayout(this);
    stack->setSpacing(FormColumns::kInnerSpacing);

    using VM = PandocViewModel;
    stack->addWidget(addSwitch(QStringLiteral("Standalone-Dokument"),
                               QStringLiteral("standaloneCheck"), &VM::standalone,
                               &VM::setStandalone, &VM::standaloneChanged));
    stack->addWidget(addSwitch(QStringLiteral("Inhaltsverzeichnis erstellen"),
                               QStringLiteral("tocCheck"), &VM::tableOfContents,
                               &VM::setTableOfContents, &VM::tableOfContentsChanged));
    stack->addWidget(addSwitch(QStringLiteral("Abschnitte nummerieren"),
                               QStringLiteral("numberSectionsCheck"), &VM::numberSections,
                               &VM::setNumberSections, &VM::numberSectionsChanged));

    m_options = new QLineEdit(this);
    m_options->setObjectName(QStringLiteral("additionalOptionsField"));
    m_options->setPlaceholderText(QStringLiteral("z.B. --metadata title=\"Titel\""));
    m_options->setAccessibleName(QStringLiteral("Zusätzliche Pandoc-Optionen"));
    auto *optionsRow = new QHBoxLayout;
    optionsRow->addWidget(new QLabel(QStringLiteral("Zusätzliche Pandoc-Optionen:"), this));
    optionsRow->addWidget(m_options, 1);
    stack->addLayout(optionsRow);

    stack->addLayout(makeHeadingShiftRow());
    stack->addLayout(makeParallelJobsRow());
    QCheckBox *onlyChanged =
        addSwitch(QStringLiteral("Nur geänderte Dateien"), QStringLiteral("onlyChangedCheck"),
                  &VM::onlyChangedFiles, &VM::setOnlyChangedFiles, &VM::onlyChangedFilesChanged);
    onlyChanged->setToolTip(QStringLiteral(
        "Lässt Dateien aus, deren Ausgabe Velunor mit denselben Einstellungen geschrieben hat "
        "und deren Dokument, Vorlagen, Literatur und gelesene Bilder seitdem unverändert sind."));
    stack->addWidget(onlyChanged);

    // What the converter would be called with, ready to copy into a terminal.
    m_command = new QLineEdit(this);
    m_command->setObjectName(QStringLiteral("commandPreview"));
    m_command->setReadOnly(true);
    m_command->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_command->setPlaceholderText(
        QStringLiteral("(erscheint, sobald eine Eingabedatei gewählt ist)"));
    m_command->setAccessibleName(QStringLiteral("Befehl"));
    m_commandLabel = new QLabel(this);
    m_commandLabel->setObjectName(QStringLiteral("commandLabel"));
    auto *commandRow = new QHBoxLayout;
    commandRow->addWidget(m_commandLabel);
    commandRow->addWidget(m_command, 1);
    stack->addLayout(commandRow);

    connect(m_options, &QLineEdit::textEdited, m_viewModel, &VM::setAdditionalOptions);
    connect(m_viewModel, &VM::additionalOptionsChanged, this, &OptionsSection::refreshOptions);
    auto showCommand = [this] {
        // A batch shows the first file's command; the label says so.
        const qsizetype files = m_viewModel->inputFiles().size();
        m_commandLabel->setText(files < 2 ? QStringLiteral("Befehl:")
                                          : QStringLiteral("Befehl (1 von ") +
                                                QString::number(files) + QStringLiteral("):"));
        m_command->setText(m_viewModel->commandPreview());
        m_command->setCursorPosition(0);
    };
    connect(m_viewModel, &VM::commandPreviewChanged, this, showCommand);
    // A template's file may appear or vanish with a library change.
    connect(m_viewModel, &VM::templatesChanged, this, showCommand);
    connect(m_viewModel, &VM::inputFilesChanged, this, showCommand);
    refreshOptions();
    showCommand();
}

QCheckBox *OptionsSection::addSwitch(const QString &text, const QString &name,
                                     bool (PandocViewModel::*getter)() const,
                                     void (PandocViewModel::*setter)(bool),
                                     void (PandocViewModel::*changed)())
{
    auto *box = new QCheckBox(text, this);
    box->setObjectName(name);
    box->setChecked((m_viewModel->*getter)());
    connect(box, &QCheckBox::toggled, m_viewModel, setter);
    connect(m_viewModel, changed, box,
            [this, box, getter] { box->setChecked((m_viewModel->*getter)()); });
    return box;
}

QHBoxLayout *OptionsSection::makeHeadingShiftRow()
{
    using VM = PandocViewModel;
    static const QString kOption = QStringLiteral("shift-heading-level-by");
    auto *shift = new QSpinBox(this);
    shift->setObjectName(QStringLiteral("headingShiftSpinBox"));
    shift->setRange(-5, 5);
    shift->setToolTip(QStringLiteral("--shift-heading-level-by: verschiebt jede Überschrift um so "
                                     "viele Ebenen (1: aus # wird ##; -1: aus ## wird #, eine "
                                     "Überschrift der Ebene 1 wird dann zum Titel). 0: wie im "
                                     "Dokument."));
    auto *label = new QLabel(QStringLiteral("Überschriften verschieben um:"), this);
    label->setBuddy(shift);
    shift->setAccessibleName(QStringLiteral("Überschriften verschieben um"));
    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(shift);
    row->addStretch();

    const auto show = [this, shift] {
        const QSignalBlocker quiet(shift);
        shift->setValue(m_viewModel->optionValue(kOption).value_or(QString()).toInt());
    };
    connect(shift, &QSpinBox::valueChanged, m_viewModel, [this](int value) {
        m_viewModel->setOptionValue(kOption, value == 0 ? std::nullopt
                                                        : std::optional(QString::number(value)));
    });
    connect(m_viewModel, &VM::optionValuesChanged, shift, show);
    show();
    return row;
}

QHBoxLayout *OptionsSection::makeParallelJobsRow()
{
    using VM = PandocViewModel;
    auto *jobs = new QSpinBox(this);
    jobs->setObjectName(QStringLiteral("parallelJobsSpinBox"));
    jobs->setRange(VM::kMinParallelJobs, VM::kMaxParallelJobs);
    jobs->setValue(m_viewModel->parallelJobs());
    jobs->setToolTip(QStringLiteral("Wie viele Dateien einer Batch-Konvertierung gleichzeitig "
                                    "umgewandelt werden"));
    auto *label = new QLabel(QStringLiteral("Gleichzeitige Konvertierungen:"), this);
    label->setBuddy(jobs);
    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(jobs);
    row->addStretch();
    m_jobsRow = row;

    connect(jobs, &QSpinBox::valueChanged, m_viewModel, &VM::setParallelJobs);
    connect(m_viewModel, &VM::parallelJobsChanged, jobs,
            [this, jobs] { jobs->setValue(m_viewModel->parallelJobs()); });
    // A running batch keeps the number it started with.
    auto follow = [this, jobs] { jobs->setEnabled(!m_viewModel->isConverting()); };
    connect(m_viewModel, &VM::isConvertingChanged, jobs, follow);
    follow();
    return row;
}

void OptionsSection::addFoldedArea(MoreOptionsSection *area)
{
    m_jobsRow->addWidget(area->toggle());
    layout()->addWidget(area);
    // Made after this section, the button and the pages still come in reading order: the
    // button after the row's spin box, the pages after the command line below it.
    auto *onlyChanged = findChild<QCheckBox *>(QStringLiteral("onlyChangedCheck"));
    QWidget::setTabOrder(m_jobsRow->itemAt(1)->widget(), area->toggle());
    QWidget::setTabOrder(area->toggle(), onlyChanged);
    QWidget::setTabOrder(onlyChanged, m_command);
    connect(area, &MoreOptionsSection::pagesBuilt, this,
            [this, area] { area->chainFocusAfter(m_command); });
}

void OptionsSection::refreshOptions()
{
    if (m_options->text() != m_viewModel->additionalOptions())
        m_options->setText(m_viewModel->additionalOptions());
}
