#include "savepresetdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

SavePresetDialog::SavePresetDialog(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("savePresetDialog"));
    const QString title = QStringLiteral("Voreinstellung speichern");
    setWindowTitle(title);
    setModal(true);

    auto *headline = new QLabel(title, this);
    QFont bold = headline->font();
    bold.setBold(true);
    headline->setFont(bold);

    m_nameEdit = new QLineEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("presetNameEdit"));
    m_nameEdit->setPlaceholderText(QStringLiteral("Name"));

    auto *buttons = new QDialogButtonBox(this);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancelPresetButton"));
    // Enter saves, wherever the focus is; only a click or Escape cancels.
    cancel->setAutoDefault(false);
    QPushButton *save =
        buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("confirmPresetButton"));
    save->setDefault(true);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(buttons, &QDialogButtonBox::accepted, this, [this] {
        emit saveRequested();
        accept();
    });

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(headline);
    layout->addWidget(m_nameEdit);
    layout->addWidget(buttons);
}
