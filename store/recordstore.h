#pragma once

#include "recordfile.h"
#include "recordjson.h"

#include <QList>
#include <QSet>

// Gives each record whose id an earlier record already has a fresh id, so that every
// operation by id addresses exactly one record. Returns how many were renewed.
template <typename T> qsizetype renewDuplicateIds(QList<T> &records)
{
    QSet<QUuid> seen;
    seen.reserve(records.size());
    qsizetype renewed = 0;
    for (T &record : records) {
        if (seen.contains(record.id)) {
            do
                record.id = QUuid::createUuid();
            while (seen.contains(record.id));
            ++renewed;
        }
        seen.insert(record.id);
    }
    return renewed;
}

// A store file holding one list of records (presets or the template index).
template <typename T> class RecordStore final
{
public:
    struct Loaded
    {
        RecordFile::LoadState state = RecordFile::LoadState::Missing;
        QList<T> records;
        QString error;
    };

    explicit RecordStore(QString path) : m_file(std::move(path)) {}

    QString path() const { return m_file.path(); }

    Loaded load()
    {
        Loaded result;
        RecordFile::LoadResult raw = m_file.read();
        result.state = raw.state;
        result.error = raw.error;
        if (raw.state == RecordFile::LoadState::Loaded &&
            !decodeRecords(raw.data, &result.records, &result.error))
            result.state = RecordFile::LoadState::Failed;
        if (result.state == RecordFile::LoadState::Failed) {
            m_file.markUnreadable();
            result.records.clear();
        }
        return result;
    }

    RecordFile::SaveResult save(const QList<T> &records)
    {
        return m_file.write(encodeRecords(records));
    }

private:
    RecordFile m_file;
};

using PresetStore = RecordStore<Preset>;
using TemplateIndex = RecordStore<Template>;
