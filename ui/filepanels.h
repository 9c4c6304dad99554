#pragma once

#include <QList>
#include <QString>
#include <QUrl>
#include <optional>

class QWidget;

// File panels the views open; the app uses QFileDialog, tests return scripted answers.
// An empty optional means the user cancelled.
class FilePanels
{
public:
    virtual ~FilePanels() = default;
    virtual std::optional<QList<QUrl>> chooseOpenFiles(QWidget *parent, const QString &caption,
                                                       const QString &filter) = 0;
    virtual std::optional<QString> chooseOpenFile(QWidget *parent, const QString &caption,
                                                  const QString &filter) = 0;
    // `suggestedPath` is a file name or a full path; the panel asks before replacing a file.
    virtual std::optional<QString> chooseSaveFile(QWidget *parent, const QString &caption,
                                                  const QString &suggestedPath,
                                                  const QString &filter) = 0;
    // An existing folder, starting at `start`.
    virtual std::optional<QString> chooseFolder(QWidget *parent, const QString &caption,
                                                const QString &start) = 0;
};

class QtFilePanels final : public FilePanels
{
public:
    std::optional<QList<QUrl>> chooseOpenFiles(QWidget *parent, const QString &caption,
                                               const QString &filter) override;
    std::optional<QString> chooseOpenFile(QWidget *parent, const QString &caption,
                                          const QString &filter) override;
    std::optional<QString> chooseSaveFile(QWidget *parent, const QString &caption,
                                          const QString &suggestedPath,
                                          const QString &filter) override;
    std::optional<QString> chooseFolder(QWidget *parent, const QString &caption,
                                        const QString &start) override;
};
