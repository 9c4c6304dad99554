#pragma once

#include <QDialog>

class QLineEdit;
class QPushButton;

// Asks for the name of a new preset; "Speichern" is always enabled.
class SavePresetDialog final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SavePresetDialog)

public:
    explicit SavePresetDialog(QWidget *parent = nullptr);

    QLineEdit *nameEdit() const { return m_nameEdit; }

signals:
    void saveRequested();

private:
    QLineEdit *m_nameEdit = nullptr;
};
