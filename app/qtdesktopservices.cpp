#include "qtdesktopservices.h"

#include "messagedialog.h"

#include <QDesktopServices>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

void QtDialogs::showAlert(const QString &title, const QString &message)
{
    MessageDialog box(MessageDialog::Icon::Information, title, message, m_parent);
    box.setDefaultButton(box.addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole,
                                       QStringLiteral("okButton")));
    box.exec();
}

bool QtDialogs::showConfirmation(const QString &title, const QString &message)
{
    MessageDialog box(MessageDialog::Icon::Information, title, message, m_parent);
    QPushButton *yes =
        box.addButton(QStringLiteral("Ja"), QDialogButtonBox::YesRole, QStringLiteral("yesButton"));
    box.addButton(QStringLiteral("Nein"), QDialogButtonBox::NoRole, QStringLiteral("noButton"));
    box.setDefaultButton(yes);
    box.exec();
    return box.clickedButton() == yes;
}

bool QtDialogs::showWarningQuestion(const QString &title, const QString &message,
                                    const QString &acceptText, const QString &rejectText)
{
    MessageDialog box(MessageDialog::Icon::Warning, title, message, m_parent);
    QPushButton *accept = box.addButton(acceptText, QDialogButtonBox::DestructiveRole,
                                        QStringLiteral("acceptButton"));
    box.addButton(rejectText, QDialogButtonBox::RejectRole, QStringLiteral("rejectButton"));
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
