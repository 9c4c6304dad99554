#include "convertersearch.h"
#include "fakes.h"
#include "pandocviewmodel.h"

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

using StatusColor = PandocViewModel::StatusColor;

namespace {

const char *const kFakeVariables[] = {"FAKE_PANDOC_VERSION", "FAKE_PANDOC_EXIT",
                                      "FAKE_PANDOC_SLEEP_MS", "FAKE_PANDOC_CRASH",
                                      "FAKE_PANDOC_ARGS_FILE"};

void makeExecutable(const QString &path)
{
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner |
                                    QFileDevice::ExeGroup | QFileDevice::ExeOther);
}

// Builds one entry of a candidate folder: "exe", "plain", "dir", "link" or "dangling".
void place(TestWorld &world, const QString &kind, const QString &relative)
{
    const QString full = world.path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    if (kind == u"exe") {
        world.writeFile(relative, "#!/bin/sh\necho 'pandoc 1.0'\n");
        makeExecutable(full);
    } else if (kind == u"plain") {
        world.writeFile(relative, "#!/bin/sh\necho 'pandoc 1.0'\n");
    } else if (kind == u"dir") {
        QDir().mkpath(full);
    } else if (kind == u"link") {
        QFile::link(QStringLiteral(FAKE_PANDOC_PATH), full);
    } else if (kind == u"dangling") {
        QFile::link(world.path(QStringLiteral("nowhere/pandoc")), full);
    } else {
        qFatal("unknown kind");
    }
}

} // namespace

class TstDiscovery final : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void candidates_data();
    void candidates();
    void locate_data();
    void locate();

    void versionReport_data();
    void versionReport();
    void queryDoesNotBlockTheCaller();
    void converterThatCannotStart_data();
    void converterThatCannotStart();
    void hangingConverterIsStopped();
    void notFound_data();
    void notFound();
    void everyCallSearchesAfresh();

private:
    // A view model whose converter search looks only at the given places.
    std::unique_ptr<PandocViewModel> viewModel(TestWorld &world, const QStringList &fixed,
                                               std::optional<QString> path = std::nullopt,
                                               int timeoutMs = 10000);
};

void TstDiscovery::init()
{
    for (const char *name : kFakeVariables)
        qunsetenv(name);
}

std::unique_ptr<PandocViewModel> TstDiscovery::viewModel(TestWorld &world, const QStringList &fixed,
                                                         std::optional<QString> path, int timeoutMs)
{
    ViewModelEnvironment env = world.environment();
    env.converter = ConverterSearch(fixed, std::move(path));
    env.versionQueryTimeoutMs = timeoutMs;
    return std::make_unique<PandocViewModel>(env);
}

void TstDiscovery::candidates_data()
{
    QTest::addColumn<bool>("hasPath");
    QTest::addColumn<QString>("pathValue");
    QTest::addColumn<QStringList>("extra");

    QTest::newRow("no PATH") << false << QString() << QStringList();
    QTest::newRow("empty PATH") << true << QString() << QStringList();
    QTest::newRow("only colons") << true << "::" << QStringList();
    QTest::newRow("one directory") << true << "/usr/bin" << QStringList{"/usr/bin/pandoc"};
    QTest::newRow("empty pieces dropped")
        << true << "/a::/b:" << QStringList{"/a/pandoc", "/b/pandoc"};
    QTest::newRow("leading colon") << true << ":/a" << QStringList{"/a/pandoc"};
    QTest::newRow("trailing slash kept")
        << true << "/usr/local/bin/" << QStringList{"/usr/local/bin//pandoc"};
    QTest::newRow("duplicates kept")
        << true << "/usr/local/bin:/x:/usr/local/bin"
        << QStringList{"/usr/local/bin/pandoc", "/x/pandoc", "/usr/local/bin/pandoc"};
    QTest::newRow("blanks kept") << true << " /a :/b" << QStringList{" /a /pandoc", "/b/pandoc"};
    QTest::newRow("relative piece") << true << "bin:." << QStringList{"bin/pandoc", "./pandoc"};
}

void TstDiscovery::candidates()
{
    QFETCH(bool, hasPath);
    QFETCH(QString, pathValue);
    QFETCH(QStringList, extra);

    const QStringList fixed{"/usr/local/bin/pandoc", "/opt/homebrew/bin/pandoc", "/usr/bin/pandoc",
                            "/Library/TeX/texbin/pandoc"};
    QCOMPARE(ConverterSearch::defaultFixedPlaces(), fixed);
    const ConverterSearch search(ConverterSearch::defaultFixedPlaces(),
                                 hasPath ? std::optional<QString>(pathValue) : std::nullopt);
    QCOMPARE(search.candidates(), fixed + extra);
}

void TstDiscovery::locate_data()
{
    QTest::addColumn<QStringList>("entries"); // "kind relative-path"
    QTest::addColumn<QString>("pathValue");   // ROOT stands for the test folder
    QTest::addColumn<QString>("expected");    // relative path, or empty for none

    const QString path = QStringLiteral("ROOT/p1:ROOT/p2");
    QTest::newRow("nothing") << QStringList() << path << QString();
    QTest::newRow("first fixed place wins")
        << QStringList{"exe f1/pandoc", "exe f2/pandoc", "exe p1/pandoc"} << path << "f1/pandoc";
    QTest::newRow("second fixed place before PATH")
        << QStringList{"exe f2/pandoc", "exe p1/pandoc"} << path << "f2/pandoc";
    QTest::newRow("PATH only") << QStringList{"exe p2/pandoc"} << path << "p2/pandoc";
    QTest::newRow("PATH in order")
        << QStringList{"exe p1/pandoc", "exe p2/pandoc"} << path << "p1/pandoc";
    QTest::newRow("directory skipped")
        << QStringList{"dir f1/pandoc", "exe p1/pandoc"} << path << "p1/pandoc";
    QTest::newRow("non-executable file skipped")
        << QStringList{"plain f1/pandoc", "exe f2/pandoc"} << path << "f2/pandoc";
    QTest::newRow("only non-executable files")
        << QStringList{"plain f1/pandoc", "plain p1/pandoc"} << path << QString();
    QTest::newRow("link to a program") << QStringList{"link f1/pandoc"} << path << "f1/pandoc";
    QTest::newRow("dangling link skipped")
        << QStringList{"dangling f1/pandoc", "exe p2/pandoc"} << path << "p2/pandoc";
    QTest::newRow("trailing slash in PATH")
        << QStringList{"exe p1/pandoc"} << QStringLiteral("ROOT/p1/") << "p1//pandoc";
}

void TstDiscovery::locate()
{
    QFETCH(QStringList, entries);
    QFETCH(QString, pathValue);
    QFETCH(QString, expected);

    TestWorld world;
    for (const QString &entry : entries)
        place(world, entry.section(u' ', 0, 0), entry.section(u' ', 1));
    const ConverterSearch search({world.path("f1/pandoc"), world.path("f2/pandoc")},
                                 QString(pathValue).replace(QStringLiteral("ROOT"), world.root()));
    const std::optional<QString> found = search.locate();
    if (expected.isEmpty()) {
        QCOMPARE(found, std::nullopt);
    } else {
        QVERIFY(found.has_value());
        QCOMPARE(*found, world.root() + u'/' + expected);
    }
}

void TstDiscovery::versionReport_data()
{
    QTest::addColumn<QByteArray>("variable");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("status"); // %1 is the converter's path
    QTest::addColumn<StatusColor>("color");
    QTest::addColumn<QStringList>("log");

    const QString bereit = QStringLiteral("Bereit");
    QTest::newRow("first line only")
        << QByteArray("FAKE_PANDOC_VERSION")
        << QByteArray("pandoc 3.1.9\nFeatures: +server +lua\nScripting engine: Lua 5.4\n")
        << "✓ pandoc 3.1.9 (%1)" << StatusColor::Green << QStringList{"✓ pandoc 3.1.9", "Pfad: %1"};
    QTest::newRow("no line feed") << QByteArray("FAKE_PANDOC_VERSION") << QByteArray("pandoc 3.1.9")
                                  << "✓ pandoc 3.1.9 (%1)" << StatusColor::Green
                                  << QStringList{"✓ pandoc 3.1.9", "Pfad: %1"};
    QTest::newRow("empty output") << QByteArray("FAKE_PANDOC_VERSION") << QByteArray() << "✓  (%1)"
                                  << StatusColor::Green << QStringList{"✓ ", "Pfad: %1"};
    QTest::newRow("only a line feed")
        << QByteArray("FAKE_PANDOC_VERSION") << QByteArray("\nsecond") << "✓  (%1)"
        << StatusColor::Green << QStringList{"✓ ", "Pfad: %1"};
    QTest::newRow("UTF-8 text") << QByteArray("FAKE_PANDOC_VERSION")
                                << QByteArray("pandoc 3 – Übersetzer\n")
                                << "✓ pandoc 3 – Übersetzer (%1)" << StatusColor::Green
                                << QStringList{"✓ pandoc 3 – Übersetzer", "Pfad: %1"};
    QTest::newRow("exit status 1") << QByteArray("FAKE_PANDOC_EXIT") << QByteArray("1") << bereit
                                   << StatusColor::Primary << QStringList();
    QTest::newRow("exit status 2") << QByteArray("FAKE_PANDOC_EXIT") << QByteArray("2") << bereit
                                   << StatusColor::Primary << QStringList();
    QTest::newRow("crash") << QByteArray("FAKE_PANDOC_CRASH") << QByteArray("1") << bereit
                           << StatusColor::Primary << QStringList();
    QTest::newRow("invalid UTF-8")
        << QByteArray("FAKE_PANDOC_VERSION") << QByteArray("pandoc \xff\xfe 3\n") << bereit
        << StatusColor::Primary << QStringList();
    QTest::newRow("UTF-8 cut off at the end")
        << QByteArray("FAKE_PANDOC_VERSION") << QByteArray("pandoc 3\xc3") << bereit
        << StatusColor::Primary << QStringList();
}

void TstDiscovery::versionReport()
{
    QFETCH(QByteArray, variable);
    QFETCH(QByteArray, value);
    QFETCH(QString, status);
    QFETCH(StatusColor, color);
    QFETCH(QStringList, log);

    TestWorld world;
    const QString pandoc = world.installFakePandoc();
    qputenv(variable.constData(), value);
    const auto vm = viewModel(world, {pandoc});
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);

    vm->checkPandocInstallation();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);

    QCOMPARE(vm->statusMessage(), QString(status).replace(QStringLiteral("%1"), pandoc));
    QCOMPARE(vm->statusColor(), color);
    QStringList expected;
    for (const QString &line : log)
        expected.append(QString(line).replace(QStringLiteral("%1"), pandoc));
    QCOMPARE(vm->logMessages(), expected);
}

void TstDiscovery::queryDoesNotBlockTheCaller()
{
    TestWorld world;
    const QString pandoc = world.installFakePandoc();
    qputenv("FAKE_PANDOC_SLEEP_MS", "300");
    const auto vm = viewModel(world, {pandoc});
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);
    QSignalSpy status(vm.get(), &PandocViewModel::statusMessageChanged);

    vm->checkPandocInstallation();
    // The answer can only arrive through the event loop.
    QCOMPARE(done.size(), 0);
    QVERIFY(vm->logMessages().isEmpty());

    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);
    QCOMPARE(status.size(), 1);
    QCOMPARE(vm->logMessages(),
             (QStringList{QStringLiteral("✓ pandoc 9.9.9"), QStringLiteral("Pfad: ") + pandoc}));
}

void TstDiscovery::converterThatCannotStart_data()
{
    QTest::addColumn<QByteArray>("content");

    QTest::newRow("garbage") << QByteArray("\x01\x02garbage\x00\xff\xfe", 12);
    QTest::newRow("missing interpreter") << QByteArray("#!/nonexistent/interpreter\n");
}

// Exists and is executable, yet cannot run: reported, and later candidates are not tried.
void TstDiscovery::converterThatCannotStart()
{
    QFETCH(QByteArray, content);

    TestWorld world;
    const QString broken = world.writeFile(QStringLiteral("f1/pandoc"), content);
    makeExecutable(broken);
    const QString working = world.installFakePandoc();
    const auto vm = viewModel(world, {broken, working});
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);

    vm->checkPandocInstallation();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);

    QCOMPARE(vm->statusMessage(), QStringLiteral("⚠ Pandoc nicht gefunden!"));
    QCOMPARE(vm->statusColor(), StatusColor::Red);
    QCOMPARE(vm->logMessages().size(), 1);
    const QString prefix = QStringLiteral("⚠ Fehler beim Überprüfen von Pandoc: ");
    QVERIFY2(vm->logMessages().first().startsWith(prefix), qPrintable(vm->logMessages().first()));
    QVERIFY(vm->logMessages().first().size() > prefix.size());
}

void TstDiscovery::hangingConverterIsStopped()
{
    TestWorld world;
    const QString pandoc = world.installFakePandoc();
    qputenv("FAKE_PANDOC_SLEEP_MS", "60000");
    const auto vm = viewModel(world, {pandoc}, std::nullopt, 200);
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);

    vm->checkPandocInstallation();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 1, 10000);

    const QStringList log = vm->logMessages();
    QCOMPARE(log.size(), 1);
    QVERIFY2(log.first().startsWith(QStringLiteral("⚠ ")), qPrintable(log.first()));
    QVERIFY(log.first().contains(pandoc));
    QVERIFY(vm->statusColor() != StatusColor::Green);
}

void TstDiscovery::notFound_data()
{
    QTest::addColumn<bool>("hasPath");
    QTest::addColumn<QString>("pathValue");
    QTest::addColumn<QStringList>("listedFromPath");

    QTest::newRow("no PATH") << false << QString() << QStringList();
    QTest::newRow("empty PATH") << true << QString() << QStringList();
    QTest::newRow("two pieces with gaps")
        << true << "/nonexistent-a::/nonexistent-b:" << QStringList{"/nonexistent-a/pandoc"};
    QTest::newRow("trailing slash")
        << true << "/nonexistent-a/:/nonexistent-b" << QStringList{"/nonexistent-a//pandoc"};
}

void TstDiscovery::notFound()
{
    QFETCH(bool, hasPath);
    QFETCH(QString, pathValue);
    QFETCH(QStringList, listedFromPath);

    TestWorld world;
    QStringList fixed;
    for (int i = 1; i <= 4; ++i)
        fixed.append(world.path(QStringLiteral("fixed%1/pandoc").arg(i)));
    // Something named pandoc that is no program does not count as found.
    QDir().mkpath(fixed[1]);
    const auto vm =
        viewModel(world, fixed, hasPath ? std::optional<QString>(pathValue) : std::nullopt);
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);

    vm->checkPandocInstallation();
    QTRY_COMPARE(done.size(), 1);

    QCOMPARE(vm->statusMessage(), QStringLiteral("⚠ Pandoc nicht gefunden!"));
    QCOMPARE(vm->statusColor(), StatusColor::Red);
    QStringList expected{
        QStringLiteral(
            "⚠ Pandoc nicht gefunden - Bitte installieren: https://pandoc.org/installing.html"),
        QStringLiteral("Gesuchte Pfade:")};
    for (const QString &candidate : fixed + listedFromPath)
        expected.append(QStringLiteral("  - ") + candidate);
    QCOMPARE(vm->logMessages(), expected);
}

void TstDiscovery::everyCallSearchesAfresh()
{
    TestWorld world;
    const QString pandoc = world.binDir() + QStringLiteral("/pandoc");
    const auto vm = viewModel(world, {pandoc});
    QSignalSpy done(vm.get(), &PandocViewModel::pandocCheckFinished);

    vm->checkPandocInstallation();
    QTRY_COMPARE(done.size(), 1);
    QCOMPARE(vm->statusColor(), StatusColor::Red);
    const qsizetype notFoundLines = vm->logMessages().size();

    world.installFakePandoc();
    vm->checkPandocInstallation();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 2, 10000);
    QCOMPARE(vm->statusMessage(), QStringLiteral("✓ pandoc 9.9.9 (") + pandoc + u')');
    QCOMPARE(vm->statusColor(), StatusColor::Green);

    vm->checkPandocInstallation();
    QTRY_COMPARE_WITH_TIMEOUT(done.size(), 3, 10000);
    QCOMPARE(vm->logMessages().size(), notFoundLines + 4);
    QCOMPARE(vm->logMessages().mid(notFoundLines, 2), vm->logMessages().mid(notFoundLines + 2));
}

QTEST_GUILESS_MAIN(TstDiscovery)
#include "tst_discovery.moc"
