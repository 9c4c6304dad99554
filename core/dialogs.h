#pragma once

#include <QString>
#include <QStringList>

// Modal dialogs the view model raises; the app shows message boxes, tests answer from a script.
class Dialogs
{
public:
    virtual ~Dialogs() = default;
    // Information dialog with the single button "OK".
    virtual void showAlert(const QString &title, const QString &message) = 0;
    // Question with "Ja" and "Nein"; true for "Ja".
    virtual bool showConfirmation(const QString &title, const QString &message) = 0;
    // Warning question with a destructive default button; true for `acceptText`.
    virtual bool showWarningQuestion(const QString &title, const QString &message,
                                     const QString &acceptText, const QString &rejectText) = 0;

    enum class ReplaceAnswer
    {
        ReplaceAll,
        SkipThese,
        Cancel
    };
    // One question about several existing files, listed in a scrollable list.
    virtual ReplaceAnswer askReplaceFiles(const QString &title, const QString &message,
                                          const QStringList &files) = 0;
};

// Shows nothing and answers every question with no; for tools that run unattended.
class SilentDialogs final : public Dialogs
{
public:
    void showAlert(const QString &, const QString &) override {}
    bool showConfirmation(const QString &, const QString &) override { return false; }
    bool showWarningQuestion(const QString &, const QString &, const QString &,
                             const QString &) override
    {
        return false;
    }
    ReplaceAnswer askReplaceFiles(const QString &, const QString &, const QStringList &) override
    {
        return ReplaceAnswer::SkipThese;
    }
};

// Opening files and folders in the desktop's default application.
class Desktop
{
public:
    virtual ~Desktop() = default;
    virtual void openFile(const QString &path) = 0;
    virtual void openFolder(const QString &path) = 0;
};
