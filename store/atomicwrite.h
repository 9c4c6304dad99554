#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

// Replaces a whole file in one step, or leaves it as it was. Every write goes straight to the
// file system and is checked: Qt's buffered QSaveFile commits a truncated file when the last
// buffered write hits a full disk.
class AtomicWrite final
{
public:
    explicit AtomicWrite(const QString &path);
    ~AtomicWrite();
    Q_DISABLE_COPY_MOVE(AtomicWrite)

    bool open();
    bool write(const char *data, qint64 size);
    bool write(const QByteArray &data) { return write(data.constData(), data.size()); }
    // Makes the new content durable and puts it in place; false leaves the old file.
    bool commit();
    void cancel();

    // The system's reason for the last failure.
    QString errorString() const { return m_error; }

private:
    bool fail(int savedErrno);

    QSaveFile m_file;
    QString m_error;
    bool m_open = false;
};

// Every whole file Velunor writes goes through here: `data` replaces the content of `path`
// in one step, or the old file stays and `error` names the system's reason.
bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error);

// The system's text for a failed file operation: Qt's own when it recorded one, else the
// operating system's for `savedErrno`.
QString fileErrorReason(const QFileDevice &file, int savedErrno);
