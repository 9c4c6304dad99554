#include "qtdesktopservices.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

void QtDialogs::showAlert(const QString &title, const QString &message)
{
    QMessageBox box(QMessageBox::Information, title, title, QMessageBox::NoButton, m_parent);
    box.setInformativeText(message);
    box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    box.exec();
}

bool QtDialogs::showConfirmation(const QString &title, const QString &message)
{
    QMessageBox box(QMessageBox::Information, title, title, QMessageBox::NoButton, m_parent);
    box.setInformativeText(message);
    QPushButton *yes = box.addButton(QStringLiteral("Ja"), QMessageBox::YesRole);
    box.addButton(QStringLiteral("Nein"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtDialogs::showWarningQuestion(const QString &title, const QString &message,
                                    const QString &acceptText, const QString &rejectText)
{
    QMessageBox box(QMessageBox::Warning, title, title, QMessageBox::NoButton, m_parent);
    box.setInformativeText(message);
    QPushButton *accept = box.addButton(acceptText, QMessageBox::DestructiveRole);
    box.addButton(rejectText, QMessageBox::RejectRole);
    box.setDefaultButton(accept);
    box.exec();
    return box.clickedButton() == accept;
}

Dialogs::ReplaceAnswer QtDialogs::askReplaceFiles(const QString &title, const QString &message,
                                                  const QStringList &files)
{
    QDialog dialog(m_parent);
    dialog.setObjectName(QStringLiteral("replaceFilesDialog"));
    dialog.setWindowTitle(title);
    auto *layout = new QVBoxLayout(&dialog);
    auto *text = new QLabel(message, &dialog);
    text->setTextFormat(Qt::PlainText);
    text->setWordWrap(true);
    layout->addWidget(text);
    // However many files there are, the list scrolls and the buttons stay in view.
    auto *list = new QListWidget(&dialog);
    list->setObjectName(QStringLiteral("replaceFilesList"));
    list->addItems(files);
    list->setSelectionMode(QAbstractItemView::NoSelection);
    list->setMaximumHeight(240);
    layout->addWidget(list);
    auto *buttons = new QDialogButtonBox(&dialog);
    QPushButton *replace =
        buttons->addButton(QStringLiteral("Alle ersetzen"), QDialogButtonBox::DestructiveRole);
    QPushButton *skip =
        buttons->addButton(QStringLiteral("Diese überspringen"), QDialogButtonBox::AcceptRole);
    QPushButton *cancel =
        buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    skip->setDefault(true);
    layout->addWidget(buttons);
    ReplaceAnswer answer = ReplaceAnswer::Cancel;
    QObject::connect(buttons, &QDialogButtonBox::clicked, &dialog, [&](QAbstractButton *button) {
        answer = button == replace ? ReplaceAnswer::ReplaceAll
                 : button == skip  ? ReplaceAnswer::SkipThese
                                   : ReplaceAnswer::Cancel;
        dialog.done(button == cancel ? QDialog::Rejected : QDialog::Accepted);
    });
    dialog.exec();
    return answer;
}

void QtDesktop::openFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDesktop::openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
