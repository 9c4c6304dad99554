#pragma once

// A store-saving child process killed at random moments, shared by the crash test and the
// hardening benchmark. The same executable plays the child when VELUNOR_STORE_SAVER is set.

#include "recordjson.h"
#include "recordstore.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QThread>

#include <cstdio>

namespace storecrash {

inline constexpr char kSaverVariable[] = "VELUNOR_STORE_SAVER";

// One of two fixed lists that differ in every record, so any mix of them is detectable.
inline QList<Template> makeList(char which, int count)
{
    QList<Template> list;
    list.reserve(count);
    const auto kinds = templateTypeAllCases;
    for (int i = 0; i < count; ++i) {
        Template t;
        t.id = QUuid::fromString(QStringLiteral("%1-0000-4000-8000-%2")
                                     .arg(which == 'a' ? 0xAAAAAAAA : 0xBBBBBBBB, 8, 16)
                                     .arg(i, 12, 10, QLatin1Char('0')));
        const QString n = QString::number(i);
        t.name = QStringLiteral("Liste ") + QLatin1Char(which) + QStringLiteral(", Vorlage ") + n;
        t.type = kinds[size_t(i) % kinds.size()];
        t.filePath = QStringLiteral("/home/benutzer/.local/share/Velunor/Templates/") +
                     rawValue(t.type) + QStringLiteral("/vorlage-") + n + QStringLiteral(".dat");
        t.isFavorite = (i % 3 == 0) == (which == 'a');
        t.lastUsed = QDateTime::fromMSecsSinceEpoch(1733580000000 + qint64(i) * 1001, Qt::UTC);
        t.description =
            QStringLiteral("Beschreibung ") + n + QStringLiteral(" mit Umlauten: äöü ß.");
        list.append(t);
    }
    return list;
}

// The child: saves list a, then b, then a ... `saves` times (0 = until killed).
// Announces itself on standard output once both lists are built.
inline int runSaver()
{
    const QString path = qEnvironmentVariable(kSaverVariable);
    const int records = qEnvironmentVariableIntValue("VELUNOR_STORE_SAVER_RECORDS");
    const int saves = qEnvironmentVariableIntValue("VELUNOR_STORE_SAVER_SAVES");
    const QString lists = qEnvironmentVariable("VELUNOR_STORE_SAVER_LISTS", QStringLiteral("ab"));
    QList<QList<Template>> data;
    for (QChar c : lists)
        data.append(makeList(char(c.unicode()), records));
    TemplateIndex index(path);
    std::fputs("saving\n", stdout);
    std::fflush(stdout);
    for (int n = 0; saves == 0 || n < saves; ++n) {
        const auto result = index.save(data.at(n % data.size()));
        if (!result.ok) {
            std::fprintf(stderr, "save failed: %s\n", qPrintable(result.error));
            return 1;
        }
    }
    return 0;
}

inline QProcess *startSaver(const QString &program, const QString &path, int records, int saves,
                            const QString &lists, QObject *parent)
{
    auto *process = new QProcess(parent);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kSaverVariable), path);
    env.insert(QStringLiteral("VELUNOR_STORE_SAVER_RECORDS"), QString::number(records));
    env.insert(QStringLiteral("VELUNOR_STORE_SAVER_SAVES"), QString::number(saves));
    env.insert(QStringLiteral("VELUNOR_STORE_SAVER_LISTS"), lists);
    process->setProcessEnvironment(env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program, {});
    return process;
}

// What the file at `path` holds: 'a', 'b', or 0 when it is not exactly one of the lists.
// The saver writes exactly these encodings, so a complete file matches one byte for byte.
inline char classify(const QString &path, const QByteArray &a, const QByteArray &b, QString *why)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("nicht lesbar: ") + file.errorString();
        return 0;
    }
    const QByteArray data = file.readAll();
    if (data == a)
        return 'a';
    if (data == b)
        return 'b';
    QList<Template> read;
    if (decodeRecords(data, &read, why))
        *why = QStringLiteral("gültig, aber weder Liste a noch b (%1 Einträge)").arg(read.size());
    return 0;
}

struct KillReport
{
    int kills = 0;
    int intact = 0;
    int sawA = 0;
    int sawB = 0;
    QStringList failures;
};

// Starts the saver over a store already holding list a, kills it with SIGKILL after a random
// delay of up to `maxDelayMs` once it has begun saving, and checks the file after each kill.
inline KillReport killRepeatedly(const QString &program, const QString &path, int records,
                                 int kills, int maxDelayMs, quint32 seed)
{
    const QList<Template> listA = makeList('a', records);
    const QByteArray a = encodeRecords(listA);
    const QByteArray b = encodeRecords(makeList('b', records));
    KillReport report;
    {
        TemplateIndex index(path);
        if (!index.save(listA).ok) {
            report.failures << QStringLiteral("Ausgangsdatei nicht geschrieben");
            return report;
        }
    }
    QRandomGenerator random(seed);
    for (int i = 0; i < kills; ++i) {
        QProcess *saver = startSaver(program, path, records, 0, QStringLiteral("ab"), nullptr);
        if (!saver->waitForReadyRead(60000)) {
            report.failures << QStringLiteral("Lauf %1: Kindprozess meldet sich nicht").arg(i);
            delete saver;
            continue;
        }
        QThread::usleep(random.bounded(quint32(maxDelayMs) * 1000 + 1));
        saver->kill();
        saver->waitForFinished(60000);
        const bool killed = saver->exitStatus() == QProcess::CrashExit;
        delete saver;
        if (!killed) {
            report.failures << QStringLiteral("Lauf %1: Kindprozess endete von selbst").arg(i);
            continue;
        }
        ++report.kills;
        QString why;
        switch (classify(path, a, b, &why)) {
        case 'a':
            ++report.sawA;
            ++report.intact;
            break;
        case 'b':
            ++report.sawB;
            ++report.intact;
            break;
        default:
            report.failures << QStringLiteral("Lauf %1: %2").arg(i).arg(why);
        }
    }
    return report;
}

} // namespace storecrash
