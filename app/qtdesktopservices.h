#pragma once

#include "dialogs.h"

class QWidget;

// Message boxes with the program's own button texts.
class QtDialogs final : public Dialogs
{
public:
    explicit QtDialogs(QWidget *parent) : m_parent(parent) {}
    void showAlert(const QString &title, const QString &message) override;
    bool showConfirmation(const QString &title, const QString &message) override;
    bool showWarningQuestion(const QString &title, const QString &message,
                             const QString &acceptText, const QString &rejectText) override;
    ReplaceAnswer askReplaceFiles(const QString &title, const QString &message,
                                  const QStringList &files) override;

private:
    QWidget *m_parent;
};

class QtDesktop final : public Desktop
{
public:
    void openFile(const QString &path) override;
    void openFolder(const QString &path) override;
};
