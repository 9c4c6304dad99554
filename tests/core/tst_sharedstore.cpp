// Two view models over one store folder, as two processes would have: neither loses the
// other's changes.
#include "fakes.h"
#include "pandocviewmodel.h"
#include "recordjson.h"

#include <QFile>
#include <QSet>
#include <QTest>

#include <functional>

using Steps =
    std::function<void(PandocViewModel &first, PandocViewModel &second, TestWorld &world)>;
Q_DECLARE_METATYPE(Steps)

namespace {

template <typename T> QList<T> fileOn(const TestWorld &world, const QString &name)
{
    QFile file(world.storeRoot() + QStringLiteral("/Velunor/") + name);
    QList<T> records;
    QString error;
    if (!file.open(QIODevice::ReadOnly) || !decodeRecords(file.readAll(), &records, &error))
        qWarning("%s unreadable: %s", qPrintable(name), qPrintable(error));
    return records;
}

QUrl local(const QString &path)
{
    return QUrl::fromLocalFile(path);
}

// "name*:description" per template (star for a favourite), "name:options" per preset.
QStringList summary(const QList<Template> &templates)
{
    QStringList lines;
    for (const Template &t : templates)
        lines << t.name + (t.isFavorite ? QStringLiteral("*") : QString()) + u':' + t.description;
    return lines;
}

QStringList summary(const QList<Preset> &presets)
{
    QStringList lines;
    for (const Preset &p : presets)
        lines << p.name + u':' + p.additionalOptions;
    return lines;
}

Template named(const PandocViewModel &vm, const QString &name)
{
    for (const Template &t : vm.templates()) {
        if (t.name == name)
            return t;
    }
    return {};
}

} // namespace

class TstSharedStore final : public QObject
{
    Q_OBJECT

private slots:
    void neitherWriterLosesTheOthersChange_data();
    void neitherWriterLosesTheOthersChange();
};

void TstSharedStore::neitherWriterLosesTheOthersChange_data()
{
    QTest::addColumn<Steps>("steps");
    QTest::addColumn<QStringList>("templates");
    QTest::addColumn<QStringList>("presets");
    QTest::addColumn<QString>("warning");

    const QStringList both{"x:", "y:"};
    QTest::newRow("presets saved in both")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &) {
               a.savePreset(QStringLiteral("Von A"));
               b.savePreset(QStringLiteral("Von B"));
           })
        << both << QStringList{"Standard:", "Von A:", "Von B:"}
        << QStringLiteral("⚠ Die Presets wurden inzwischen");
    QTest::newRow("one preset name saved in both: the later save wins")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &) {
               a.setAdditionalOptions(QStringLiteral("--a"));
               a.savePreset(QStringLiteral("Standard"));
               b.setAdditionalOptions(QStringLiteral("--b"));
               b.savePreset(QStringLiteral("Standard"));
           })
        << both << QStringList{"Standard:--b"} << QStringLiteral("⚠ Die Presets wurden inzwischen");
    QTest::newRow("import there, favourite here")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &world) {
               a.importTemplate(local(world.writeFile(QStringLiteral("in/z.css"), "z")));
               b.toggleFavorite(named(b, QStringLiteral("x")));
           })
        << QStringList{"x*:", "y:", "z:"} << QStringList{"Standard:"}
        << QStringLiteral("⚠ Die Templates wurden inzwischen");
    QTest::newRow("favourite there, description of the same record here")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &) {
               a.toggleFavorite(named(a, QStringLiteral("x")));
               b.updateDescription(named(b, QStringLiteral("x")).id, QStringLiteral("neu"));
               b.flushPendingSaves();
           })
        << QStringList{"x*:neu", "y:"} << QStringList{"Standard:"}
        << QStringLiteral("⚠ Die Templates wurden inzwischen");
    QTest::newRow("deleted there, another record described here")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &world) {
               world.dialogs.answers = {true};
               a.deleteTemplate(named(a, QStringLiteral("y")));
               b.updateDescription(named(b, QStringLiteral("x")).id, QStringLiteral("d"));
               b.flushPendingSaves();
           })
        << QStringList{"x:d"} << QStringList{"Standard:"}
        << QStringLiteral("⚠ Die Templates wurden inzwischen");
    QTest::newRow("files of one name imported in both")
        << Steps([](PandocViewModel &a, PandocViewModel &b, TestWorld &world) {
               a.importTemplate(local(world.writeFile(QStringLiteral("a/z.css"), "von a")));
               b.importTemplate(local(world.writeFile(QStringLiteral("b/z.css"), "von b")));
           })
        << QStringList{"x:", "y:", "z:", "z:"} << QStringList{"Standard:"}
        << QStringLiteral("⚠ Die Templates wurden inzwischen");
}

void TstSharedStore::neitherWriterLosesTheOthersChange()
{
    QFETCH(Steps, steps);
    QFETCH(QStringList, templates);
    QFETCH(QStringList, presets);
    QFETCH(QString, warning);

    TestWorld world;
    {
        auto setup = world.makeViewModel();
        setup->importTemplate(local(world.writeFile(QStringLiteral("in/x.css"), "x")));
        setup->importTemplate(local(world.writeFile(QStringLiteral("in/y.css"), "y")));
        setup->savePreset(QStringLiteral("Standard"));
    }
    auto first = world.makeViewModel();
    auto second = world.makeViewModel();
    steps(*first, *second, world);

    const QList<Template> index = fileOn<Template>(world, QStringLiteral("templates.json"));
    QCOMPARE(summary(index), templates);
    QCOMPARE(summary(fileOn<Preset>(world, QStringLiteral("presets.json"))), presets);
    // The later writer shows what is on disk, and says that it merged.
    QCOMPARE(second->templates(), index);
    QVERIFY2(second->logMessages().join(u'\n').contains(warning),
             qPrintable(second->logMessages().join(u'\n')));
    // Every record keeps a file of its own.
    QSet<QByteArray> contents;
    for (const Template &t : index) {
        QFile file(t.filePath);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(t.filePath));
        contents.insert(file.readAll());
    }
    QCOMPARE(contents.size(), index.size());
}

QTEST_GUILESS_MAIN(TstSharedStore)
#include "tst_sharedstore.moc"
