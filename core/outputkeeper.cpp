#include "outputkeeper.h"

#include "processtree.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxLinks = 40;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Follows links at `path` to the file they end in; nullopt for a loop.
std::optional<QString> finalTarget(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hop = 0; hop < kMaxLinks; ++hop) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        // A dangling link still names where pandoc would have written.
        current = info.symLinkTarget();
    }
    return std::nullopt;
}

std::atomic<quint64> s_counter{0};

} // namespace

OutputKeeper::OutputKeeper(QString output) : m_output(std::move(output)) {}

OutputKeeper::~OutputKeeper()
{
    discard();
}

QString OutputKeeper::temporaryName(const QString &path, qint64 pid, quint64 number)
{
    const QFileInfo info(path);
    // pandoc makes a PDF (of beamer, latex, html...) when the name it writes ends in .pdf.
    const bool pdf = info.suffix().compare(u"pdf", Qt::CaseInsensitive) == 0;
    return info.absolutePath() + QStringLiteral("/.") + info.fileName() +
           QStringLiteral(".velunor-") + QString::number(pid) + u'-' + QString::number(number) +
           (pdf ? QStringLiteral(".pdf") : QString());
}

bool OutputKeeper::prepare(QString *error)
{
    const std::optional<QString> target = finalTarget(m_output);
    if (!target) {
        *error = errorText(ELOOP);
        return false;
    }
    struct stat existing = {};
    if (::stat(native(*target).constData(), &existing) == 0 && !S_ISREG(existing.st_mode)) {
        // A FIFO would be swapped for a plain file, a folder cannot be replaced at all.
        *error = QStringLiteral("keine gewöhnliche Datei");
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = temporaryName(*target, ::getpid(), ++s_counter);
        const int fd = ::open(native(temp).constData(),
                              O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0) {
            // A private output stays private while it is written, not only once it is done.
            if (S_ISREG(existing.st_mode))
                ::fchmod(fd, (existing.st_mode & 0777) | S_IWUSR);
            ::close(fd);
            m_target = *target;
            m_temp = temp;
            return true;
        }
        if (errno != EEXIST) {
            *error = errorText(errno);
            return false;
        }
    }
    *error = errorText(EEXIST);
    return false;
}

std::optional<QString> OutputKeeper::commit()
{
    const QString name = QFileInfo(m_output).fileName();
    struct stat written = {};
    if (::lstat(native(m_temp).constData(), &written) != 0 || !S_ISREG(written.st_mode) ||
        written.st_size == 0) {
        discard();
        return QStringLiteral("❌ Pandoc hat keine Ausgabe geschrieben: ") + name;
    }
    struct stat old = {};
    if (::stat(native(m_target).constData(), &old) == 0) {
        ::chmod(native(m_temp).constData(), old.st_mode & 07777);
        if (old.st_nlink > 1)
            m_notes.append(QStringLiteral("⚠ Weitere harte Links auf ") + name +
                           QStringLiteral(" behalten den alten Inhalt"));
    }
    if (std::rename(native(m_temp).constData(), native(m_target).constData()) != 0) {
        const QString reason = errorText(errno);
        discard();
        return QStringLiteral("❌ Ausgabedatei konnte nicht ersetzt werden: ") + name +
               QStringLiteral(" (") + reason + u')';
    }
    m_temp.clear();
    return std::nullopt;
}

void OutputKeeper::discard()
{
    if (m_temp.isEmpty())
        return;
    // Never through a link someone put at our name.
    ::unlink(native(m_temp).constData());
    m_temp.clear();
}

int OutputKeeper::removeStale(const QString &folder)
{
    static const QRegularExpression pattern(
        QStringLiteral("^\\..+\\.velunor-(\\d+)-\\d+(\\.pdf)?$"));
    const QStringList names =
        QDir(folder).entryList({QStringLiteral(".*.velunor-*")}, QDir::Files | QDir::Hidden);
    int removed = 0;
    for (const QString &name : names) {
        const QRegularExpressionMatch match = pattern.match(name);
        if (!match.hasMatch())
            continue;
        const qint64 pid = match.captured(1).toLongLong();
        if (pid == ::getpid() || ProcessTree::alive(pid))
            continue;
        const QByteArray path = native(folder + u'/' + name);
        struct stat info = {};
        if (::lstat(path.constData(), &info) != 0 || !S_ISREG(info.st_mode) ||
            info.st_uid != ::getuid())
            continue;
        if (::unlink(path.constData()) == 0)
            ++removed;
    }
    return removed;
}
