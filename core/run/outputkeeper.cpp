#include "outputkeeper.h"

#include "platform.h"
#include "processtree.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

constexpr int kMaxLinks = 40;
using Kind = Platform::FileStatus::Kind;

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
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
    const std::optional<Platform::FileStatus> existing = Platform::fileStatus(*target);
    if (existing && existing->kind != Kind::File) {
        // A FIFO would be swapped for a plain file, a folder cannot be replaced at all.
        *error = QStringLiteral("keine gewöhnliche Datei");
        return false;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString temp = temporaryName(*target, Platform::currentProcessId(), ++s_counter);
        // A private output stays private while it is written, not only once it is done.
        const int failure = Platform::createNewFile(
            temp, existing ? std::optional((existing->mode & 0777) | Platform::kOwnerWrite)
                           : std::nullopt);
        if (failure == 0) {
            m_target = *target;
            m_temp = temp;
            return true;
        }
        if (failure != EEXIST) {
            *error = errorText(failure);
            return false;
        }
    }
    *error = errorText(EEXIST);
    return false;
}

std::optional<QString> OutputKeeper::commit()
{
    const QString name = QFileInfo(m_output).fileName();
    const auto written = Platform::fileStatus(m_temp, Platform::Links::DontFollow);
    if (!written || written->kind != Kind::File || written->size == 0) {
        discard();
        return QStringLiteral("❌ Pandoc hat keine Ausgabe geschrieben: ") + name;
    }
    if (const auto old = Platform::fileStatus(m_target)) {
        Platform::setMode(m_temp, old->mode);
        if (old->links > 1)
            m_notes.append(QStringLiteral("⚠ Weitere harte Links auf ") + name +
                           QStringLiteral(" behalten den alten Inhalt"));
    }
    if (const int failure = Platform::replaceFile(m_temp, m_target); failure != 0) {
        const QString reason = errorText(failure);
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
    Platform::removeName(m_temp);
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
        if (pid == Platform::currentProcessId() || ProcessTree::alive(pid))
            continue;
        const QString path = folder + u'/' + name;
        const auto info = Platform::fileStatus(path, Platform::Links::DontFollow);
        if (!info || info->kind != Kind::File || info->owner != Platform::currentUserId())
            continue;
        if (Platform::removeName(path))
            ++removed;
    }
    return removed;
}
