#include "recordfile.h"

#include "atomicwrite.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

RecordFile::RecordFile(QString path) : m_path(std::move(path)) {}

RecordFile::LoadResult RecordFile::read() const
{
    LoadResult result;
    const QFileInfo info(m_path);
    if (!info.exists() && !info.isSymLink())
        return result;
    result.state = LoadState::Failed;
    if (!info.isFile()) {
        result.error = QStringLiteral("Keine reguläre Datei: %1").arg(m_path);
        return result;
    }
    if (info.size() > kMaxFileSize) {
        result.error = QStringLiteral("Datei zu groß (%1 Bytes)").arg(info.size());
        return result;
    }
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = file.errorString();
        return result;
    }
    result.data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        result.error = file.errorString();
        return result;
    }
    result.state = LoadState::Loaded;
    return result;
}

RecordFile::SaveResult RecordFile::write(const QByteArray &data)
{
    SaveResult result;
    const QFileInfo info(m_path);
    QDir().mkpath(info.absolutePath());

    if (m_unreadable && (info.exists() || info.isSymLink())) {
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString aside = m_path + QStringLiteral(".unreadable-") + stamp;
        for (int n = 2; QFileInfo::exists(aside); ++n)
            aside = m_path + QStringLiteral(".unreadable-") + stamp + u'-' + QString::number(n);
        QFile file(m_path);
        if (!file.rename(aside)) {
            // Never replace a file we could not read; the list in memory stays the master.
            result.error = QStringLiteral("Unlesbare Datei konnte nicht beiseitegelegt werden: ") +
                           file.errorString();
            return result;
        }
        result.keptAside = aside;
    }
    m_unreadable = false;

    result.ok = writeFileAtomically(m_path, data, &result.error);
    return result;
}
