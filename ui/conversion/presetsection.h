#pragma once

#include <QWidget>

class FilePanels;
class PandocViewModel;
class QComboBox;
class QToolButton;
class SavePresetDialog;

// The preset bar: picker, save and delete.
class PresetSection final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(PresetSection)

public:
    explicit PresetSection(PandocViewModel *viewModel, FilePanels *panels = nullptr,
                           QWidget *parent = nullptr);

    // Opens the name dialog without blocking; it is modal to the window.
    void openSaveDialog();
    QString newPresetName() const { return m_newPresetName; }

    // The selected preset, or the current settings, as a pandoc defaults file.
    void exportDefaults();
    // A defaults file as a new preset.
    void importDefaults();

private:
    void rebuildPicker();
    void showSelection();
    void pick(int index);
    void saveNewPreset();

    PandocViewModel *m_viewModel;
    FilePanels *m_panels = nullptr;
    QComboBox *m_picker = nullptr;
    QToolButton *m_deleteButton = nullptr;
    SavePresetDialog *m_dialog = nullptr;
    QString m_newPresetName;
    // The preset just saved is selected; it holds the settings already, nothing to load.
    bool m_selectingSaved = false;
};
