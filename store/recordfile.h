#pragma once

#include <QByteArray>
#include <QString>

// One whole-file JSON store. Writes are atomic; a file that could not be
// loaded is moved aside before the first save would replace it.
class RecordFile final
{
public:
    enum class LoadState { Missing, Loaded, Failed };

    struct LoadResult
    {
        LoadState state = LoadState::Missing;
        QByteArray data;
        QString error;
    };

    struct SaveResult
    {
        bool ok = false;
        QString error;
        // Set when an unreadable file was kept aside under this name.
        QString keptAside;
    };

    explicit RecordFile(QString path);

    QString path() const { return m_path; }

    LoadResult read() const;
    // Records that the content just read could not be used.
    void markUnreadable() { m_unreadable = true; }
    SaveResult write(const QByteArray &data);

    static constexpr qint64 kMaxFileSize = 256LL * 1024 * 1024;

private:
    QString m_path;
    bool m_unreadable = false;
};
