#pragma once

#include "recordfile.h"
#include "recordjson.h"

#include <QList>

// A store file holding one list of records (presets or the template index).
template <typename T>
class RecordStore final
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

    RecordFile::SaveResult save(const QList<T> &records) { return m_file.write(encodeRecords(records)); }

private:
    RecordFile m_file;
};

using PresetStore = RecordStore<Preset>;
using TemplateIndex = RecordStore<Template>;
