// Load far beyond a normal day: a thousand-file batch, a converter that floods its error
// output, and a log of a million lines in the real conversion tab.
#include "conversion/conversionview.h"
#include "fakefilepanels.h"
#include "fakes.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <unistd.h>

namespace {

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

// Sanitizers keep freed memory in quarantine, so resident size says nothing there.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif
#else
constexpr bool kSanitized = false;
#endif

} // namespace

class TstStress final : public QObject
{
    Q_OBJECT

private slots:
    void batchOfAThousandFiles();
    void floodedErrorOutputIsShortened();
    void millionLogLines();
};

void TstStress::batchOfAThousandFiles()
{
    TestWorld world;
    world.installFakePandoc();
    constexpr int kFiles = 1000;
    QList<QUrl> inputs;
    for (int i = 0; i < kFiles; ++i)
        inputs << QUrl::fromLocalFile(
            world.writeFile(QStringLiteral("in/dok%1.md").arg(i), "# Titel\n\nText.\n"));
    qputenv("FAKE_PANDOC_FAIL_MATCH", "dok777.md");
    qputenv("FAKE_PANDOC_EXIT", "1");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles(inputs);
    QSignalSpy progress(vm.get(), &PandocViewModel::progressChanged);
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);

    const qint64 before = residentBytes();
    vm->convert();
    QVERIFY(finished.wait(600000));
    const qint64 after = residentBytes();
    qunsetenv("FAKE_PANDOC_FAIL_MATCH");
    qunsetenv("FAKE_PANDOC_EXIT");

    QVERIFY(vm->logMessages().contains(
        QStringLiteral("Batch-Konvertierung abgeschlossen: 999 erfolgreich, 1 Fehler")));
    QCOMPARE(vm->statusMessage(),
             QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: 999, Fehler: 1"));
    QCOMPARE(vm->progress(), 1.0);
    QVERIFY(progress.size() >= kFiles);
    QVERIFY(!vm->isConverting());
    if (!kSanitized) {
        const double growthMb = double(after - before) / (1024.0 * 1024.0);
        QVERIFY2(growthMb < 20.0, qPrintable(QStringLiteral("grew by %1 MB").arg(growthMb)));
    }
}

// 50 MB on standard error: the child never stalls, and the log keeps only the first and the
// last part with a note between them.
void TstStress::floodedErrorOutputIsShortened()
{
    TestWorld world;
    const QString converter = world.writeFile(QStringLiteral("bin/pandoc"),
                                              "#!/bin/sh\n"
                                              "printf 'KOPF-ANFANG\\n' >&2\n"
                                              "head -c 52428800 /dev/zero | tr '\\000' 'x' >&2\n"
                                              "printf '\\nENDE-SCHLUSS\\n' >&2\n"
                                              "exit 3\n");
    QFile::setPermissions(converter, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "# A\n"))});
    vm->setOutputFile(world.path(QStringLiteral("a.html")));
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QVERIFY(finished.wait(120000));

    const QStringList log = vm->logMessages();
    const auto entry = std::find_if(log.cbegin(), log.cend(),
                                    [](const QString &l) { return l.startsWith(u"KOPF-ANFANG"); });
    QVERIFY2(entry != log.cend(), "the error output is missing from the log");
    QVERIFY(entry->trimmed().endsWith(u"ENDE-SCHLUSS"));
    QVERIFY(entry->size() <= 1024 * 1024 + 200);
    const qint64 total = 12 + 52428800 + 14;
    const qint64 omitted = total - 1024 * 1024;
    QVERIFY2(
        entry->contains(QStringLiteral("\n… (gekürzt: %1 Bytes ausgelassen) …\n").arg(omitted)),
        qPrintable(entry->mid(512 * 1024 - 20, 120)));
    QCOMPARE(*(entry + 1), QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: 3)"));
}

// The conversion tab takes a million lines and stays usable: new lines arrive, clear works.
void TstStress::millionLogLines()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    FakeFilePanels panels;
    ConversionView view(vm.get(), &panels);
    view.resize(900, 700);
    view.show();
    QVERIFY(QTest::qWaitForWindowExposed(&view));
    auto *log = view.findChild<QWidget *>(QStringLiteral("logView"));
    QVERIFY(log);

    constexpr int kLines = 1000000;
    constexpr int kChunk = 10000;
    for (int i = 0; i < kLines; i += kChunk) {
        for (int j = i; j < i + kChunk; ++j)
            vm->appendLog(
                QStringLiteral("Zeile %1: [WARNING] etwas Text, damit es nach Log aussieht")
                    .arg(j));
        QCoreApplication::processEvents();
    }
    QCOMPARE(vm->logMessages().size(), kLines);
    QCOMPARE(vm->logMessages().last(),
             QStringLiteral("Zeile 999999: [WARNING] etwas Text, damit es nach Log aussieht"));

    // The window still answers: a queued event and a repaint go through.
    bool ticked = false;
    QTimer::singleShot(0, &view, [&] { ticked = true; });
    QTRY_VERIFY(ticked);
    log->repaint();

    vm->clearLog();
    QCoreApplication::processEvents();
    QVERIFY(vm->logMessages().isEmpty());
    vm->appendLog(QStringLiteral("danach"));
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("danach")});
}

QTEST_MAIN(TstStress)
#include "tst_stress.moc"
