#pragma once

// Header-only: the test-support library links the core layer only, while FilePanels
// belongs to the widget layer that the GUI suites link anyway.

#include "filepanels.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

// Answers each panel from a script (an empty script means "cancelled") and records the calls.
class FakeFilePanels final : public FilePanels
{
public:
    struct Call
    {
        QString kind; // "openFiles", "openFile", "saveFile" or "folder"
        QString caption;
        QString suggestedPath;
    };

    std::optional<QList<QUrl>> chooseOpenFiles(QWidget *, const QString &caption,
                                               const QString &) override
    {
        calls.append({QStringLiteral("openFiles"), caption, QString()});
        return openFilesAnswers.isEmpty() ? std::nullopt : openFilesAnswers.takeFirst();
    }

    std::optional<QString> chooseOpenFile(QWidget *, const QString &caption,
                                          const QString &) override
    {
        calls.append({QStringLiteral("openFile"), caption, QString()});
        return openFileAnswers.isEmpty() ? std::nullopt : openFileAnswers.takeFirst();
    }

    std::optional<QString> chooseSaveFile(QWidget *, const QString &caption,
                                          const QString &suggestedPath, const QString &) override
    {
        calls.append({QStringLiteral("saveFile"), caption, suggestedPath});
        return saveFileAnswers.isEmpty() ? std::nullopt : saveFileAnswers.takeFirst();
    }

    std::optional<QString> chooseFolder(QWidget *, const QString &caption,
                                        const QString &start) override
    {
        calls.append({QStringLiteral("folder"), caption, start});
        return folderAnswers.isEmpty() ? std::nullopt : folderAnswers.takeFirst();
    }

    QList<Call> calls;
    QList<std::optional<QList<QUrl>>> openFilesAnswers;
    QList<std::optional<QString>> openFileAnswers;
    QList<std::optional<QString>> saveFileAnswers;
    QList<std::optional<QString>> folderAnswers;
};
