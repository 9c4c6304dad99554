#include "outputkeeper.h"

#include <QFileInfo>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

bool removeNonDirectory(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (info.isDir() && !info.isSymLink())
        return false;
    return QFile::remove(path);
}

} // namespace

OutputKeeper::OutputKeeper(QString output) : m_output(std::move(output)) {}

OutputKeeper::~OutputKeeper()
{
    restore();
}

bool OutputKeeper::keepAside(QString *error)
{
    m_active = true;
    const QFileInfo info(m_output);
    // A folder is not replaced; the converter reports that itself.
    if ((!info.exists() && !info.isSymLink()) || (info.isDir() && !info.isSymLink()))
        return true;
    // Reserve a unique name beside the output; rename() then swaps atomically.
    QTemporaryFile reserved(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                            QStringLiteral(".XXXXXX.velunor-alt"));
    reserved.setAutoRemove(false);
    if (!reserved.open()) {
        if (error)
            *error = reserved.errorString();
        return false;
    }
    const QString kept = reserved.fileName();
    reserved.close();
    if (std::rename(QFile::encodeName(m_output).constData(), QFile::encodeName(kept).constData()) !=
        0) {
        if (error)
            *error = QString::fromLocal8Bit(std::strerror(errno));
        QFile::remove(kept);
        return false;
    }
    m_kept = kept;
    return true;
}

void OutputKeeper::commit()
{
    if (!m_active)
        return;
    m_active = false;
    if (!m_kept.isEmpty())
        QFile::remove(m_kept);
    m_kept.clear();
}

void OutputKeeper::restore()
{
    if (!m_active)
        return;
    m_active = false;
    if (m_kept.isEmpty()) {
        removeNonDirectory(m_output);
        return;
    }
    // Replaces a partial file in one step.
    std::rename(QFile::encodeName(m_kept).constData(), QFile::encodeName(m_output).constData());
    m_kept.clear();
}
