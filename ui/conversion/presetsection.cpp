#include "presetsection.h"

#include "formcolumns.h"
#include "icons.h"
#include "pandocviewmodel.h"
#include "savepresetdialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QToolButton>

namespace {
// Preset entries follow the manual entry and the separator.
constexpr int kFirstPresetIndex = 2;
} // namespace

PresetSection::PresetSection(PandocViewModel *viewModel, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("presetSection"));
    m_picker = FormColumns::makePicker(QStringLiteral("presetPicker"), this);

    auto *saveButton = new QToolButton(this);
    saveButton->setObjectName(QStringLiteral("savePresetButton"));
    saveButton->setIcon(themedIcon(QStringLiteral("document-save"), QStyle::SP_DialogSaveButton));
    saveButton->setToolTip(QStringLiteral("Als Voreinstellung speichern"));

    m_deleteButton = new QToolButton(this);
    m_deleteButton->setObjectName(QStringLiteral("deletePresetButton"));
    m_deleteButton->setIcon(themedIcon(QStringLiteral("edit-delete"), QStyle::SP_TrashIcon));
    m_deleteButton->setToolTip(QStringLiteral("Voreinstellung löschen"));

    auto *row = new QHBoxLayout(this);
    row->addWidget(FormColumns::makeLabel(QStringLiteral("Voreinstellung:"), this));
    row->addWidget(m_picker);
    row->addWidget(saveButton);
    row->addWidget(m_deleteButton);
    row->addStretch();

    m_dialog = new SavePresetDialog(this);
    connect(m_dialog->nameEdit(), &QLineEdit::textChanged, this,
            [this](const QString &text) { m_newPresetName = text; });
    connect(m_dialog, &SavePresetDialog::saveRequested, this, [this] {
        m_viewModel->savePreset(m_newPresetName);
        m_newPresetName.clear();
    });

    connect(saveButton, &QToolButton::clicked, this, &PresetSection::openSaveDialog);
    connect(m_deleteButton, &QToolButton::clicked, m_viewModel,
            &PandocViewModel::deleteSelectedPreset);
    connect(m_picker, &QComboBox::currentIndexChanged, this, &PresetSection::pick);
    connect(m_viewModel, &PandocViewModel::presetsChanged, this, &PresetSection::rebuildPicker);
    connect(m_viewModel, &PandocViewModel::selectedPresetChanged, this, [this] {
        showSelection();
        // Choosing the manual entry keeps whatever the last preset set.
        if (const auto preset = m_viewModel->selectedPreset())
            m_viewModel->loadPreset(*preset);
    });
    rebuildPicker();
}

void PresetSection::openSaveDialog()
{
    m_dialog->nameEdit()->setText(m_newPresetName);
    m_dialog->open();
}

void PresetSection::rebuildPicker()
{
    const QSignalBlocker blocker(m_picker);
    m_picker->clear();
    m_picker->addItem(QStringLiteral("(Manuelle Einstellungen)"));
    const QList<Preset> presets = m_viewModel->presets();
    if (!presets.isEmpty()) {
        m_picker->insertSeparator(m_picker->count());
        for (const Preset &preset : presets)
            m_picker->addItem(preset.name, preset.id.toString(QUuid::WithoutBraces));
    }
    showSelection();
}

void PresetSection::showSelection()
{
    const std::optional<Preset> selected = m_viewModel->selectedPreset();
    m_deleteButton->setEnabled(selected.has_value());
    int index = 0;
    if (selected) {
        // A selection that equals no entry (replaced by a later save) shows none.
        index = -1;
        const QList<Preset> presets = m_viewModel->presets();
        for (qsizetype i = 0; i < presets.size(); ++i) {
            if (presets[i] == *selected) {
                index = kFirstPresetIndex + int(i);
                break;
            }
        }
    }
    const QSignalBlocker blocker(m_picker);
    m_picker->setCurrentIndex(index);
}

void PresetSection::pick(int index)
{
    if (index == 0) {
        m_viewModel->setSelectedPreset(std::nullopt);
        return;
    }
    const QList<Preset> presets = m_viewModel->presets();
    const qsizetype i = index - kFirstPresetIndex;
    if (i >= 0 && i < presets.size())
        m_viewModel->setSelectedPreset(presets[i]);
}
