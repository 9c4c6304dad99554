// Queries of the converter against converters whose answers are far larger than a real one.
#include "formatquery.h"
#include "procstatus.h"
#include "versionquery.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

// The peak resident memory of this process so far, in KiB.
qint64 peakResidentKiB()
{
    return procSelfFigure("status", "VmHWM:");
}

VersionQuery::Result runQuery(int timeoutMs,
                              const QString &converter = QStringLiteral(FAKE_PANDOC_PATH))
{
    VersionQuery query;
    QSignalSpy finished(&query, &VersionQuery::finished);
    query.start(converter, timeoutMs);
    if (finished.isEmpty() && !finished.wait(timeoutMs + 10000))
        qFatal("version query never finished");
    return finished.first().first().value<VersionQuery::Result>();
}

ConverterFormats runFormatQuery(const QString &converter)
{
    FormatQuery::clearCache();
    FormatQuery query;
    QSignalSpy finished(&query, &FormatQuery::finished);
    query.start(converter, 2000);
    if (!finished.wait(20000))
        qFatal("format query never finished");
    return finished.first().first().value<ConverterFormats>();
}

// A converter that is a shell script, as broken wrappers are.
QString writeScript(const QTemporaryDir &dir, const QByteArray &body)
{
    const QString path = dir.filePath(QStringLiteral("pandoc"));
    QFile script(path);
    if (!script.open(QIODevice::WriteOnly) || script.write("#!/bin/sh\n" + body) < 0)
        qFatal("cannot write script");
    script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

} // namespace

class TstVersionQuery final : public QObject
{
    Q_OBJECT

private slots:
    // Every question the start-up check asks: none may keep what a looping wrapper prints.
    void endlessAnswersKeepMemoryFlat()
    {
        QTemporaryDir dir;
        const QString converter = writeScript(dir, "exec yes html\n");
        [[maybe_unused]] const qint64 before = peakResidentKiB();
        const VersionQuery::Result version = runQuery(2000, converter);
        const ConverterFormats formats = runFormatQuery(converter);
        QCOMPARE(version.outcome, VersionQuery::Outcome::Version);
        QCOMPARE(version.versionLine, QStringLiteral("html"));
        QCOMPARE(formats.input, QStringList{QStringLiteral("html")});
        QCOMPARE(formats.output, QStringList{QStringLiteral("html")});
#if !defined(__SANITIZE_ADDRESS__)
        const qint64 growthKiB = peakResidentKiB() - before;
        QVERIFY2(before > 0 && growthKiB < 32 * 1024, qPrintable(QString::number(growthKiB)));
#endif
    }

    // 100,000 lines of names and chatter: the well-formed names first seen are kept, each
    // once, in order, and no more than a few hundred (input: 300 names repeated; output: all
    // different).
    void hugeFormatListIsCappedAndDeduplicated()
    {
        QTemporaryDir dir;
        const QString converter = writeScript(
            dir, "n=100000; [ \"$1\" = --list-input-formats ] && n=300\n"
                 "awk -v n=$n 'BEGIN { for (i = 0; i < 100000; i++) { print \"fmt\" (i % n); "
                 "if (i % 3 == 0) print \"Not A Format!\" } }'\n");
        const ConverterFormats formats = runFormatQuery(converter);
        QCOMPARE(formats.input.size(), 300);
        QCOMPARE(formats.output.size(), FormatQuery::kMaxNames);
        for (const QStringList &list : {formats.input, formats.output}) {
            for (qsizetype i = 0; i < list.size(); ++i)
                QCOMPARE(list[i], QStringLiteral("fmt") + QString::number(i));
        }
    }

    // Pages without one line: no version, and no waiting for the time limit either.
    void endlessOutputWithoutLineEndsTheQuery()
    {
        qputenv("FAKE_PANDOC_STDOUT_ENDLESS", "1");
        qputenv("FAKE_PANDOC_VERSION", "");
        const qint64 before = peakResidentKiB();
        const VersionQuery::Result result = runQuery(60000);
        qunsetenv("FAKE_PANDOC_STDOUT_ENDLESS");
        qunsetenv("FAKE_PANDOC_VERSION");
        QCOMPARE(result.outcome, VersionQuery::Outcome::TooLong);
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
