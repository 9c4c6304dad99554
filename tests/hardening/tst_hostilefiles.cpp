// Template and document paths that are not what they seem: a FIFO, a device, a folder, and
// names with line breaks, quotes, leading dashes or bytes that are not UTF-8.
#include "fakes.h"
#include "hostile.h"
#include "shellwords.h"
#include "templatelibrary.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSignalSpy>
#include <QTest>

#include <future>
#include <sys/stat.h>

using namespace hostile;

namespace {

// Known fault, kept visible until fixed: readTextPreview and copyFileReplacing turn away
// folders only, so a FIFO blocks in open() and a device is read (or copied as empty).

// Bytes this process has read so far, from the kernel's own count.
qint64 bytesRead()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

// Runs `call` with a time limit. A call stuck in opening a FIFO is freed by opening the other
// end, so a failure is reported instead of hanging the suite.
template <typename F> bool finishesInTime(F call, const QString &fifo)
{
    auto done = std::async(std::launch::async, std::move(call));
    if (done.wait_for(std::chrono::seconds(5)) == std::future_status::ready)
        return true;
    if (!fifo.isEmpty()) {
        QFile writer(fifo);
        writer.open(QIODevice::WriteOnly);
        writer.close();
    }
    done.wait();
    return false;
}

struct Special
{
    QString path;
    QString fifo; // set when the path is a FIFO
};

// The special file of a row, created in `dir`; the name ends in .html so import takes it.
Special makeSpecial(const QString &kind, const QString &dir)
{
    if (kind == u"fifo") {
        const QString path = dir + QStringLiteral("/rohr.html");
        if (mkfifo(QFile::encodeName(path).constData(), 0600) != 0)
            qFatal("mkfifo failed");
        return {path, path};
    }
    if (kind == u"device") {
        const QString path = dir + QStringLiteral("/null.html");
        QFile::link(QStringLiteral("/dev/zero"), path);
        return {path, QString()};
    }
    const QString path = dir + QStringLiteral("/ordner.html");
    QDir().mkpath(path + QStringLiteral("/inner"));
    return {path, QString()};
}

void addSpecialRows()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("FIFO") << "fifo";
    QTest::newRow("link to /dev/zero") << "device";
    QTest::newRow("folder") << "folder";
}

} // namespace

class TstHostileFiles final : public QObject
{
    Q_OBJECT

private slots:
    void previewReadsOnlyRegularFiles_data() { addSpecialRows(); }
    void previewReadsOnlyRegularFiles();
    void copiesReadOnlyRegularFiles_data() { addSpecialRows(); }
    void copiesReadOnlyRegularFiles();
    void importRefusesSpecialFiles_data() { addSpecialRows(); }
    void importRefusesSpecialFiles();
    void conversionPassesOnlyRegularTemplates_data() { addSpecialRows(); }
    void conversionPassesOnlyRegularTemplates();
    void awkwardNamesReachTheConverterIntact_data();
    void awkwardNamesReachTheConverterIntact();
    void undecodableNameFailsClearly();
};

void TstHostileFiles::previewReadsOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const Special file = makeSpecial(kind, dir.path());
    TextPreview preview;
    preview.state = TextPreview::State::Ok;
    const qint64 before = bytesRead();
    QVERIFY2(finishesInTime([&] { preview = readTextPreview(file.path, 64 * 1024); }, file.fifo),
             "the preview blocked on a file that is not a regular file");
    QCOMPARE(preview.state, TextPreview::State::Unreadable);
    QVERIFY(preview.text.isEmpty());
    QVERIFY2(bytesRead() - before < 16 * 1024, "the preview read from a device");
}

void TstHostileFiles::copiesReadOnlyRegularFiles()
{
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const Special file = makeSpecial(kind, dir.path());
    const QString destination = dir.filePath(QStringLiteral("ziel.html"));
    bool ok = true;
    QString error;
    const qint64 before = bytesRead();
    {
        // Should the copy read the device after all, it ends at this size instead of the disk's.
        FileSizeLimit limit(8 * 1024 * 1024);
        QVERIFY2(finishesInTime([&] { ok = copyFileReplacing(file.path, destination, &error); },
                                file.fifo),
                 "the copy blocked on a file that is not a regular file");
    }
    QVERIFY(!ok);
    QVERIFY(!error.isEmpty());
    QVERIFY(!QFileInfo::exists(destination));
    QVERIFY2(bytesRead() - before < 16 * 1024, "the copy read from a device");
    QCOMPARE(entries(dir.path()).size(), 1);
}

void TstHostileFiles::importRefusesSpecialFiles()
{
    QFETCH(QString, kind);
    TestWorld world;
    const Special file = makeSpecial(kind, world.root());
    auto vm = world.makeViewModel();
    {
        FileSizeLimit limit(8 * 1024 * 1024);
        QVERIFY2(
            finishesInTime([&] { vm->importTemplate(QUrl::fromLocalFile(file.path)); }, file.fifo),
            "the import blocked on a file that is not a regular file");
    }
    QVERIFY(vm->templates().isEmpty());
    QVERIFY2(vm->logMessages().join(u'\n').contains(
                 QStringLiteral("❌ Template konnte nicht importiert werden (")),
             qPrintable(vm->logMessages().join(u'\n')));
    const QString kindFolder = world.storeRoot() + QStringLiteral("/Velunor/Templates/html");
    QVERIFY(entries(kindFolder).isEmpty());
}

// A FIFO as --template would leave the converter waiting for ever; a folder fails in it.
void TstHostileFiles::conversionPassesOnlyRegularTemplates()
{
    QFETCH(QString, kind);
    TestWorld world;
    world.installFakePandoc();
    const Special file = makeSpecial(kind, world.root());
    const QString args = world.path(QStringLiteral("args.txt"));
    qputenv("FAKE_PANDOC_ARGS_FILE", QFile::encodeName(args));
    auto vm = world.makeViewModel();
    Template t;
    t.id = QUuid::createUuid();
    t.name = QStringLiteral("Sonderdatei");
    t.type = TemplateType::Html;
    t.filePath = file.path;
    vm->setTemplates({t});
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setSelectedHtmlTemplate(t);
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "# A\n"))});
    vm->setOutputFile(world.path(QStringLiteral("a.html")));
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QVERIFY(finished.wait(30000));
    qunsetenv("FAKE_PANDOC_ARGS_FILE");
    QFile recorded(args);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    const QByteArray passed = recorded.readAll();
    QVERIFY2(!passed.contains("--template"), passed.constData());
    QCOMPARE(vm->templates().first().lastUsed, t.lastUsed);
}

void TstHostileFiles::awkwardNamesReachTheConverterIntact_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("line break") << "zwei\nZeilen.md";
    QTest::newRow("quotes") << "it's \"so\".md";
    QTest::newRow("leading dash") << "-o.md";
    QTest::newRow("looks like an option") << "--output=x.md";
    QTest::newRow("shell characters") << "$(rm -rf ~) `x` ; | & *.md";
    QTest::newRow("umlauts and blanks") << " Über größe .md";
}

// Every name reaches the converter as one argument, absolute, so none reads as an option.
void TstHostileFiles::awkwardNamesReachTheConverterIntact()
{
    QFETCH(QString, name);
    TestWorld world;
    world.installFakePandoc();
    const QString input = world.writeFile(name, "# Titel\n");
    const QString args = world.path(QStringLiteral("args.bin"));
    qputenv("FAKE_PANDOC_ARGS_FILE", QFile::encodeName(args));
    auto vm = world.makeViewModel();
    vm->setParallelJobs(1); // the first file's arguments come first in the record
    vm->setOutputFormat(QStringLiteral("html"));
    const QString other = world.writeFile(QStringLiteral("zweite.md"), "# Zwei\n");
    // A batch: outputs are derived from the awkward name itself.
    vm->setInputFiles({QUrl::fromLocalFile(input), QUrl::fromLocalFile(other)});
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QVERIFY(finished.wait(30000));
    qunsetenv("FAKE_PANDOC_ARGS_FILE");

    QFile recorded(args);
    QVERIFY(recorded.open(QIODevice::ReadOnly));
    // The converter writes to the hidden name beside the output: ".<name>.velunor-<pid>-<n>".
    const QFileInfo output(input.chopped(2) + QStringLiteral("html"));
    const QByteArray head =
        "-t\nhtml\n" + QFile::encodeName(input) + "\n-o\n" +
        QFile::encodeName(output.absolutePath() + QStringLiteral("/.") + output.fileName()) +
        ".velunor-" + QByteArray::number(QCoreApplication::applicationPid()) + '-';
    const QByteArray tail = "\n--standalone\n--\n";
    const QByteArray all = recorded.readAll();
    QVERIFY2(all.startsWith(head), qPrintable(name));
    const qsizetype end = all.indexOf(tail, head.size());
    QVERIFY2(end > head.size(), qPrintable(name));
    bool number = false;
    all.mid(head.size(), end - head.size()).toULongLong(&number);
    QVERIFY2(number, qPrintable(name));
    QVERIFY(vm->logMessages().contains(
        QStringLiteral("Batch-Konvertierung abgeschlossen: 2 erfolgreich, 0 Fehler")));
    QVERIFY(vm->commandPreview().contains(shellQuote(input)));
}

// Qt cannot name a file whose name is not UTF-8 (it decodes the bytes with replacement
// characters), so such a file cannot be converted: that must end in a clear failure line
// and leave the file alone, never in a file written under a mangled name.
void TstHostileFiles::undecodableNameFailsClearly()
{
    if (!QFileInfo(QStringLiteral("/usr/bin/pandoc")).isExecutable())
        QSKIP("Debian's pandoc is not installed");
    TestWorld world;
    world.installRealPandoc();
    const QByteArray folder = QFile::encodeName(world.root());
    const QByteArray rawName = folder + "/kaputt-\xff\xfe.md";
    FILE *out = std::fopen(rawName.constData(), "w");
    QVERIFY(out);
    std::fputs("# Titel\n", out);
    std::fclose(out);

    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles({QUrl::fromLocalFile(QFile::decodeName(rawName))});
    vm->setOutputFile(world.path(QStringLiteral("out.html")));
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QVERIFY(!finished.isEmpty() || finished.wait(60000));
    const QString log = vm->logMessages().join(u'\n');
    QVERIFY2(log.contains(QStringLiteral("❌ Dateiname ist kein gültiges UTF-8")), qPrintable(log));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    struct stat info;
    QCOMPARE(::stat(rawName.constData(), &info), 0);
    QCOMPARE(qint64(info.st_size), qint64(8));
    QVERIFY(!QFileInfo::exists(world.path(QStringLiteral("out.html"))));
    // QTemporaryDir cannot name it either.
    ::unlink(rawName.constData());
}

QTEST_GUILESS_MAIN(TstHostileFiles)
#include "tst_hostilefiles.moc"
