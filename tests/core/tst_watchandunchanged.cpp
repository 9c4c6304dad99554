// "Bei Änderungen automatisch konvertieren" and "Nur geänderte Dateien", with Debian's pandoc
// (and the slow fake converter where a run must last).
#include "conversionhelpers.h"
#include "fakes.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kTimeoutMs = 60000;

void rewrite(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
}

// As editors that keep a backup do: a new file, renamed over the old one.
void saveByRename(const QString &path, const QByteArray &content)
{
    const QString fresh = path + QStringLiteral(".neu");
    rewrite(fresh, content);
    QVERIFY(::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()) ==
            0);
}

// A file the converter read whose time is a few milliseconds before the start may have
// changed after it was read, and leaves no record; a picture saved a minute ago is not that.
void savedAMinuteAgo(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                             QFileDevice::FileModificationTime));
}

bool runToEndWith(PandocViewModel &vm)
{
    return runToEnd(vm, kTimeoutMs);
}

QStringList logWith(const PandocViewModel &vm, const QString &part)
{
    return vm.logMessages().filter(part);
}

const QByteArray kPicture = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"2\" height=\"2\">"
                            "<rect width=\"2\" height=\"2\" fill=\"red\"/></svg>\n";

} // namespace

class TstWatchAndUnchanged final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void watchConvertsAgain_data();
    void watchConvertsAgain();
    void changeDuringRunGivesOneMoreRun();
    void otherActionsEndWatching();
    void onlyChangedFiles_data();
    void onlyChangedFiles();
};

void TstWatchAndUnchanged::initTestCase()
{
    if (!QFile::exists(QStringLiteral("/usr/bin/pandoc")))
        QFAIL("Debian's pandoc is required: ./test.sh installs it");
}

void TstWatchAndUnchanged::watchConvertsAgain_data()
{
    QTest::addColumn<QString>("changed");
    QTest::addColumn<bool>("byRename");
    QTest::newRow("document, in place") << QStringLiteral("doc.md") << false;
    QTest::newRow("document, new file renamed over it") << QStringLiteral("doc.md") << true;
    QTest::newRow("CSS") << QStringLiteral("store/stil.css") << false;
    QTest::newRow("bibliography, renamed over") << QStringLiteral("quellen.bib") << true;
    QTest::newRow("picture pandoc read") << QStringLiteral("bild.svg") << false;
}

void TstWatchAndUnchanged::watchConvertsAgain()
{
    QFETCH(QString, changed);
    QFETCH(bool, byRename);
    TestWorld world;
    world.installRealPandoc();
    const QString input =
        world.writeFile(QStringLiteral("doc.md"), "---\ntitle: Probe\n---\n\nText [@knuth].\n\n"
                                                  "![Bild](bild.svg)\n");
    world.writeFile(QStringLiteral("bild.svg"), kPicture);
    const QString bib = world.writeFile(QStringLiteral("quellen.bib"),
                                        "@book{knuth, title={Alter Titel}, author={Knuth, "
                                        "Donald}, year=1984}\n");
    Template css;
    css.id = QUuid::createUuid();
    css.name = QStringLiteral("Stil");
    css.type = TemplateType::Css;
    css.filePath = world.writeFile(QStringLiteral("store/stil.css"), "body { color: red; }\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setSelectedCssTemplate(css);
    vm->setBibliographyFile(bib);
    vm->setAdditionalOptions(QStringLiteral("--self-contained"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setWatchChanges(true);
    QVERIFY(runToEndWith(*vm));
    const QString output = world.path(QStringLiteral("doc.html"));
    QVERIFY(fileBytes(output).contains("Alter Titel"));
    QVERIFY(vm->watchSession().isWatching());
    // Document, picture, CSS and bibliography at least.
    QVERIFY2(vm->watchSession().count() >= 4, qPrintable(vm->statusMessage()));
    QVERIFY(vm->statusMessage().contains(QStringLiteral("Beobachte ") +
                                         QString::number(vm->watchSession().count())));
    // The one question after a manual run was asked; automatic runs ask none.
    const qsizetype dialogsBefore = world.dialogs.calls.size();

    const QString path = world.path(changed);
    QByteArray content = fileBytes(path);
    const QByteArray before = fileBytes(output);
    // An embedded picture is in base64: only that the page changed shows.
    const bool plain = !changed.endsWith(u".svg");
    const QByteArray marker = changed.endsWith(u".bib") ? "Neuer Titel" : "MARKE0xC0FFEE";
    if (changed.endsWith(u".bib"))
        content.replace("Alter Titel", marker);
    else if (changed.endsWith(u".svg"))
        content.replace("red", "blue");
    else if (changed.endsWith(u".css"))
        content.append("p { font-family: MARKE0xC0FFEE; }\n");
    else
        content.append("\nMARKE0xC0FFEE\n");
    if (byRename)
        saveByRename(path, content);
    else
        rewrite(path, content);

    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(output) != before, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isConverting(), kTimeoutMs);
    QVERIFY(!plain || fileBytes(output).contains(marker));
    QCOMPARE(logWith(*vm, QStringLiteral("Automatische Konvertierung")).size(), 1);
    QCOMPARE(world.dialogs.calls.size(), dialogsBefore);
    QVERIFY(vm->watchSession().isWatching());

    // A file replaced by renaming is watched again: a second save is seen as well.
    const QByteArray afterFirst = fileBytes(output);
    const QByteArray second = changed.endsWith(u".bib") ? "Dritter Titel" : "ZWEITE0xBEEF";
    if (changed.endsWith(u".bib"))
        content.replace(marker, second);
    else if (changed.endsWith(u".svg"))
        content.replace("blue", "green");
    else
        content.append(changed.endsWith(u".css") ? "i { font-family: ZWEITE0xBEEF; }\n"
                                                 : "ZWEITE0xBEEF\n");
    if (byRename)
        saveByRename(path, content);
    else
        rewrite(path, content);
    QTRY_VERIFY_WITH_TIMEOUT(fileBytes(output) != afterFirst, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isConverting(), kTimeoutMs);
    QVERIFY(!plain || fileBytes(output).contains(second));
    QTRY_COMPARE_WITH_TIMEOUT(logWith(*vm, QStringLiteral("Automatische Konvertierung")).size(), 2,
                              kTimeoutMs);
}

void TstWatchAndUnchanged::changeDuringRunGivesOneMoreRun()
{
    TestWorld world;
    world.installFakePandoc();
    const QString args = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", QFile::encodeName(args));
    const QString input = world.writeFile(QStringLiteral("doc.md"), "# Eins\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setWatchChanges(true);
    QVERIFY(runToEndWith(*vm));
    QCOMPARE(recordedRuns(args).size(), 1);
    QVERIFY(vm->watchSession().isWatching());

    // Each converter run now lasts; edits during it, each settling on its own, queue one run.
    env.set("FAKE_PANDOC_SLEEP_MS", "4000");
    rewrite(input, "# Zwei\n");
    QTRY_VERIFY_WITH_TIMEOUT(vm->isConverting(), kTimeoutMs);
    for (const QByteArray text : {"# Drei\n", "# Vier\n"}) {
        rewrite(input, text);
        // Apart enough for each edit to settle on its own.
        QTest::qWait(RunWatcher::kSettleMs * 2);
    }
    QVERIFY(vm->isConverting());
    QTRY_COMPARE_WITH_TIMEOUT(recordedRuns(args).size(), 3, kTimeoutMs);
    QTRY_VERIFY_WITH_TIMEOUT(!vm->isConverting(), kTimeoutMs);
    // Nothing changed since: no fourth run follows.
    QSignalSpy finished(vm.get(), &PandocViewModel::conversionFinished);
    QVERIFY(!finished.wait(RunWatcher::kSettleMs * 4));
    QCOMPARE(recordedRuns(args).size(), 3);
    QCOMPARE(logWith(*vm, QStringLiteral("Automatische Konvertierung")).size(), 2);
}

void TstWatchAndUnchanged::otherActionsEndWatching()
{
    TestWorld world;
    world.installFakePandoc();
    const QString args = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", QFile::encodeName(args));
    const QString input = world.writeFile(QStringLiteral("doc.md"), "# Eins\n");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    vm->setWatchChanges(true);

    const std::function<void()> actions[] = {
        [&vm] { vm->setTableOfContents(!vm->tableOfContents()); },
        [&vm] { vm->setWatchChanges(false); },
    };
    for (const auto &action : actions) {
        vm->setWatchChanges(true);
        QVERIFY(runToEndWith(*vm));
        QVERIFY(vm->watchSession().isWatching());
        const qsizetype runs = recordedRuns(args).size();
        action();
        QVERIFY(!vm->watchSession().isWatching());
        QCOMPARE(vm->watchSession().count(), 0);
        rewrite(input, "# Anders " + QByteArray::number(runs) + '\n');
        QSignalSpy started(vm.get(), &PandocViewModel::isConvertingChanged);
        QVERIFY(!started.wait(RunWatcher::kSettleMs * 4));
        QCOMPARE(recordedRuns(args).size(), runs);
    }
    QVERIFY(logWith(*vm, QStringLiteral("Beobachtung beendet")).size() >= 2);
}

void TstWatchAndUnchanged::onlyChangedFiles_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<bool>("firstConverted");
    QTest::newRow("nothing") << QString() << false;
    QTest::newRow("only touched") << QStringLiteral("touch") << false;
    QTest::newRow("picture changed") << QStringLiteral("picture") << true;
    QTest::newRow("output edited by hand") << QStringLiteral("output") << true;
    QTest::newRow("other settings") << QStringLiteral("settings") << true;
    QTest::newRow("converter replaced") << QStringLiteral("converter") << true;
    QTest::newRow("record corrupt") << QStringLiteral("corrupt") << true;
    QTest::newRow("record is a link") << QStringLiteral("link") << true;
    QTest::newRow("record is a FIFO") << QStringLiteral("fifo") << true;
    QTest::newRow("record too large") << QStringLiteral("large") << true;
    QTest::newRow("record of another user") << QStringLiteral("stranger") << true;
}

void TstWatchAndUnchanged::onlyChangedFiles()
{
    QFETCH(QString, change);
    QFETCH(bool, firstConverted);
    TestWorld world;
    world.installRealPandoc();
    const QString first =
        world.writeFile(QStringLiteral("docs/a.md"), "# A\n\n![Bild](bild.svg)\n");
    const QString second = world.writeFile(QStringLiteral("docs/b.md"), "# B\n");
    const QString picture = world.writeFile(QStringLiteral("docs/bild.svg"), kPicture);
    savedAMinuteAgo(picture);
    const auto configured = [&world, &first, &second] {
        auto vm = world.makeViewModel();
        vm->setOutputFormat(QStringLiteral("html"));
        vm->setAdditionalOptions(QStringLiteral("--self-contained"));
        vm->setOnlyChangedFiles(true);
        vm->handleInputFileSelection(
            {{QUrl::fromLocalFile(first), QUrl::fromLocalFile(second)}, std::nullopt});
        return vm;
    };
    {
        auto vm = configured();
        QVERIFY(runToEndWith(*vm));
        QCOMPARE(vm->lastRunResults().size(), 2);
        for (const RunResult &row : vm->lastRunResults())
            QCOMPARE(row.outcome, RunResult::Outcome::Succeeded);
    }
    const QString output = world.path(QStringLiteral("docs/a.html"));
    const QStringList records =
        QDir(world.path(QStringLiteral("cache/unchanged"))).entryList(QDir::Files);
    QCOMPARE(records.size(), 1);
    const QString record = world.path(QStringLiteral("cache/unchanged/") + records.first());

    const QByteArray before = fileBytes(output);
    auto vm = configured();
    if (change == u"touch") {
        QFile file(first);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.setFileTime(QDateTime::currentDateTime().addSecs(60),
                                 QFileDevice::FileModificationTime));
    } else if (change == u"picture") {
        rewrite(picture, QByteArray(kPicture).replace("red", "blue"));
        savedAMinuteAgo(picture);
    } else if (change == u"output") {
        rewrite(output, fileBytes(output) + "<!-- von Hand -->\n");
    } else if (change == u"settings") {
        vm->setTableOfContents(true);
    } else if (change == u"converter") {
        // An update puts another program at the same place.
        const QString converter = world.binDir() + QStringLiteral("/pandoc");
        QVERIFY(QFile::remove(converter));
        world.writeFile(QStringLiteral("bin/pandoc"), "#!/bin/sh\nexec /usr/bin/pandoc \"$@\"\n");
        QVERIFY(QFile::setPermissions(converter,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    } else if (change == u"corrupt") {
        rewrite(record, fileBytes(record).left(40));
    } else if (change == u"fifo") {
        QVERIFY(QFile::remove(record));
        QCOMPARE(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    } else if (change == u"large") {
        // Still a valid record, only padded past any size a record of ours reaches.
        rewrite(record, fileBytes(record) + QByteArray(9 * 1024 * 1024, ' '));
    } else if (change == u"stranger") {
        if (::geteuid() != 0)
            QSKIP("handing a file to another user needs root");
        QCOMPARE(::chown(QFile::encodeName(record).constData(), 65534, 65534), 0);
    } else if (change == u"link") {
        const QString copy = world.path(QStringLiteral("anderswo.json"));
        QVERIFY(QFile::copy(record, copy));
        QVERIFY(QFile::remove(record));
        QVERIFY(QFile::link(copy, record));
    }
    world.dialogs.replaceAnswer = Dialogs::ReplaceAnswer::ReplaceAll;
    world.dialogs.calls.clear();
    QVERIFY(runToEndWith(*vm));

    const RunResults rows = vm->lastRunResults();
    QCOMPARE(rows.size(), 2);
    QCOMPARE(rows.at(0).outcome,
             firstConverted ? RunResult::Outcome::Succeeded : RunResult::Outcome::Unchanged);
    const bool secondConverted =
        change != u"" && change != u"touch" && change != u"picture" && change != u"output";
    QCOMPARE(rows.at(1).outcome,
             secondConverted ? RunResult::Outcome::Succeeded : RunResult::Outcome::Unchanged);
    const int unchanged = int(!firstConverted) + int(!secondConverted);
    QCOMPARE(
        vm->statusMessage().contains(QStringLiteral("unverändert: ") + QString::number(unchanged)),
        unchanged > 0);
    // An output this window did not write is replaced only when asked (someone else's edit
    // included); one left unchanged raises no question.
    const bool question =
        std::any_of(world.dialogs.calls.cbegin(), world.dialogs.calls.cend(),
                    [&output](const FakeDialogs::Call &call) {
                        return call.kind == u"replace" && call.message.contains(output);
                    });
    QCOMPARE(question, firstConverted);
    QVERIFY(!fileBytes(output).contains("von Hand"));
    QCOMPARE(fileBytes(output) != before, change == u"picture" || change == u"settings");

    // The run just made is on record in its turn: a third run leaves both alone.
    auto third = configured();
    if (change == u"settings")
        third->setTableOfContents(true);
    QVERIFY(runToEndWith(*third));
    for (const RunResult &row : third->lastRunResults())
        QCOMPARE(row.outcome, RunResult::Outcome::Unchanged);
}

QTEST_GUILESS_MAIN(TstWatchAndUnchanged)
#include "tst_watchandunchanged.moc"
