// The version query against converters whose output is far larger than a version text.
#include "versionquery.h"

#include <QFile>
#include <QSignalSpy>
#include <QTest>

namespace {

// The peak resident memory of this process so far, in KiB.
qint64 peakResidentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

VersionQuery::Result runQuery(int timeoutMs)
{
    VersionQuery query;
    QSignalSpy finished(&query, &VersionQuery::finished);
    query.start(QStringLiteral(FAKE_PANDOC_PATH), timeoutMs);
    if (!finished.wait(timeoutMs + 10000))
        qFatal("version query never finished");
    return finished.first().first().value<VersionQuery::Result>();
}

} // namespace

class TstVersionQuery final : public QObject
{
    Q_OBJECT

private slots:
    void endlessOutputKeepsMemoryFlat()
    {
        qputenv("FAKE_PANDOC_STDOUT_ENDLESS", "1");
        const qint64 before = peakResidentKiB();
        // Long enough for an uncapped reader to take hundreds of megabytes.
        const VersionQuery::Result result = runQuery(2000);
        qunsetenv("FAKE_PANDOC_STDOUT_ENDLESS");
        QCOMPARE(result.outcome, VersionQuery::Outcome::TimedOut);
#if defined(__SANITIZE_ADDRESS__)
        // AddressSanitizer holds freed chunks in quarantine: peak memory says nothing there.
        return;
#endif
        const qint64 growthKiB = peakResidentKiB() - before;
        QVERIFY2(before > 0 && growthKiB < 32 * 1024, qPrintable(QString::number(growthKiB)));
    }

    void longOutputStillYieldsTheFirstLine()
    {
        // Two-byte characters, so the cap falls inside one of them.
        qputenv("FAKE_PANDOC_VERSION", "pandoc 9.8.7\n" + QString(50000, u'ä').toUtf8());
        const VersionQuery::Result result = runQuery(10000);
        qunsetenv("FAKE_PANDOC_VERSION");
        QCOMPARE(result.outcome, VersionQuery::Outcome::Version);
        QCOMPARE(result.versionLine, QStringLiteral("pandoc 9.8.7"));
    }
};

QTEST_GUILESS_MAIN(TstVersionQuery)
#include "tst_versionquery.moc"
