#pragma once

#include "recordjson.h"

#include <QByteArray>

#include <cstdlib>

// Any input either fails cleanly or decodes to records that survive a write and a read unchanged.
template <typename T> int fuzzRecords(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    QList<T> first;
    QString error;
    if (!decodeRecords(input, &first, &error)) {
        if (error.isEmpty())
            std::abort(); // a failure must say why
        return 0;
    }
    QList<T> second;
    if (!decodeRecords(encodeRecords(first), &second, &error) || second != first)
        std::abort();
    return 0;
}
