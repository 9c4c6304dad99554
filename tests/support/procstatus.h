#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// The first number after `key` in one of this process's /proc/self files (status: KiB), or -1.
inline qint64 procSelfFigure(const char *file, const QByteArray &key)
{
    QFile source(QStringLiteral("/proc/self/") + QLatin1StringView(file));
    if (!source.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : source.readAll().split('\n')) {
        if (line.startsWith(key))
            return line.mid(key.size()).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}
