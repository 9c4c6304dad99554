#include "atomicwrite.h"

#include "platform.h"

#include <cerrno>

QString fileErrorReason(const QFileDevice &file, int savedErrno)
{
    if (file.error() != QFileDevice::NoError && !file.errorString().isEmpty())
        return file.errorString();
    if (savedErrno != 0)
        return qt_error_string(savedErrno);
    return QStringLiteral("Schreiben fehlgeschlagen");
}

AtomicWrite::AtomicWrite(const QString &path) : m_file(path) {}

AtomicWrite::~AtomicWrite()
{
    cancel();
}

bool AtomicWrite::open()
{
    errno = 0;
    m_open = m_file.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
    if (!m_open)
        m_error = fileErrorReason(m_file, errno);
    return m_open;
}

bool AtomicWrite::write(const char *data, qint64 size)
{
    if (!m_open)
        return false;
    // A short write is followed by one that fails with the reason (no space, too large).
    while (size > 0) {
        errno = 0;
        const qint64 written = m_file.write(data, size);
        if (written <= 0)
            return fail(errno);
        data += written;
        size -= written;
    }
    return true;
}

bool AtomicWrite::commit()
{
    if (!m_open)
        return false;
    // Some file systems report a full disk only when the data reaches it; Qt ignores that.
    if (const int error = Platform::syncFile(m_file.handle()); error != 0)
        return fail(error);
    errno = 0;
    m_open = false;
    if (!m_file.commit()) {
        m_error = fileErrorReason(m_file, errno);
        return false;
    }
    return true;
}

void AtomicWrite::cancel()
{
    if (!m_open)
        return;
    m_open = false;
    // The temporary file goes with m_file; the target stays untouched.
    m_file.cancelWriting();
}

bool AtomicWrite::fail(int savedErrno)
{
    m_error = fileErrorReason(m_file, savedErrno);
    cancel();
    return false;
}

bool writeFileAtomically(const QString &path, const QByteArray &data, QString *error)
{
    AtomicWrite file(path);
    if (file.open() && file.write(data) && file.commit())
        return true;
    if (error)
        *error = file.errorString();
    return false;
}
