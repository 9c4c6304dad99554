#pragma once

#include "dialogs.h"
#include "pandocviewmodel.h"

#include <QList>
#include <QPair>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// Records every dialog and answers confirmations from a script (default "Nein").
class FakeDialogs final : public Dialogs
{
public:
    struct Call
    {
        QString kind; // "alert", "confirm", "warning" or "replace"
        QString title;
        QString message;
    };

    void showAlert(const QString &title, const QString &message) override;
    bool showConfirmation(const QString &title, const QString &message) override;
    bool showWarningQuestion(const QString &title, const QString &message,
                             const QString &acceptText, const QString &rejectText) override;
    // Recorded as kind "replace", with the files joined by line breaks after the message.
    ReplaceAnswer askReplaceFiles(const QString &title, const QString &message,
                                  const QStringList &files) override;

    QList<Call> calls;
    // Runs while an alert or confirmation is "up", as a modal dialog's own event loop would.
    std::function<void(const Call &)> whileShown;
    QList<bool> answers;
    ReplaceAnswer replaceAnswer = ReplaceAnswer::Cancel;
};

class FakeDesktop final : public Desktop
{
public:
    void openFile(const QString &path) override { openedFiles.append(path); }
    void openFolder(const QString &path) override { openedFolders.append(path); }

    QStringList openedFiles;
    QStringList openedFolders;
};

// A temporary world for one view model: store root, converter folder, fakes.
class TestWorld final
{
public:
    TestWorld();

    QString root() const { return m_dir.path(); }
    QString storeRoot() const { return m_dir.path() + QStringLiteral("/support"); }
    QString binDir() const { return m_dir.path() + QStringLiteral("/bin"); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    // Puts the fake converter at binDir()/pandoc.
    QString installFakePandoc() const;
    // Puts Debian's pandoc at binDir()/pandoc (a link).
    QString installRealPandoc() const;
    // Writes a file (creating folders) and returns its absolute path.
    QString writeFile(const QString &relative, const QByteArray &content) const;

    // Fixed places: just binDir()/pandoc; no PATH.
    ViewModelEnvironment environment();
    std::unique_ptr<PandocViewModel> makeViewModel();

    FakeDialogs dialogs;
    FakeDesktop desktop;

private:
    QTemporaryDir m_dir;
};
