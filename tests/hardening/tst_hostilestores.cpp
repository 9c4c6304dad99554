// Store files and store folders that fight back: garbage, huge and deeply nested files, a
// folder nobody may write into, a full disk. Each ends in a clear log line and loses nothing.
#include "fakes.h"
#include "hostile.h"
#include "recordjson.h"
#include "recordstore.h"

#include <QRandomGenerator>
#include <QTest>

using namespace hostile;

namespace {

constexpr qint64 kMiB = 1024 * 1024;

void writeFile(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

// Writes `total` bytes made of `head`, then `fill` repeated, then `tail`, in pieces.
void writeLarge(const QString &path, const QByteArray &head, char fill, qint64 total,
                const QByteArray &tail)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        qFatal("cannot write %s", qPrintable(path));
    f.write(head);
    const QByteArray chunk(kMiB, fill);
    qint64 left = total - head.size() - tail.size();
    while (left > 0) {
        const qint64 n = std::min<qint64>(left, chunk.size());
        f.write(chunk.constData(), n);
        left -= n;
    }
    f.write(tail);
}

QString lineStartingWith(const QStringList &log, const QString &prefix)
{
    for (const QString &line : log) {
        if (line.startsWith(prefix))
            return line;
    }
    return QString();
}

} // namespace

class TstHostileStores final : public QObject
{
    Q_OBJECT

private slots:
    void unusableIndexIsReportedAndKept_data();
    void unusableIndexIsReportedAndKept();
    void hugeStringSurvivesLoadAndSave();
    void readOnlyStoreFolderKeepsWhatIsStored();
    void fullDiskLeavesOldFileIntact_data();
    void fullDiskLeavesOldFileIntact();
    void fullDiskKeepsEveryFileAndNamesTheReason_data();
    void fullDiskKeepsEveryFileAndNamesTheReason();
    void failedWriteIsNeverReportedAsDone_data();
    void failedWriteIsNeverReportedAsDone();
};

void TstHostileStores::unusableIndexIsReportedAndKept_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    QTest::newRow("random bytes") << "random"
                                  << "Ungültiges JSON";
    QTest::newRow("100 MB, cut off") << "huge"
                                     << "Ungültiges JSON";
    QTest::newRow("100 MB of opening brackets") << "brackets"
                                                << "verschachtelt";
    QTest::newRow("a million nested arrays, closed") << "nested"
                                                     << "verschachtelt";
    QTest::newRow("nested inside an unknown key") << "nestedKey"
                                                  << "verschachtelt";
    QTest::newRow("300 MB, sparse") << "sparse"
                                    << "zu groß";
    QTest::newRow("a folder") << "folder"
                              << "Keine reguläre Datei";
}

// The file stays untouched at load; the first save moves it aside byte for byte.
void TstHostileStores::unusableIndexIsReportedAndKept()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);
    TestWorld world;
    const QString index = world.storeRoot() + QStringLiteral("/Velunor/templates.json");
    if (kind == u"random") {
        QByteArray bytes(64 * 1024, Qt::Uninitialized);
        QRandomGenerator rng(7);
        rng.fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
        bytes[0] = '\x9c'; // never a valid start, whatever the seed
        writeFile(index, bytes);
    } else if (kind == u"huge") {
        const QByteArray start = encodeRecords(makeTemplates(3)).chopped(2) + ",\n";
        writeLarge(index, start, ' ', 100 * kMiB, "{\"id\": \"E6");
    } else if (kind == u"brackets") {
        writeLarge(index, QByteArray(), '[', 100 * kMiB, QByteArray());
    } else if (kind == u"nested") {
        writeFile(index, QByteArray(1000000, '[') + QByteArray(1000000, ']'));
    } else if (kind == u"nestedKey") {
        QByteArray json = encodeRecords(makeTemplates(1));
        json.insert(json.indexOf('{') + 1,
                    "\"extra\": " + QByteArray(100000, '[') + QByteArray(100000, ']') + ",");
        writeFile(index, json);
    } else if (kind == u"sparse") {
        writeFile(index, "[]");
        QFile f(index);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.resize(300 * kMiB));
    } else {
        QVERIFY(QDir().mkpath(index + QStringLiteral("/inner")));
    }
    const QByteArray before = QFileInfo(index).isFile() ? digest(index) : QByteArray();

    auto vm = world.makeViewModel();
    QVERIFY(vm->templates().isEmpty());
    const QString loadLine =
        lineStartingWith(vm->logMessages(), QStringLiteral("⚠ Fehler beim Laden der Templates: "));
    QVERIFY2(loadLine.contains(reason), qPrintable(vm->logMessages().join(u'\n')));
    if (!before.isEmpty())
        QCOMPARE(digest(index), before);

    vm->setTemplates(makeTemplates(2));
    vm->saveTemplates();
    const QString keptLine =
        lineStartingWith(vm->logMessages(), QStringLiteral("⚠ Unlesbare Datei aufbewahrt als: "));
    QVERIFY2(!keptLine.isEmpty(), qPrintable(vm->logMessages().join(u'\n')));
    const QString kept = keptLine.section(QStringLiteral(": "), 1);
    if (!before.isEmpty())
        QCOMPARE(digest(kept), before);
    else
        QVERIFY(QFileInfo(kept + QStringLiteral("/inner")).isDir());

    TemplateIndex reread(index);
    const auto loaded = reread.load();
    QCOMPARE(loaded.state, RecordFile::LoadState::Loaded);
    QCOMPARE(loaded.records, vm->templates());
}

void TstHostileStores::hugeStringSurvivesLoadAndSave()
{
    TestWorld world;
    const QString index = world.storeRoot() + QStringLiteral("/Velunor/templates.json");
    QList<Template> list = makeTemplates(2);
    // 10 MB of text with every character class the writer escapes.
    QString big;
    big.reserve(10 * kMiB);
    const QString piece = QStringLiteral("äöü \"quoted\" back\\slash /path\n\t\x01 €𝄞 ");
    while (big.size() < 10 * kMiB)
        big += piece;
    list[1].description = big;
    list[0].name = big.left(kMiB);
    writeFile(index, encodeRecords(list));

    auto vm = world.makeViewModel();
    QCOMPARE(vm->templates(), list);
    vm->toggleFavorite(vm->templates().at(0));
    list[0].isFavorite = true;
    QCOMPARE(vm->templates(), list);
    QVERIFY2(!vm->logMessages().join(u'\n').contains(u'❌'),
             qPrintable(vm->logMessages().join(u'\n').left(500)));
    QCOMPARE(TemplateIndex(index).load().records, list);
}

void TstHostileStores::readOnlyStoreFolderKeepsWhatIsStored()
{
    TestWorld world;
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    const QList<Template> templates = makeTemplates(3);
    writeFile(folder + QStringLiteral("/templates.json"), encodeRecords(templates));
    {
        auto first = world.makeViewModel();
        first->savePreset(QStringLiteral("Alt"));
    }
    const QByteArray presetsBefore = digest(folder + QStringLiteral("/presets.json"));
    const QByteArray indexBefore = digest(folder + QStringLiteral("/templates.json"));

    WriteProtectedFolder guard(folder);
    if (!guard.isActive())
        QSKIP("This file system cannot make a folder read-only for this user");
    auto vm = world.makeViewModel();
    QCOMPARE(vm->templates(), templates);

    vm->savePreset(QStringLiteral("Neu"));
    vm->toggleFavorite(vm->templates().at(1));

    QStringList names;
    for (const Preset &p : vm->presets())
        names << p.name;
    // What could not be written is not shown as if it were.
    QCOMPARE(names, QStringList{QStringLiteral("Alt")});
    QCOMPARE(vm->templates(), templates);
    const QString log = vm->logMessages().join(u'\n');
    QVERIFY2(log.contains(QStringLiteral("❌ Fehler beim Speichern der Presets: ")),
             qPrintable(log));
    QVERIFY2(log.contains(QStringLiteral("❌ Fehler beim Speichern der Templates: ")),
             qPrintable(log));
    QCOMPARE(digest(folder + QStringLiteral("/presets.json")), presetsBefore);
    QCOMPARE(digest(folder + QStringLiteral("/templates.json")), indexBefore);
    QCOMPARE(entries(folder),
             (QStringList{QStringLiteral("presets.json"), QStringLiteral("templates.json")}));
}

void TstHostileStores::fullDiskLeavesOldFileIntact_data()
{
    QTest::addColumn<bool>("tmpfs");
    QTest::newRow("file size limit") << false;
    QTest::newRow("tiny tmpfs") << true;
}

void TstHostileStores::fullDiskLeavesOldFileIntact()
{
    QFETCH(bool, tmpfs);
    TestWorld world;
    const QString root = world.storeRoot();
    std::unique_ptr<TinyDisk> disk;
    if (tmpfs) {
        disk = std::make_unique<TinyDisk>(root, 64);
        if (!disk->isActive())
            QSKIP(qPrintable(QStringLiteral("Cannot mount a tmpfs here: ") + disk->error()));
    }
    const QString folder = root + QStringLiteral("/Velunor");
    const QList<Template> old = makeTemplates(10);
    writeFile(folder + QStringLiteral("/templates.json"), encodeRecords(old));
    const QByteArray before = digest(folder + QStringLiteral("/templates.json"));

    auto vm = world.makeViewModel();
    QCOMPARE(vm->templates(), old);
    const QList<Template> bigger = makeTemplates(2000); // about 600 KB, more than either limit
    {
        std::unique_ptr<FileSizeLimit> limit;
        if (!tmpfs) {
            limit = std::make_unique<FileSizeLimit>(64 * 1024);
            QVERIFY(limit->isActive());
        }
        vm->setTemplates(bigger);
        vm->saveTemplates();
    }
    QCOMPARE(vm->templates(), old);
    const QString log = vm->logMessages().join(u'\n');
    QVERIFY2(log.contains(QStringLiteral("❌ Fehler beim Speichern der Templates: ")),
             qPrintable(log));
    QCOMPARE(digest(folder + QStringLiteral("/templates.json")), before);
    QCOMPARE(entries(folder), QStringList{QStringLiteral("templates.json")});

    // Room again: the next save goes through whole.
    vm->setTemplates(tmpfs ? makeTemplates(20) : bigger);
    vm->saveTemplates();
    QCOMPARE(TemplateIndex(folder + QStringLiteral("/templates.json")).load().records,
             vm->templates());
}

void TstHostileStores::fullDiskKeepsEveryFileAndNamesTheReason_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<bool>("tmpfs");
    QTest::addColumn<QString>("failure");
    QTest::newRow("presets") << "presets" << false << "❌ Fehler beim Speichern der Presets: ";
    QTest::newRow("index") << "index" << false << "❌ Fehler beim Speichern der Templates: ";
    QTest::newRow("import") << "import" << false
                            << "❌ Template konnte nicht importiert werden (neu.html): ";
    QTest::newRow("export") << "export" << false << "❌ Export fehlgeschlagen (alt): ";
    QTest::newRow("import, tiny tmpfs")
        << "import" << true << "❌ Template konnte nicht importiert werden (neu.html): ";
}

// Each new content is smaller than Qt's write buffer, where a failed last write used to pass
// unnoticed and leave a truncated file in place of the old one.
void TstHostileStores::fullDiskKeepsEveryFileAndNamesTheReason()
{
    QFETCH(QString, action);
    QFETCH(bool, tmpfs);
    QFETCH(QString, failure);
    TestWorld world;
    std::unique_ptr<TinyDisk> disk;
    if (tmpfs && !(disk = std::make_unique<TinyDisk>(world.storeRoot(), 64))->isActive())
        QSKIP("Cannot mount a tmpfs here");
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    const QString text(3000, u'x');
    auto vm = world.makeViewModel();
    vm->savePreset(QStringLiteral("alt"));
    vm->importTemplate(
        QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/alt.html"), text.toLatin1())));
    const QString target = world.writeFile(QStringLiteral("out/ziel.html"), "alt");
    const QStringList files{folder + QStringLiteral("/presets.json"),
                            folder + QStringLiteral("/templates.json"), target};
    QList<QByteArray> before;
    for (const QString &f : files)
        before.append(digest(f));
    const QList<Template> records = vm->templates();
    const QStringList stored = entries(folder + QStringLiteral("/Templates/html"));
    const QUrl source =
        QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/neu.html"), text.toLatin1()));
    QFile filler(world.storeRoot() + QStringLiteral("/filler"));
    if (tmpfs && filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        while (filler.write(QByteArray(4096, 'f')) == 4096) {
        }
    }
    {
        FileSizeLimit limit(tmpfs ? RLIM_INFINITY : 2048);
        if (action == u"presets")
            vm->savePreset(text);
        else if (action == u"index") {
            vm->updateDescription(records.first().id, text);
            vm->flushPendingSaves(); // while the limit holds
        } else if (action == u"import")
            vm->importTemplate(source);
        else
            QVERIFY(!vm->exportTemplate(records.first(), target));
    }
    for (qsizetype i = 0; i < files.size(); ++i)
        QCOMPARE(digest(files[i]), before[i]);
    QCOMPARE(entries(folder + QStringLiteral("/Templates/html")), stored);
    if (action != u"presets" && action != u"index")
        QCOMPARE(vm->templates(), records);
    const QString log = vm->logMessages().join(u'\n');
    QVERIFY2(log.contains(failure + qt_error_string(tmpfs ? ENOSPC : EFBIG)), qPrintable(log));
}

void TstHostileStores::failedWriteIsNeverReportedAsDone_data()
{
    QTest::addColumn<QString>("action");
    for (const char *action : {"save preset", "delete preset", "favourite", "description",
                               "import template", "add template", "delete template", "choose style",
                               "delete style", "import defaults", "export defaults"})
        QTest::newRow(action) << QString::fromLatin1(action);
}

// Every store file is larger than the limit, so any rewrite of it fails; the files copied in
// are smaller, so copies succeed and only the listing fails.
void TstHostileStores::failedWriteIsNeverReportedAsDone()
{
    QFETCH(QString, action);
    TestWorld world;
    const QString folder = world.storeRoot() + QStringLiteral("/Velunor");
    const QString large(6000, u'x');
    auto vm = world.makeViewModel();
    vm->setAdditionalOptions(large);
    vm->savePreset(QStringLiteral("Groß"));
    vm->setAdditionalOptions(QString());
    vm->savePreset(QStringLiteral("Klein"));
    vm->importTemplate(QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/alt.css"), "a")));
    vm->importTemplate(QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/gross.css"), "g")));
    vm->updateDescription(vm->templates().last().id, large);
    vm->flushPendingSaves();
    QVERIFY(vm->addCslStyle(large, world.writeFile(QStringLiteral("in/gross.csl"), "g")));
    const auto small = vm->addCslStyle(QStringLiteral("klein"),
                                       world.writeFile(QStringLiteral("in/klein.csl"), "k"));
    QVERIFY(small);
    const QString defaults = world.writeFile(QStringLiteral("in/Bericht.yaml"), "to: html\n");
    const QString exported = world.writeFile(QStringLiteral("out/alt.yaml"), "alt\n");
    vm->setAdditionalOptions(large);
    const Template record = vm->templates().first();
    const qsizetype before = vm->logMessages().size();
    {
        FileSizeLimit limit(4096);
        QVERIFY(limit.isActive());
        if (action == u"save preset") {
            vm->savePreset(QStringLiteral("Neu"));
        } else if (action == u"delete preset") {
            vm->setSelectedPreset(vm->presets().last());
            vm->deleteSelectedPreset();
        } else if (action == u"favourite") {
            vm->toggleFavorite(record);
        } else if (action == u"description") {
            vm->updateDescription(record.id, QStringLiteral("neu"));
            vm->flushPendingSaves();
        } else if (action == u"import template") {
            vm->importTemplate(
                QUrl::fromLocalFile(world.writeFile(QStringLiteral("in/neu.css"), "n")));
        } else if (action == u"add template") {
            QVERIFY(!vm->addTemplate(QStringLiteral("Neu"), TemplateType::Css,
                                     world.writeFile(QStringLiteral("in/neu.css"), "n"), {}));
        } else if (action == u"delete template") {
            world.dialogs.answers = {true};
            vm->deleteTemplate(record);
        } else if (action == u"choose style") {
            QVERIFY(!vm->addCslStyle(QStringLiteral("neu"),
                                     world.writeFile(QStringLiteral("in/neu.csl"), "n")));
        } else if (action == u"delete style") {
            world.dialogs.answers = {true};
            QVERIFY(!vm->deleteCslStyle(small->id));
        } else if (action == u"import defaults") {
            QVERIFY(!vm->importDefaultsFile(defaults, {}, {}));
        } else {
            QVERIFY(!vm->exportDefaultsFile(std::nullopt, exported));
        }
    }
    const QStringList log = vm->logMessages().mid(before);
    const auto failed = std::find_if(log.begin(), log.end(), [](const QString &line) {
        return line.startsWith(QStringLiteral("❌ "));
    });
    QVERIFY2(failed != log.end(), qPrintable(log.join(u'\n')));
    QVERIFY2(std::none_of(failed, log.end(),
                          [](const QString &line) { return line.startsWith(QStringLiteral("✓")); }),
             qPrintable(log.join(u'\n')));

    // The lists show what the files hold, and every file a record names is there, no other.
    QCOMPARE(vm->presets(), PresetStore(folder + QStringLiteral("/presets.json")).load().records);
    QCOMPARE(vm->templates(),
             TemplateIndex(folder + QStringLiteral("/templates.json")).load().records);
    QCOMPARE(vm->cslStyles(),
             CslStyleIndex(folder + QStringLiteral("/csl-styles.json")).load().records);
    QCOMPARE(entries(folder + QStringLiteral("/Templates/css")),
             (QStringList{"alt.css", "gross.css"}));
    QCOMPARE(entries(folder + QStringLiteral("/CSL")), (QStringList{"gross.csl", "klein.csl"}));
    QFile kept(exported);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("alt\n"));
}

QTEST_GUILESS_MAIN(TstHostileStores)
#include "tst_hostilestores.moc"
