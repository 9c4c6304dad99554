#include "presetsection.h"

#include "filepanels.h"
#include "formatssection.h"
#include "formcolumns.h"
#include "icons.h"
#include "pandocviewmodel.h"
#include "savepresetdialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QToolButton>

namespace {
// Preset entries follow the manual entry and the separator.
constexpr int kFirstPresetIndex = 2;
} // namespace

PresetSection::PresetSection(PandocViewModel *viewModel, FilePanels *panels, QWidget *parent)
    : QWidget(parent), m_viewModel(viewModel), m_panels(panels)
{
    setObjectName(QStringLiteral("presetSection"));
    m_picker = FormColumns::makePicker(QStringLiteral("presetPicker"), this);
    m_picker->setAccessibleName(QStringLiteral("Voreinstellung"));

    auto *saveButton = new QToolButton(this);
    saveButton->setObjectName(QStringLiteral("savePresetButton"));
    saveButton->setIcon(themedIcon(QStringLiteral("document-save"), QStyle::SP_DialogSaveButton));
    saveButton->setToolTip(QStringLiteral("Als Voreinstellung speichern"));
    saveButton->setAccessibleName(saveButton->toolTip());

    m_deleteButton = new QToolButton(this);
    m_deleteButton->setObjectName(QStringLiteral("deletePresetButton"));
    m_deleteButton->setIcon(themedIcon(QStringLiteral("edit-delete"), QStyle::SP_TrashIcon));
    m_deleteButton->setToolTip(QStringLiteral("Voreinstellung löschen"));
    m_deleteButton->setAccessibleName(m_deleteButton->toolTip());

    // Sharing with the command line: pandoc defaults files.
    auto *defaultsButton = new QToolButton(this);
    defaultsButton->setObjectName(QStringLiteral("defaultsFileButton"));
    defaultsButton->setIcon(
        themedIcon(QStringLiteral("document-export"), QStyle::SP_FileDialogContentsView));
    defaultsButton->setToolTip(QStringLiteral("Defaults-Datei"));
    defaultsButton->setAccessibleName(defaultsButton->toolTip());
    defaultsButton->setPopupMode(QToolButton::InstantPopup);
    auto *defaultsMenu = new QMenu(defaultsButton);
    QAction *exportAction = defaultsMenu->addAction(
        QStringLiteral("Als Defaults-Datei exportieren…"), this, &PresetSection::exportDefaults);
    exportAction->setObjectName(QStringLiteral("exportDefaultsAction"));
    QAction *importAction = defaultsMenu->addAction(QStringLiteral("Defaults-Datei importieren…"),
                                                    this, &PresetSection::importDefaults);
    importAction->setObjectName(QStringLiteral("importDefaultsAction"));
    defaultsButton->setMenu(defaultsMenu);
    defaultsButton->setEnabled(m_panels != nullptr);

    auto *row = new QHBoxLayout(this);
    row->addWidget(FormColumns::makeLabel(QStringLiteral("Voreinstellung:"), this));
    row->addWidget(m_picker);
    row->addWidget(saveButton);
    row->addWidget(m_deleteButton);
    row->addWidget(defaultsButton);
    row->addStretch();

    connect(saveButton, &QToolButton::clicked, this, &PresetSection::openSaveDialog);
    connect(m_deleteButton, &QToolButton::clicked, m_viewModel,
            &PandocViewModel::deleteSelectedPreset);
    connect(m_picker, &QComboBox::currentIndexChanged, this, &PresetSection::pick);
    connect(m_viewModel, &PandocViewModel::presetsChanged, this, &PresetSection::rebuildPicker);
    connect(m_viewModel, &PandocViewModel::selectedPresetChanged, this, [this] {
        showSelection();
        // Choosing the manual entry keeps whatever the last preset set.
        const auto preset = m_viewModel->selectedPreset();
        if (preset && !m_selectingSaved)
            m_viewModel->loadPreset(*preset);
    });
    rebuildPicker();
}

void PresetSection::openSaveDialog()
{
    // Built on first use: a dialog costs the window's first frame a good deal of its time.
    if (!m_dialog) {
        m_dialog = new SavePresetDialog(this);
        connect(m_dialog->nameEdit(), &QLineEdit::textChanged, this,
                [this](const QString &text) { m_newPresetName = text; });
        connect(m_dialog, &SavePresetDialog::saveRequested, this, &PresetSection::saveNewPreset);
    }
    m_dialog->nameEdit()->setText(m_newPresetName);
    m_dialog->open();
    // The dialog is reused and would keep the focus of its last use, "Abbrechen" say.
    m_dialog->nameEdit()->selectAll();
    m_dialog->nameEdit()->setFocus(Qt::OtherFocusReason);
}

void PresetSection::saveNewPreset()
{
    const QString name = m_newPresetName;
    const QList<Preset> before = m_viewModel->presets();
    m_viewModel->savePreset(name);
    m_newPresetName.clear();
    const QList<Preset> after = m_viewModel->presets();
    // A save that failed leaves the list as it was; then nothing new is selected.
    if (after == before)
        return;
    for (const Preset &preset : after) {
        if (preset.name == name) {
            m_selectingSaved = true;
            m_viewModel->setSelectedPreset(preset);
            m_selectingSaved = false;
            return;
        }
    }
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

void PresetSection::exportDefaults()
{
    if (!m_panels)
        return;
    const std::optional<Preset> preset = m_viewModel->selectedPreset();
    QString name = preset ? preset->name : QStringLiteral("velunor-defaults");
    // The name becomes a file name: no folder separators, no hidden file.
    name.replace(u'/', u'-');
    if (name.isEmpty() || name.startsWith(u'.'))
        name.prepend(QStringLiteral("defaults"));
    const std::optional<QString> path = m_panels->chooseSaveFile(
        this, QStringLiteral("Als Defaults-Datei exportieren"), name + QStringLiteral(".yaml"),
        QStringLiteral("YAML-Dateien (*.yaml *.yml)"));
    if (path)
        m_viewModel->exportDefaultsFile(preset, *path);
}

void PresetSection::importDefaults()
{
    if (!m_panels)
        return;
    const std::optional<QString> path =
        m_panels->chooseOpenFile(this, QStringLiteral("Defaults-Datei importieren"),
                                 QStringLiteral("YAML-Dateien (*.yaml *.yml);;Alle Dateien (*)"));
    if (path)
        m_viewModel->importDefaultsFile(*path, FormatsSection::inputFormatChoices(),
                                        FormatsSection::outputFormatChoices());
}
