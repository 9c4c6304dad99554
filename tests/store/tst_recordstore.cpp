#include "presetlist.h"
#include "recordstore.h"
#include "storelocation.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#ifdef Q_OS_LINUX
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

Template makeTemplate(const QString &name, TemplateType type = TemplateType::Html)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = QStringLiteral("/store/Velunor/Templates/") + rawValue(type) + u'/' + name;
    t.lastUsed = QDateTime::fromMSecsSinceEpoch(1733580000000 + name.size(), Qt::UTC);
    return t;
}

Preset makePreset(const QString &name, const QString &outputFormat = QStringLiteral("docx"))
{
    Preset p;
    p.id = QUuid::createUuid();
    p.name = name;
    p.inputFormat = QStringLiteral("auto (automatisch)");
    p.outputFormat = outputFormat;
    return p;
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray("<unreadable>");
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &data)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

// A folder nobody may write into, not even root (which ignores permission bits).
class WriteProtectedFolder final
{
public:
    explicit WriteProtectedFolder(QString path) : m_path(std::move(path))
    {
#ifdef Q_OS_LINUX
        if (geteuid() == 0) {
            m_fd = ::open(QFile::encodeName(m_path).constData(), O_RDONLY | O_DIRECTORY);
            int flags = 0;
            if (m_fd >= 0 && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags |= FS_IMMUTABLE_FL;
                m_active = ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags) == 0;
            }
            return;
        }
#endif
        m_active = QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    }
    ~WriteProtectedFolder()
    {
#ifdef Q_OS_LINUX
        if (m_fd >= 0) {
            int flags = 0;
            if (m_active && ::ioctl(m_fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ::ioctl(m_fd, FS_IOC_SETFLAGS, &flags);
            }
            ::close(m_fd);
            return;
        }
#endif
        QFile::setPermissions(m_path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    }
    bool isActive() const
    {
        return m_active;
    }

private:
    QString m_path;
    int m_fd = -1;
    bool m_active = false;
};

} // namespace

class TstRecordStore final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void missingFileLoadsNothingAndCreatesNothing();
    void unreadableContentFails_data();
    void unreadableContentFails();
    void foreignWrittenFileLoads();
    void firstSaveCreatesStoreFolder();
    void unreadableFileIsKeptAsideOnFirstSaveOnly();
    void keptAsideFilesNeverOverwriteEachOther();
    void saveAfterLoadKeepsNothingAside();
    void saveLeavesNoTemporaryFiles();
    void failedSaveReportsAndKeepsOldFile();
    void unreadableFileStaysWhenItCannotBeMovedAside();
    void saveFailsWhenStoreFolderCannotBeCreated();
    void roundTrip();
    void storeLocationLayout();
    void presetUpsertByName_data();
    void presetUpsertByName();
    void presetRemoveById();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    QString folder() const { return m_dir->path() + QStringLiteral("/support/Velunor"); }
    QString indexPath() const { return folder() + QStringLiteral("/templates.json"); }
};

void TstRecordStore::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

void TstRecordStore::missingFileLoadsNothingAndCreatesNothing()
{
    TemplateIndex index(indexPath());
    const auto loaded = index.load();
    QCOMPARE(loaded.state, RecordFile::LoadState::Missing);
    QVERIFY(loaded.records.isEmpty());
    QVERIFY(loaded.error.isEmpty());
    QVERIFY(!QFileInfo::exists(m_dir->path() + QStringLiteral("/support")));
}

void TstRecordStore::unreadableContentFails_data()
{
    QTest::addColumn<QByteArray>("content");

    const QByteArray good = encodeRecords(
        QList<Template>{makeTemplate(QStringLiteral("a")), makeTemplate(QStringLiteral("b"))});
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("blank lines") << QByteArray("\n\n");
    QTest::newRow("corrupt") << QByteArray("\x89PNG\r\n\x1a\n\0\0", 10);
    QTest::newRow("partial") << good.left(good.size() / 2);
    QTest::newRow("partial, last bracket missing") << good.trimmed().chopped(1);
    QTest::newRow("object instead of list") << QByteArray("{\"templates\": []}");
    QTest::newRow("preset list") << encodeRecords(QList<Preset>{makePreset(QStringLiteral("p"))});
    QByteArray lastBad = good;
    lastBad.replace("\"type\": \"html\"", "\"type\": \"HTML\"");
    QTest::newRow("one element with a bad kind") << lastBad;
    QByteArray latin1 = good;
    latin1.replace("\"a\"", "\"\xe4\"");
    QTest::newRow("not UTF-8") << latin1;
}

// The load fails as a whole, yields nothing and leaves the file as it was.
void TstRecordStore::unreadableContentFails()
{
    QFETCH(QByteArray, content);
    writeAll(indexPath(), content);

    TemplateIndex index(indexPath());
    const auto loaded = index.load();
    QCOMPARE(loaded.state, RecordFile::LoadState::Failed);
    QVERIFY(loaded.records.isEmpty());
    QVERIFY(!loaded.error.isEmpty());
    QCOMPARE(readAll(indexPath()), content);
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("templates.json")});
}

void TstRecordStore::foreignWrittenFileLoads()
{
    // Sorted keys, plain slashes, lower-case ids, extra keys, integer dates.
    const QByteArray foreign = R"([
  {
    "description" : "",
    "filePath" : "/Users/a/Library/Application Support/Velunor/Templates/docx-reference/Firma.docx",
    "id" : "9f0d3b1c-5d7e-4a2b-8c6d-1e2f3a4b5c6d",
    "isFavorite" : true,
    "lastUsed" : 755272800,
    "name" : "Firma",
    "schema" : 3,
    "type" : "docx-reference"
  }
])";
    writeAll(indexPath(), foreign);
    TemplateIndex index(indexPath());
    const auto loaded = index.load();
    QCOMPARE(loaded.state, RecordFile::LoadState::Loaded);
    QCOMPARE(loaded.records.size(), 1);
    const Template &t = loaded.records.first();
    QCOMPARE(t.id, QUuid::fromString(QStringLiteral("9F0D3B1C-5D7E-4A2B-8C6D-1E2F3A4B5C6D")));
    QCOMPARE(t.type, TemplateType::DocxReference);
    QCOMPARE(t.isFavorite, true);
    QCOMPARE(t.lastUsed, QDateTime(QDate(2024, 12, 7), QTime(14, 0), Qt::UTC));
    QCOMPARE(
        t.filePath,
        QStringLiteral(
            "/Users/a/Library/Application Support/Velunor/Templates/docx-reference/Firma.docx"));

    const auto saved = index.save(loaded.records);
    QVERIFY(saved.ok);
    QVERIFY(saved.keptAside.isEmpty());
    const QByteArray written = readAll(indexPath());
    QVERIFY(written.contains("9F0D3B1C-5D7E-4A2B-8C6D-1E2F3A4B5C6D"));
    QVERIFY(!written.contains("schema"));
}

void TstRecordStore::firstSaveCreatesStoreFolder()
{
    PresetStore store(folder() + QStringLiteral("/presets.json"));
    QCOMPARE(store.load().state, RecordFile::LoadState::Missing);
    const auto saved = store.save({makePreset(QStringLiteral("Standard"))});
    QVERIFY2(saved.ok, qPrintable(saved.error));
    QVERIFY(saved.keptAside.isEmpty());
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("presets.json")});
}

void TstRecordStore::unreadableFileIsKeptAsideOnFirstSaveOnly()
{
    const QByteArray broken("[{\"id\": 1}]");
    writeAll(indexPath(), broken);
    TemplateIndex index(indexPath());
    QCOMPARE(index.load().state, RecordFile::LoadState::Failed);

    const QList<Template> list{makeTemplate(QStringLiteral("neu"))};
    const auto first = index.save(list);
    QVERIFY2(first.ok, qPrintable(first.error));
    QVERIFY(!first.keptAside.isEmpty());

    // Same folder, stamped name, unchanged bytes.
    const QFileInfo aside(first.keptAside);
    QCOMPARE(aside.absolutePath(), QFileInfo(indexPath()).absolutePath());
    static const QRegularExpression stamped(
        QStringLiteral("^templates\\.json\\.unreadable-\\d{8}-\\d{6}$"));
    QVERIFY2(stamped.match(aside.fileName()).hasMatch(), qPrintable(aside.fileName()));
    QCOMPARE(readAll(first.keptAside), broken);

    QList<Template> back;
    QString error;
    QVERIFY(decodeRecords(readAll(indexPath()), &back, &error));
    QCOMPARE(back, list);

    const auto second = index.save({});
    QVERIFY(second.ok);
    QVERIFY(second.keptAside.isEmpty());
    QCOMPARE(entries(folder()).size(), 2);
    QCOMPARE(readAll(first.keptAside), broken);
}

void TstRecordStore::keptAsideFilesNeverOverwriteEachOther()
{
    // Three runs in a row that each find a broken file: each copy survives.
    QStringList kept;
    for (int run = 0; run < 3; ++run) {
        const QByteArray broken = "broken " + QByteArray::number(run);
        writeAll(indexPath(), broken);
        TemplateIndex index(indexPath());
        QCOMPARE(index.load().state, RecordFile::LoadState::Failed);
        const auto saved = index.save({});
        QVERIFY(saved.ok);
        QVERIFY(!kept.contains(saved.keptAside));
        kept.append(saved.keptAside);
        QCOMPARE(readAll(saved.keptAside), broken);
    }
    for (int run = 0; run < 3; ++run)
        QCOMPARE(readAll(kept[run]), "broken " + QByteArray::number(run));
}

void TstRecordStore::saveAfterLoadKeepsNothingAside()
{
    TemplateIndex first(indexPath());
    QVERIFY(first.save({makeTemplate(QStringLiteral("a"))}).ok);
    TemplateIndex second(indexPath());
    const auto loaded = second.load();
    QCOMPARE(loaded.state, RecordFile::LoadState::Loaded);
    const auto saved = second.save(loaded.records + QList<Template>{makeTemplate("b")});
    QVERIFY(saved.ok);
    QVERIFY(saved.keptAside.isEmpty());
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("templates.json")});
}

void TstRecordStore::saveLeavesNoTemporaryFiles()
{
    TemplateIndex index(indexPath());
    QList<Template> list;
    for (int i = 0; i < 50; ++i) {
        list.append(makeTemplate(QString::number(i)));
        QVERIFY(index.save(list).ok);
    }
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("templates.json")});
}

void TstRecordStore::failedSaveReportsAndKeepsOldFile()
{
    TemplateIndex index(indexPath());
    QVERIFY(index.save({makeTemplate(QStringLiteral("alt"))}).ok);
    const QByteArray before = readAll(indexPath());

    {
        WriteProtectedFolder guard(folder());
        if (!guard.isActive())
            QSKIP("cannot write-protect a folder here");
        const auto saved = index.save({makeTemplate(QStringLiteral("neu"))});
        QVERIFY(!saved.ok);
        QVERIFY(!saved.error.isEmpty());
    }
    QCOMPARE(readAll(indexPath()), before);
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("templates.json")});
}

void TstRecordStore::unreadableFileStaysWhenItCannotBeMovedAside()
{
    writeAll(indexPath(), "kaputt");
    TemplateIndex index(indexPath());
    QCOMPARE(index.load().state, RecordFile::LoadState::Failed);
    {
        WriteProtectedFolder guard(folder());
        if (!guard.isActive())
            QSKIP("cannot write-protect a folder here");
        const auto saved = index.save({makeTemplate(QStringLiteral("neu"))});
        QVERIFY(!saved.ok);
        QVERIFY(saved.keptAside.isEmpty());
        QVERIFY(!saved.error.isEmpty());
    }
    QCOMPARE(readAll(indexPath()), QByteArray("kaputt"));
    QCOMPARE(entries(folder()), QStringList{QStringLiteral("templates.json")});

    // Once the folder is writable again the next save still keeps the file.
    const auto later = index.save({});
    QVERIFY(later.ok);
    QVERIFY(!later.keptAside.isEmpty());
    QCOMPARE(readAll(later.keptAside), QByteArray("kaputt"));
}

void TstRecordStore::saveFailsWhenStoreFolderCannotBeCreated()
{
    // A file where the application-support folder should be.
    writeAll(m_dir->path() + QStringLiteral("/support"), "not a folder");
    PresetStore store(folder() + QStringLiteral("/presets.json"));
    QCOMPARE(store.load().state, RecordFile::LoadState::Missing);
    const auto saved = store.save({makePreset(QStringLiteral("x"))});
    QVERIFY(!saved.ok);
    QVERIFY(!saved.error.isEmpty());
    QCOMPARE(readAll(m_dir->path() + QStringLiteral("/support")), QByteArray("not a folder"));
}

void TstRecordStore::roundTrip()
{
    QList<Template> templates;
    for (TemplateType type : templateTypeAllCases)
        templates.append(makeTemplate(QStringLiteral("Vorlage ") + rawValue(type), type));
    templates[1].isFavorite = true;
    templates[2].description = QStringLiteral("Firmenlayout / 2024");
    templates[3].lastUsed = QDateTime::currentDateTimeUtc();

    QList<Preset> presets{makePreset(QStringLiteral("Standard")),
                          makePreset(QStringLiteral("Web"), QStringLiteral("html5"))};
    presets[1].htmlTemplate = QStringLiteral("Vorlage html");
    presets[1].cssFile = QStringLiteral("Vorlage css");
    presets[1].tableOfContents = true;
    presets[1].additionalOptions = QStringLiteral("--toc-depth=2");

    QVERIFY(TemplateIndex(indexPath()).save(templates).ok);
    QVERIFY(PresetStore(folder() + QStringLiteral("/presets.json")).save(presets).ok);

    const auto t = TemplateIndex(indexPath()).load();
    const auto p = PresetStore(folder() + QStringLiteral("/presets.json")).load();
    QCOMPARE(t.state, RecordFile::LoadState::Loaded);
    QCOMPARE(p.state, RecordFile::LoadState::Loaded);
    QCOMPARE(t.records, templates);
    QCOMPARE(p.records, presets);
}

void TstRecordStore::storeLocationLayout()
{
    const StoreLocation none;
    QVERIFY(!none.isAvailable());

    const StoreLocation store(QStringLiteral("/home/a/.local/share"));
    QVERIFY(store.isAvailable());
    QCOMPARE(store.storeFolder(), QStringLiteral("/home/a/.local/share/Velunor"));
    QCOMPARE(store.presetsFile(), QStringLiteral("/home/a/.local/share/Velunor/presets.json"));
    QCOMPARE(store.templatesFile(), QStringLiteral("/home/a/.local/share/Velunor/templates.json"));
    QCOMPARE(store.templateFolder(), QStringLiteral("/home/a/.local/share/Velunor/Templates"));
    QCOMPARE(store.kindFolder(TemplateType::DocxReference),
             QStringLiteral("/home/a/.local/share/Velunor/Templates/docx-reference"));
}

void TstRecordStore::presetUpsertByName_data()
{
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QStringList>("expectedNames");
    QTest::addColumn<int>("replacedAt"); // -1: appended

    const QStringList three{"Standard", "Web", "Druck"};
    QTest::newRow("new name appended")
        << three << "PDF" << QStringList{three + QStringList{"PDF"}} << -1;
    QTest::newRow("same name replaced in place") << three << "Web" << three << 1;
    QTest::newRow("case differs: appended")
        << three << "standard" << QStringList{three + QStringList{"standard"}} << -1;
    QTest::newRow("not trimmed: appended")
        << three << "Web " << QStringList{three + QStringList{"Web "}} << -1;
    QTest::newRow("empty name") << three << "" << QStringList{three + QStringList{""}} << -1;
    QTest::newRow("into empty list")
        << QStringList() << "Standard" << QStringList{"Standard"} << -1;
    QTest::newRow("duplicates: only the first")
        << QStringList{"A", "B", "A"} << "A" << QStringList{"A", "B", "A"} << 0;
}

void TstRecordStore::presetUpsertByName()
{
    QFETCH(QStringList, existing);
    QFETCH(QString, name);
    QFETCH(QStringList, expectedNames);
    QFETCH(int, replacedAt);

    QList<Preset> presets;
    for (const QString &n : existing)
        presets.append(makePreset(n));
    const QList<Preset> before = presets;
    const Preset incoming = makePreset(name, QStringLiteral("pdf"));
    upsertPresetByName(presets, incoming);

    QStringList names;
    for (const Preset &p : presets)
        names.append(p.name);
    QCOMPARE(names, expectedNames);
    const qsizetype at = replacedAt < 0 ? presets.size() - 1 : replacedAt;
    QCOMPARE(presets[at], incoming);
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (i != at)
            QCOMPARE(presets[i], before[i]);
    }
}

void TstRecordStore::presetRemoveById()
{
    const Preset a = makePreset(QStringLiteral("A"));
    const Preset b = makePreset(QStringLiteral("B"));
    Preset aAgain = makePreset(QStringLiteral("A2"));
    aAgain.id = a.id; // a file written by other means may repeat an id
    const Preset c = makePreset(QStringLiteral("C"));

    QList<Preset> presets{a, b, aAgain, c};
    removePresetsById(presets, a.id);
    QCOMPARE(presets, (QList<Preset>{b, c}));

    removePresetsById(presets, QUuid::createUuid());
    QCOMPARE(presets, (QList<Preset>{b, c}));
}

QTEST_GUILESS_MAIN(TstRecordStore)
#include "tst_recordstore.moc"
