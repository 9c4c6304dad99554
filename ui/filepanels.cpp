#include "filepanels.h"

#include <QFileDialog>

std::optional<QList<QUrl>> QtFilePanels::chooseOpenFiles(QWidget *parent, const QString &caption,
                                                         const QString &filter)
{
    const QList<QUrl> urls = QFileDialog::getOpenFileUrls(parent, caption, QUrl(), filter);
    if (urls.isEmpty())
        return std::nullopt;
    return urls;
}

std::optional<QString> QtFilePanels::chooseOpenFile(QWidget *parent, const QString &caption,
                                                    const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(parent, caption, QString(), filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtFilePanels::chooseSaveFile(QWidget *parent, const QString &caption,
                                                    const QString &suggestedPath,
                                                    const QString &filter)
{
    const QString path = QFileDialog::getSaveFileName(parent, caption, suggestedPath, filter);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}

std::optional<QString> QtFilePanels::chooseFolder(QWidget *parent, const QString &caption,
                                                  const QString &start)
{
    const QString path = QFileDialog::getExistingDirectory(parent, caption, start);
    if (path.isEmpty())
        return std::nullopt;
    return path;
}
