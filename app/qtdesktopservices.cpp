#include "qtdesktopservices.h"

#include <QDesktopServices>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>

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

void QtDesktop::openFile(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

void QtDesktop::openFolder(const QString &path)
{
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}
