#include "addtemplateview.h"

#include "filepanels.h"
#include "pandocviewmodel.h"
#include "templatelibrary.h"
#include "templatelistmodel.h"

#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

AddTemplateView::AddTemplateView(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QDialog(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("addTemplateView"));
    setWindowTitle(QStringLiteral("Neues Template hinzufügen"));
    setWindowModality(Qt::WindowModal);

    auto *layout = new QVBoxLayout(this);
    layout->setSpacing(20);
    // The stack sits centred in the fixed-size sheet.
    layout->addStretch();

    auto *title = new QLabel(QStringLiteral("Neues Template hinzufügen"));
    title->setObjectName(QStringLiteral("addTitle"));
    QFont headline = title->font();
    headline.setBold(true);
    title->setFont(headline);
    title->setAlignment(Qt::AlignCenter);
    layout->addWidget(title);

    auto *group = new QGroupBox;
    auto *form = new QFormLayout(group);
    m_name = new QLineEdit;
    m_name->setObjectName(QStringLiteral("nameEdit"));
    form->addRow(QStringLiteral("Name:"), m_name);

    m_type = new QComboBox;
    m_type->setObjectName(QStringLiteral("typeCombo"));
    m_type->setAccessibleName(QStringLiteral("Typ"));
    for (TemplateType type : templateTypeAllCases)
        m_type->addItem(displayName(type), int(type));
    m_type->addItem(kCslStyleKindName, TemplateListModel::kCslStyleKind);
    form->addRow(QStringLiteral("Typ:"), m_type);

    auto *fileRow = new QHBoxLayout;
    m_file = new QLineEdit;
    m_file->setObjectName(QStringLiteral("fileEdit"));
    m_file->setReadOnly(true);
    m_file->setAccessibleName(QStringLiteral("Datei"));
    auto *choose = new QPushButton(QStringLiteral("Auswählen..."));
    choose->setObjectName(QStringLiteral("chooseFileButton"));
    choose->setAutoDefault(false);
    fileRow->addWidget(m_file, 1);
    fileRow->addWidget(choose);
    form->addRow(QStringLiteral("Datei:"), fileRow);

    m_description = new QLineEdit;
    m_description->setObjectName(QStringLiteral("descriptionEdit"));
    form->addRow(QStringLiteral("Beschreibung (optional):"), m_description);
    layout->addWidget(group);

    auto *buttons = new QHBoxLayout;
    auto *cancel = new QPushButton(QStringLiteral("Abbrechen"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    cancel->setAutoDefault(false);
    m_add = new QPushButton(QStringLiteral("Hinzufügen"));
    m_add->setObjectName(QStringLiteral("addButton"));
    m_add->setDefault(true);
    buttons->addWidget(cancel);
    buttons->addStretch();
    buttons->addWidget(m_add);
    layout->addLayout(buttons);
    layout->addStretch();
    // 500 by 300, or larger when large fonts need it, so nothing is cut.
    setFixedSize(layout->totalSizeHint().expandedTo(QSize(500, 300)));

    // Escape rejects through QDialog; Return clicks the default button only while it is enabled.
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_add, &QPushButton::clicked, this, &AddTemplateView::add);
    connect(choose, &QPushButton::clicked, this, &AddTemplateView::chooseFile);
    connect(m_name, &QLineEdit::textChanged, this, &AddTemplateView::updateAddEnabled);
    connect(m_file, &QLineEdit::textChanged, this, &AddTemplateView::updateAddEnabled);
    // Styles are stored without a description.
    connect(m_type, &QComboBox::currentIndexChanged, this,
            [this] { m_description->setEnabled(!isCslStyle()); });
    updateAddEnabled();
}

void AddTemplateView::chooseFile()
{
    if (!m_panels)
        return;
    const std::optional<QString> path =
        m_panels->chooseOpenFile(this, QStringLiteral("Datei auswählen"),
                                 isCslStyle() ? QStringLiteral("CSL-Stile (*.csl)") : QString());
    if (!path)
        return;
    m_file->setText(*path);
    if (m_name->text().isEmpty())
        m_name->setText(templateNameForFile(*path));
}

void AddTemplateView::add()
{
    if (!m_add->isEnabled())
        return;
    if (isCslStyle()) {
        if (m_viewModel->addCslStyle(m_name->text(), m_file->text()))
            accept();
        return;
    }
    const auto type = TemplateType(m_type->currentData().toInt());
    if (m_viewModel->addTemplate(m_name->text(), type, m_file->text(), m_description->text()))
        accept();
}

bool AddTemplateView::isCslStyle() const
{
    return m_type->currentData().toInt() == TemplateListModel::kCslStyleKind;
}

void AddTemplateView::updateAddEnabled()
{
    // No trimming: a name of spaces counts.
    m_add->setEnabled(!m_name->text().isEmpty() && !m_file->text().isEmpty());
}
