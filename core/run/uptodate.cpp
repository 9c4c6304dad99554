#include "uptodate.h"

#include "atomicwrite.h"
#include "platform.h"
#include "useraccess.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <algorithm>
#include <chrono>

namespace {

const QString kFormat = QStringLiteral("velunor-unchanged-1");
// A folder of a few thousand outputs stays far below this; a larger file is not ours.
constexpr qint64 kMaxRecordBytes = 8 * 1024 * 1024;
// A write within this time before the recording may share the recorded modification time.
constexpr qint64 kRacyNs = 2'000'000'000;

// The clock of file times ticks coarsely and lags by up to a tick; a file read by the
// converter whose time is this close to the start may have changed after it was read.
constexpr qint64 kClockSlackNs = 20'000'000;

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

std::optional<Platform::FileStatus> regularFile(const QString &path)
{
    auto status = Platform::fileStatus(path);
    if (!status || status->kind != Platform::FileStatus::Kind::File)
        return std::nullopt;
    return status;
}

QByteArray contentHash(const QString &path)
{
    QFile file(path);
    if (!regularFile(path) || !file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex();
}

QByteArray settingsKey(const PlannedJob &job, const QByteArray &converter)
{
    // The output is the record's own name; everything else on the line counts, and so does
    // the converter: another pandoc may write another document from the same files.
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(converter);
    hash.addData(QByteArrayView("\0", 1));
    for (const QString &argument : job.arguments) {
        hash.addData(argument == job.output ? QByteArrayView("\x01output") : argument.toUtf8());
        hash.addData(QByteArrayView("\0", 1));
    }
    hash.addData(QByteArrayView(job.textProbe ? "pdf-from-text" : ""));
    return hash.result().toHex();
}

QJsonArray stampJson(const QString &path, const auto &stamp)
{
    return {path, QString::number(stamp.size), QString::number(stamp.modifiedNs),
            QString::fromLatin1(stamp.hash)};
}

} // namespace

UpToDate::UpToDate(QString folder) : m_folder(std::move(folder)) {}

QString UpToDate::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) +
           QStringLiteral("/unchanged");
}

void UpToDate::beginRun(const QString &converter)
{
    // Where it is and which file it is: an update replaces the file, and hashing a converter
    // of a hundred megabytes for every run would cost more than the conversions saved.
    m_converter = converter.toUtf8();
    if (const auto status = Platform::fileStatus(converter))
        m_converter +=
            '\0' + QByteArray::number(status->size) + '\0' + QByteArray::number(status->modifiedNs);
    m_read.clear();
    m_written.clear();
    m_dropped.clear();
    m_pending.clear();
}

bool UpToDate::usable()
{
    // Only a folder nobody else can write: a planted record must not skip a conversion.
    if (!m_usable) {
        if (!m_folder.isEmpty())
            QDir().mkpath(QFileInfo(m_folder).absolutePath());
        m_usable = !m_folder.isEmpty() && !UserAccess::makePrivateFolder(m_folder).isEmpty();
    }
    return *m_usable;
}

QString UpToDate::recordPath(const QString &outputFolder) const
{
    const QByteArray id =
        QCryptographicHash::hash(outputFolder.toUtf8(), QCryptographicHash::Sha256).toHex();
    return m_folder + u'/' + QString::fromLatin1(id.left(32)) + QStringLiteral(".json");
}

UpToDate::Entries UpToDate::read(const QString &outputFolder) const
{
    const QString path = recordPath(outputFolder);
    // Not through a link, only our own regular file, and only a plausible size.
    const auto status = Platform::fileStatus(path, Platform::Links::DontFollow);
    if (!status || status->kind != Platform::FileStatus::Kind::File ||
        status->owner != Platform::currentUserId() || status->size > kMaxRecordBytes)
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QJsonObject root = QJsonDocument::fromJson(file.read(kMaxRecordBytes)).object();
    if (root.value(u"format").toString() != kFormat ||
        root.value(u"folder").toString() != outputFolder)
        return {};
    const auto stampOf = [](const QJsonArray &fields, Stamp &stamp) {
        bool sizeOk = false;
        bool timeOk = false;
        stamp.size = fields.at(1).toString().toLongLong(&sizeOk);
        stamp.modifiedNs = fields.at(2).toString().toLongLong(&timeOk);
        stamp.hash = fields.at(3).toString().toLatin1();
        return fields.size() == 4 && sizeOk && timeOk && stamp.hash.size() == 64;
    };
    Entries entries;
    const QJsonObject outputs = root.value(u"outputs").toObject();
    for (auto it = outputs.begin(); it != outputs.end(); ++it) {
        const QJsonObject record = it.value().toObject();
        Entry entry;
        entry.settings = record.value(u"settings").toString().toLatin1();
        entry.recordedNs = record.value(u"recorded").toString().toLongLong();
        bool whole = stampOf(record.value(u"output").toArray(), entry.output) &&
                     entry.recordedNs > 0 && !it.key().contains(u'/');
        for (const QJsonValue &input : record.value(u"inputs").toArray()) {
            const QJsonArray fields = input.toArray();
            Stamp stamp;
            whole =
                whole && stampOf(fields, stamp) && QDir::isAbsolutePath(fields.at(0).toString());
            entry.inputs.append({fields.at(0).toString(), stamp});
        }
        if (whole && !entry.inputs.isEmpty())
            entries.insert(it.key(), entry);
    }
    return entries;
}

const UpToDate::Entries &UpToDate::entriesFor(const QString &outputFolder)
{
    auto found = m_read.find(outputFolder);
    if (found == m_read.end())
        found = m_read.insert(outputFolder, read(outputFolder));
    return found.value();
}

bool UpToDate::matches(const QString &path, const Stamp &stamp, qint64 recordedNs)
{
    const auto status = regularFile(path);
    if (!status || status->size != stamp.size)
        return false;
    if (status->modifiedNs == stamp.modifiedNs && stamp.modifiedNs + kRacyNs < recordedNs)
        return true;
    return contentHash(path) == stamp.hash;
}

bool UpToDate::isUnchanged(const PlannedJob &job, const QStringList &sources)
{
    if (job.refusal || job.output.isEmpty() || !usable())
        return false;
    const QFileInfo output(job.output);
    const Entries &entries = entriesFor(output.absolutePath());
    const auto found = entries.constFind(output.fileName());
    if (found == entries.cend() || found->settings != settingsKey(job, m_converter))
        return false;
    const Entry &entry = *found;
    // Someone else's edit of the output is never overwritten unasked, nor kept unsaid.
    if (!matches(job.output, entry.output, entry.recordedNs))
        return false;
    for (const QString &source : sources) {
        const bool recorded = std::any_of(entry.inputs.cbegin(), entry.inputs.cend(),
                                          [&source](const auto &in) { return in.first == source; });
        if (!recorded)
            return false;
    }
    return std::all_of(entry.inputs.cbegin(), entry.inputs.cend(), [&entry](const auto &in) {
        return matches(in.first, in.second, entry.recordedNs);
    });
}

void UpToDate::starting(qsizetype index, const PlannedJob &job, const QStringList &sources)
{
    if (job.refusal || !usable())
        return;
    Pending pending{job.output, settingsKey(job, m_converter), nowNs(), {}};
    for (const QString &source : sources) {
        const auto status = regularFile(source);
        if (!status)
            return;
        pending.before.append({source, Stamp{status->size, status->modifiedNs, {}}});
    }
    m_pending.insert(index, std::move(pending));
}

void UpToDate::succeeded(qsizetype index, const std::optional<QStringList> &resources)
{
    const auto found = m_pending.constFind(index);
    if (found == m_pending.cend())
        return;
    const Pending pending = *found;
    m_pending.erase(found);
    const QFileInfo output(pending.output);
    const QString folder = output.absolutePath();
    // The output was replaced: an older record no longer describes it.
    m_dropped[folder].insert(output.fileName());
    m_written[folder].remove(output.fileName());
    if (!resources)
        return;
    Entry entry;
    entry.settings = pending.settings;
    const auto stamped = [](const QString &path) -> std::optional<Stamp> {
        const auto status = regularFile(path);
        if (!status)
            return std::nullopt;
        Stamp stamp{status->size, status->modifiedNs, contentHash(path)};
        return stamp.hash.isEmpty() ? std::nullopt : std::optional(stamp);
    };
    // A file that changed while the converter read it leaves no record: the next run converts.
    for (const auto &[path, before] : pending.before) {
        const std::optional<Stamp> now = stamped(path);
        if (!now || now->size != before.size || now->modifiedNs != before.modifiedNs)
            return;
        entry.inputs.append({path, *now});
    }
    for (const QString &path : *resources) {
        if (std::any_of(entry.inputs.cbegin(), entry.inputs.cend(),
                        [&path](const auto &in) { return in.first == path; }))
            continue;
        const std::optional<Stamp> now = stamped(path);
        if (!now || now->modifiedNs >= pending.startedNs - kClockSlackNs)
            return;
        entry.inputs.append({path, *now});
    }
    const std::optional<Stamp> written = stamped(pending.output);
    if (!written || entry.inputs.isEmpty())
        return;
    entry.output = *written;
    entry.recordedNs = nowNs();
    m_written[folder].insert(output.fileName(), entry);
}

QStringList UpToDate::recordedSources(const QString &output) const
{
    const QFileInfo info(output);
    QStringList paths;
    for (const auto &[path, stamp] :
         m_read.value(info.absolutePath()).value(info.fileName()).inputs)
        paths.append(path);
    return paths;
}

std::optional<QString> UpToDate::save()
{
    std::optional<QString> failure;
    for (auto it = m_dropped.cbegin(); it != m_dropped.cend(); ++it) {
        const QString &outputFolder = it.key();
        // What another window recorded meanwhile stays; this run's outputs are replaced.
        Entries entries = read(outputFolder);
        for (const QString &name : it.value())
            entries.remove(name);
        const Entries written = m_written.value(outputFolder);
        for (auto entry = written.cbegin(); entry != written.cend(); ++entry)
            entries.insert(entry.key(), entry.value());
        QJsonObject outputs;
        for (auto entry = entries.cbegin(); entry != entries.cend(); ++entry) {
            QJsonArray inputs;
            for (const auto &[path, stamp] : entry->inputs)
                inputs.append(stampJson(path, stamp));
            outputs.insert(
                entry.key(),
                QJsonObject{{QStringLiteral("settings"), QString::fromLatin1(entry->settings)},
                            {QStringLiteral("recorded"), QString::number(entry->recordedNs)},
                            {QStringLiteral("output"), stampJson(QString(), entry->output)},
                            {QStringLiteral("inputs"), inputs}});
        }
        const QJsonObject root{{QStringLiteral("format"), kFormat},
                               {QStringLiteral("folder"), outputFolder},
                               {QStringLiteral("outputs"), outputs}};
        // The new record replaces a link or anything else at its name, never writes through it.
        const QString path = recordPath(outputFolder);
        const auto there = Platform::fileStatus(path, Platform::Links::DontFollow);
        if (there && there->kind != Platform::FileStatus::Kind::File)
            Platform::removeName(path);
        QString error;
        if (!writeFileAtomically(path, QJsonDocument(root).toJson(QJsonDocument::Compact), &error))
            failure = error;
    }
    m_dropped.clear();
    m_written.clear();
    m_read.clear();
    return failure;
}
