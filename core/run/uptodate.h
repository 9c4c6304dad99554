#pragma once

#include "conversionplan.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <optional>

// Remembers what each output was written from, so that "Nur geänderte Dateien" can leave an
// output alone whose inputs and settings are what they were. One small JSON file per output
// folder in a private cache folder. Anything odd about a record (missing, unreadable, not
// ours, a link, too large, another folder's) reads as "no record": the file is converted.
//
// A file counts as unchanged when its size is the same and either its modification time is
// the same (and was not within two seconds of the recording, when a same-sized write in the
// same clock tick could hide) or its SHA-256 is the same. A tool that rewrites a file with the
// same size and puts its old modification time back is not noticed; `touch` alone is.
class UpToDate final
{
public:
    // Records live in `folder`; "" keeps none.
    explicit UpToDate(QString folder = {});
    // The "unchanged" folder in Velunor's cache folder.
    static QString defaultFolder();

    QString folder() const { return m_folder; }
    // Whether records can be kept: the folder is there, or made, and only ours.
    bool usable();

    // Forgets what the last run read and recorded: another process may have written since.
    // `converter` is the program this run uses; a record made with another one does not count.
    void beginRun(const QString &converter = {});
    // Whether the job's output is as Velunor wrote it, from the same settings and files:
    // `sources` (namedSourceFiles()) and whatever the converter reported reading then.
    bool isUnchanged(const PlannedJob &job, const QStringList &sources);
    // Just before job `index` starts: the state of the files it is told to read.
    void starting(qsizetype index, const PlannedJob &job, const QStringList &sources);
    // Job `index` succeeded: its record is kept, unless a file changed while it ran or the
    // converter did not say what it read.
    void succeeded(qsizetype index, const std::optional<QStringList> &resources);
    // The files the record of `output` names, as read in this run; empty without one.
    QStringList recordedSources(const QString &output) const;
    // Writes the records of this run; the reason when that failed.
    std::optional<QString> save();

private:
    struct Stamp
    {
        qint64 size = -1;
        qint64 modifiedNs = 0;
        QByteArray hash;
    };
    struct Entry
    {
        QByteArray settings;
        qint64 recordedNs = 0;
        Stamp output;
        QList<std::pair<QString, Stamp>> inputs;
    };
    using Entries = QHash<QString, Entry>; // by output file name
    struct Pending
    {
        QString output;
        QByteArray settings;
        qint64 startedNs = 0;
        QList<std::pair<QString, Stamp>> before; // without hashes
    };

    QString recordPath(const QString &outputFolder) const;
    Entries read(const QString &outputFolder) const;
    const Entries &entriesFor(const QString &outputFolder);
    static bool matches(const QString &path, const Stamp &stamp, qint64 recordedNs);

    QString m_folder;
    QByteArray m_converter; // path, size and time of the run's converter
    std::optional<bool> m_usable;
    QHash<QString, Entries> m_read;          // by output folder, read once per run
    QHash<QString, Entries> m_written;       // by output folder: new records of this run
    QHash<QString, QSet<QString>> m_dropped; // by output folder: names recorded no longer
    QHash<qsizetype, Pending> m_pending;
};
