#include "conversionhelpers.h"
#include "fakes.h"
#include "shellwords.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>

#include <sys/stat.h>

namespace {

const QString kSeparator = QString(60, u'=');

Template makeTemplate(const QString &name, TemplateType type, const QString &path)
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.filePath = path;
    t.lastUsed = QDateTime::fromSecsSinceEpoch(1000000000, Qt::UTC);
    return t;
}

} // namespace

class TstConversion final : public QObject
{
    Q_OBJECT

private slots:
    void arguments_data();
    void arguments();
    void singleSuccessAsksToOpen_data();
    void singleSuccessAsksToOpen();
    void failedExitLogsHint_data();
    void failedExitLogsHint();
    void crashIsAFailure();
    void converterMissing();
    void converterCannotStart();
    void emptyInputOnlyLogs();
    void refusedOutputs_data();
    void refusedOutputs();
    void unbalancedOptionsRunNothing();
    void templatesPassedAndStamped();
    void batchMixed();
    void batchAllSucceed();
    void batchIntoOneFolder();
    void batchOutputEqualToInputIsRefused();
    void cancelInTheMiddleOfABatch_data();
    void cancelInTheMiddleOfABatch();
    void cancelSingle();
    void floodedPipesDoNotStall();
    void previewMatchesWhatRuns();
};

void TstConversion::arguments_data()
{
    QTest::addColumn<QString>("inputFormat");
    QTest::addColumn<QString>("outputFormat");
    QTest::addColumn<bool>("toc");
    QTest::addColumn<bool>("numbered");
    QTest::addColumn<QString>("options");
    QTest::addColumn<QStringList>("before");
    QTest::addColumn<QStringList>("after");

    const QString autoFormat = QStringLiteral("auto (automatisch)");
    QTest::newRow("auto input, docx")
        << autoFormat << QStringLiteral("docx") << false << false << QString()
        << QStringList{"-t", "docx"} << QStringList{"--standalone"};
    QTest::newRow("markdown input, gfm")
        << QStringLiteral("markdown") << QStringLiteral("gfm (GitHub Markdown)") << false << false
        << QString() << QStringList{"-f", "markdown", "-t", "gfm"} << QStringList{"--standalone"};
    QTest::newRow("plain and switches")
        << autoFormat << QStringLiteral("plain (txt)") << true << true << QString()
        << QStringList{"-t", "plain"} << QStringList{"--standalone", "--toc", "--number-sections"};
    QTest::newRow("options split like a shell")
        << autoFormat << QStringLiteral("html") << false << false
        << QStringLiteral("  --metadata title=\"Mein Titel\"   -V  x ") << QStringList{"-t", "html"}
        << QStringList{"--standalone", "--metadata", "title=Mein Titel", "-V", "x"};
    // PDF: the text is read first; Latin text goes to pdflatex, named by its absolute path.
    QTest::newRow("blank options add nothing")
        << autoFormat << QStringLiteral("pdf") << false << false << QStringLiteral("    ")
        << QStringList{"-t", "pdf"}
        << QStringList{"--standalone", u"--pdf-engine=" + QStandardPaths::findExecutable(
                                                              QStringLiteral("pdflatex"))};
}

void TstConversion::arguments()
{
    QFETCH(QString, inputFormat);
    QFETCH(QString, outputFormat);
    QFETCH(bool, toc);
    QFETCH(bool, numbered);
    QFETCH(QString, options);
    QFETCH(QStringList, before);
    QFETCH(QStringList, after);

    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    // Not .md: the gfm row writes .md, and an output over its own input is refused.
    const QString input = world.writeFile(QStringLiteral("in/Bericht 1.markdown"), "# Hallo\n");
    auto vm = world.makeViewModel();
    vm->setInputFormat(inputFormat);
    vm->setOutputFormat(outputFormat);
    vm->setTableOfContents(toc);
    vm->setNumberSections(numbered);
    vm->setAdditionalOptions(options);
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    const QString output = vm->outputFile();
    QVERIFY(runToEnd(*vm));

    const QStringList expected = before + QStringList{input, QStringLiteral("-o"), output} + after;
    const auto runs = recordedRuns(argsFile);
    QCOMPARE(runs.size(), outputFormat == u"pdf" ? 2 : 1);
    QCOMPARE(runs.last(), expected);
    QVERIFY(vm->logMessages().contains(QStringLiteral("Befehl: pandoc ") + expected.join(u' ')));
}

void TstConversion::singleSuccessAsksToOpen_data()
{
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QByteArray>("stderrText");
    QTest::addColumn<QString>("status");
    QTest::newRow("Ja") << true << QByteArray() << QStringLiteral("✓ Konvertierung erfolgreich!");
    QTest::newRow("Nein") << false << QByteArray("some note\n")
                          << QStringLiteral("✓ Konvertierung erfolgreich!");
    // A missing citation key or picture is easy to miss: the status line says so.
    QTest::newRow("warned") << false
                            << QByteArray("[WARNING] Citeproc: citation mueller2020 not found\n")
                            << QStringLiteral("✓ Konvertierung erfolgreich (mit Warnungen, "
                                              "siehe Log)");
}

void TstConversion::singleSuccessAsksToOpen()
{
    QFETCH(bool, answer);
    QFETCH(QByteArray, stderrText);
    QFETCH(QString, status);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    if (!stderrText.isEmpty())
        env.set("FAKE_PANDOC_STDERR", stderrText);
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    world.dialogs.answers = {answer};

    QSignalSpy busy(vm.get(), &PandocViewModel::isConvertingChanged);
    // The window must not still say "läuft" while the closing question is open.
    qsizetype dialogsWhenIdle = -1;
    connect(vm.get(), &PandocViewModel::isConvertingChanged, this, [&] {
        if (!vm->isConverting())
            dialogsWhenIdle = world.dialogs.calls.size();
    });
    QVERIFY(runToEnd(*vm));

    const QString output = world.path(QStringLiteral("a.html"));
    QStringList expectedLog{QStringLiteral("\nStarte Konvertierung: a.md → a.html"),
                            QStringLiteral("Befehl: pandoc -t html ") + input +
                                QStringLiteral(" -o ") + output + QStringLiteral(" --standalone")};
    if (!stderrText.isEmpty())
        expectedLog << QString::fromUtf8(stderrText);
    expectedLog << QStringLiteral("✓ Konvertierung erfolgreich: a.html");
    if (stderrText.contains("not found"))
        expectedLog << QStringLiteral("⚠ Zitat ohne Eintrag in der Literaturdatei: @mueller2020");
    QCOMPARE(vm->logMessages(), expectedLog);
    QCOMPARE(vm->statusMessage(), status);
    QCOMPARE(vm->statusColor(), stderrText.contains("not found")
                                    ? PandocViewModel::StatusColor::Orange
                                    : PandocViewModel::StatusColor::Green);
    QCOMPARE(world.dialogs.calls.size(), 1);
    QCOMPARE(dialogsWhenIdle, 0);
    QCOMPARE(world.dialogs.calls.first().title, QStringLiteral("Konvertierung erfolgreich!"));
    QCOMPARE(world.dialogs.calls.first().message,
             QStringLiteral("Datei: a.html\n\nMöchten Sie die Ausgabedatei öffnen?"));
    QCOMPARE(world.desktop.openedFiles, answer ? QStringList{output} : QStringList{});
    QCOMPARE(busy.count(), 2);
    QVERIFY(!vm->isConverting());
    QCOMPARE(vm->progress(), 0.0);
    // Another choice makes the old outcome stale.
    vm->setOutputFormat(QStringLiteral("docx"));
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
}

void TstConversion::failedExitLogsHint_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QByteArray>("stderrText");
    QTest::addColumn<QString>("fileLine");
    QTest::addColumn<QString>("hintPart");
    QTest::newRow("47 no pdf engine")
        << 47 << QByteArray() << QString() << QStringLiteral("texlive-latex-recommended");
    QTest::newRow("21 input format")
        << 21 << QByteArray() << QString() << QStringLiteral("Eingabeformat");
    QTest::newRow("22 output format")
        << 22 << QByteArray() << QString() << QStringLiteral("Ausgabeformat");
    QTest::newRow("6 option") << 6 << QByteArray() << QString() << QStringLiteral("Zusatzoptionen");
    QTest::newRow("1 file") << 1 << QByteArray() << QString()
                            << QStringLiteral("gelesen oder geschrieben");
    QTest::newRow("99 file") << 99 << QByteArray() << QString()
                             << QStringLiteral("gelesen oder geschrieben");
    QTest::newRow("3 no hint") << 3 << QByteArray() << QString() << QString();
    // The hint follows what LaTeX said, not the most common cause.
    QTest::newRow("43 undefined command")
        << 43 << QByteArray("Error producing PDF.\n! Undefined control sequence.\nl.5 \\foo\n")
        << QString() << QStringLiteral("kennt einen Befehl");
    QTest::newRow("43 missing package")
        << 43 << QByteArray("! LaTeX Error: File `fancyhdr.sty' not found.\n") << QString()
        << QStringLiteral("„fancyhdr.sty“");
    QTest::newRow("43 characters")
        << 43 << QByteArray("! LaTeX Error: Unicode character κ (U+03BA)\n") << QString()
        << QStringLiteral("Zeichen");
    QTest::newRow("missing file in German")
        << 1
        << QByteArray("pandoc: bild.png: openBinaryFile: does not exist (No such file or "
                      "directory)\n")
        << QStringLiteral("❌ Datei nicht gefunden: bild.png")
        << QStringLiteral("gelesen oder geschrieben");
    QTest::newRow("no permission in German")
        << 1 << QByteArray("pandoc: /x/out.html: withFile: permission denied (Permission denied)\n")
        << QStringLiteral("❌ Keine Berechtigung für: /x/out.html")
        << QStringLiteral("gelesen oder geschrieben");
}

void TstConversion::failedExitLogsHint()
{
    QFETCH(int, code);
    QFETCH(QByteArray, stderrText);
    QFETCH(QString, fileLine);
    QFETCH(QString, hintPart);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_EXIT", QByteArray::number(code));
    if (!stderrText.isEmpty())
        env.set("FAKE_PANDOC_STDERR", stderrText);
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));

    QStringList log = vm->logMessages();
    const qsizetype failed =
        log.indexOf(QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: ") +
                    QString::number(code) + u')');
    QVERIFY(failed >= 0);
    if (!fileLine.isEmpty())
        QCOMPARE(log.takeAt(failed + 1), fileLine);
    if (hintPart.isEmpty()) {
        QCOMPARE(failed, log.size() - 1);
    } else {
        QCOMPARE(failed, log.size() - 2);
        QVERIFY(log.last().startsWith(QStringLiteral("⚠ ")));
        QVERIFY2(log.last().contains(hintPart), qPrintable(log.last()));
    }
    QCOMPARE(vm->statusMessage(), QStringLiteral("✗ Konvertierung fehlgeschlagen"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(world.dialogs.calls.isEmpty());
    QVERIFY(!vm->isConverting());
}

void TstConversion::crashIsAFailure()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_CRASH", "1");
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(vm->logMessages().last(),
             QStringLiteral("✗ Konvertierung fehlgeschlagen (Signal: 6)"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(world.dialogs.calls.isEmpty());
}

void TstConversion::converterMissing()
{
    TestWorld world; // nothing installed
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(vm->logMessages().size(), 3);
    QCOMPARE(vm->logMessages().last(),
             QStringLiteral("❌ Pandoc nicht gefunden. Bitte installieren: ") +
                 PandocViewModel::kInstallPage);
    QCOMPARE(vm->statusMessage(), QStringLiteral("❌ Pandoc nicht gefunden"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(!vm->isConverting());
}

void TstConversion::converterCannotStart()
{
    TestWorld world;
    // Executable, but not a program the system can start.
    const QString fake = world.writeFile(QStringLiteral("bin/pandoc"), "\x7f"
                                                                       "ELF garbage");
    QFile::setPermissions(fake,
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QVERIFY2(
        vm->logMessages().last().startsWith(QStringLiteral("❌ Fehler beim Ausführen von Pandoc: ")),
        qPrintable(vm->logMessages().last()));
    QCOMPARE(vm->statusMessage(), QStringLiteral("❌ Fehler"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
}

void TstConversion::emptyInputOnlyLogs()
{
    TestWorld world;
    world.installFakePandoc();
    auto vm = world.makeViewModel();
    QSignalSpy busy(vm.get(), &PandocViewModel::isConvertingChanged);
    QSignalSpy status(vm.get(), &PandocViewModel::statusMessageChanged);
    vm->convert();
    QCOMPARE(vm->logMessages(), QStringList{QStringLiteral("❌ Keine Eingabedatei ausgewählt")});
    QCOMPARE(busy.count(), 0);
    QCOMPARE(status.count(), 0);
    QCOMPARE(vm->statusMessage(), QStringLiteral("Bereit"));
}

void TstConversion::refusedOutputs_data()
{
    QTest::addColumn<QString>("output");    // relative to the world; "" means empty
    QTest::addColumn<QString>("inputKind"); // "" a file, or "missing", "fifo", "folder"
    QTest::addColumn<QString>("logStart");
    QTest::newRow("empty") << QString() << QString()
                           << QStringLiteral("❌ Keine Ausgabedatei angegeben");
    QTest::newRow("the input itself") << QStringLiteral("in/a.md") << QString()
                                      << QStringLiteral("❌ Ausgabedatei wäre die Eingabedatei");
    QTest::newRow("the input by another spelling")
        << QStringLiteral("in/../in/./a.md") << QString()
        << QStringLiteral("❌ Ausgabedatei wäre die Eingabedatei");
    // Said in German before the converter starts, instead of pandoc's English afterwards.
    QTest::newRow("no output folder") << QStringLiteral("nowhere/a.html") << QString()
                                      << QStringLiteral("❌ Ausgabeordner existiert nicht: ");
    QTest::newRow("input gone") << QStringLiteral("out.html") << QStringLiteral("missing")
                                << QStringLiteral("❌ Eingabedatei nicht gefunden: ");
    QTest::newRow("input is a FIFO") << QStringLiteral("out.html") << QStringLiteral("fifo")
                                     << QStringLiteral("❌ Eingabe ist keine normale Datei: ");
    QTest::newRow("input is a folder") << QStringLiteral("out.html") << QStringLiteral("folder")
                                       << QStringLiteral("❌ Eingabe ist keine normale Datei: ");
}

void TstConversion::refusedOutputs()
{
    QFETCH(QString, output);
    QFETCH(QString, inputKind);
    QFETCH(QString, logStart);
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QByteArray content = "# unchanged\n";
    QString input = world.writeFile(QStringLiteral("in/a.md"), content);
    if (!inputKind.isEmpty()) {
        input = world.path(QStringLiteral("in/other"));
        if (inputKind == u"fifo")
            QCOMPARE(::mkfifo(QFile::encodeName(input).constData(), 0600), 0);
        else if (inputKind == u"folder")
            QVERIFY(QDir().mkpath(input));
    }
    const QString css = world.writeFile(QStringLiteral("t/s.css"), "body{}");
    auto vm = world.makeViewModel();
    const Template t = makeTemplate(QStringLiteral("s"), TemplateType::Css, css);
    vm->setTemplates({t});
    vm->setSelectedCssTemplate(t);
    vm->setInputFiles({QUrl::fromLocalFile(input)});
    vm->setOutputFile(output.isEmpty() ? QString() : world.path(output));
    QVERIFY(runToEnd(*vm));

    QCOMPARE(vm->logMessages().size(), 1);
    QVERIFY2(vm->logMessages().first().startsWith(logStart), qPrintable(vm->logMessages().first()));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(recordedRuns(argsFile).isEmpty());
    QCOMPARE(vm->templates().first().lastUsed, t.lastUsed); // refused before anything ran
    QFile file(world.path(QStringLiteral("in/a.md")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), content);
}

void TstConversion::unbalancedOptionsRunNothing()
{
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->setAdditionalOptions(QStringLiteral("--metadata title=\"Titel"));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    QVERIFY(vm->logMessages().last().startsWith(QStringLiteral("❌ Zusatzoptionen fehlerhaft")));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Red);
    QVERIFY(recordedRuns(argsFile).isEmpty());
}

void TstConversion::templatesPassedAndStamped()
{
    TestWorld world; // no converter: stamping happens before it is looked for
    const QString html = world.writeFile(QStringLiteral("t/page.html"), "$body$");
    const QString latex = world.writeFile(QStringLiteral("t/doc.tex"), "x");
    const Template h = makeTemplate(QStringLiteral("page"), TemplateType::Html, html);
    const Template c = makeTemplate(QStringLiteral("gone"), TemplateType::Css,
                                    world.path(QStringLiteral("t/gone.css")));
    const Template l = makeTemplate(QStringLiteral("doc"), TemplateType::Latex, latex);
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->setTemplates({h, c, l});
    vm->setSelectedHtmlTemplate(h);
    vm->setSelectedCssTemplate(c);
    vm->setSelectedLatexTemplate(l);
    vm->setOutputFormat(QStringLiteral("docx")); // hidden pickers still count
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));

    const QString command = vm->logMessages().at(1);
    QVERIFY2(command.endsWith(QStringLiteral("--standalone --template ") + html +
                              QStringLiteral(" --template ") + latex),
             qPrintable(command));
    const QList<Template> stored = vm->templates();
    QVERIFY(stored[0].lastUsed > h.lastUsed);
    QCOMPARE(stored[1].lastUsed, c.lastUsed);
    QVERIFY(stored[2].lastUsed > l.lastUsed);
    QCOMPARE(*vm->selectedHtmlTemplate(), h); // the selection keeps its copy
    // Written once the run is over.
    QTRY_VERIFY(QFile::exists(world.storeRoot() + QStringLiteral("/Velunor/templates.json")));
}

void TstConversion::batchMixed()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_EXIT", "1")
        .set("FAKE_PANDOC_FAIL_MATCH", "zwei")
        .set("FAKE_PANDOC_STDERR", "\npandoc: zwei.tar.md: parse error\nmore\n");
    const QStringList inputs{world.writeFile(QStringLiteral("eins.md"), "1"),
                             world.writeFile(QStringLiteral("sub/zwei.tar.md"), "2"),
                             world.writeFile(QStringLiteral("drei"), "3")};
    auto vm = world.makeViewModel();
    vm->setParallelJobs(1); // the one-at-a-time order of status lines
    vm->setOutputFormat(QStringLiteral("html"));
    QList<QUrl> urls;
    for (const QString &i : inputs)
        urls << QUrl::fromLocalFile(i);
    vm->setInputFiles(urls);

    QList<double> progress;
    QStringList statuses;
    QList<PandocViewModel::StatusColor> colors;
    connect(vm.get(), &PandocViewModel::progressChanged, this, [&] { progress << vm->progress(); });
    connect(vm.get(), &PandocViewModel::statusMessageChanged, this, [&] {
        statuses << vm->statusMessage();
        colors << vm->statusColor();
    });
    QVERIFY(runToEnd(*vm));

    QCOMPARE(progress, (QList<double>{1.0 / 3.0, 2.0 / 3.0, 1.0}));
    QCOMPARE(statuses, (QStringList{QStringLiteral("Konvertierung läuft..."),
                                    QStringLiteral("Konvertierung 1/3: eins.md"),
                                    QStringLiteral("Konvertierung 2/3: zwei.tar.md"),
                                    QStringLiteral("✗ Konvertierung fehlgeschlagen"),
                                    QStringLiteral("Konvertierung 3/3: drei"),
                                    QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: "
                                                   "2, Fehler: 1")}));
    QCOMPARE(colors.at(4), PandocViewModel::StatusColor::Red); // stays red after a failure
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Orange);

    const QStringList log = vm->logMessages();
    QCOMPARE(log.mid(0, 3),
             (QStringList{u'\n' + kSeparator,
                          QStringLiteral("Batch-Konvertierung gestartet: 3 Dateien"), kSeparator}));
    QCOMPARE(log.mid(log.size() - 3),
             (QStringList{u'\n' + kSeparator,
                          QStringLiteral("Batch-Konvertierung abgeschlossen: 2 erfolgreich, 1 "
                                         "Fehler"),
                          kSeparator}));
    QVERIFY(log.contains(QStringLiteral("\nStarte Konvertierung: zwei.tar.md → zwei.tar.html")));
    QVERIFY(log.contains(QStringLiteral("\nStarte Konvertierung: drei → drei.html")));
    QVERIFY(log.contains(QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: 1)")));
    // The results list can say why: pandoc's first line, nothing for the successes.
    const RunResults rows = vm->lastRunResults();
    QCOMPARE(rows.at(1).reason, QStringLiteral("pandoc: zwei.tar.md: parse error"));
    QVERIFY(rows.at(0).reason.isEmpty() && rows.at(2).reason.isEmpty());

    QCOMPARE(world.dialogs.calls.size(), 1);
    QCOMPARE(world.dialogs.calls.first().kind, QStringLiteral("alert"));
    QCOMPARE(world.dialogs.calls.first().title, QStringLiteral("Batch-Konvertierung"));
    QCOMPARE(world.dialogs.calls.first().message,
             QStringLiteral("Batch-Konvertierung abgeschlossen!\n\n✅ Erfolgreich: 2\n❌ Fehler: 1"));
    QVERIFY(!vm->isConverting());
    QCOMPARE(vm->progress(), 1.0);
}

void TstConversion::batchAllSucceed()
{
    TestWorld world;
    world.installFakePandoc();
    auto vm = world.makeViewModel();
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "a")),
                       QUrl::fromLocalFile(world.writeFile(QStringLiteral("b.md"), "b"))});
    QVERIFY(runToEnd(*vm));
    QCOMPARE(vm->statusMessage(),
             QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: 2, Fehler: 0"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Green);
    QVERIFY(world.desktop.openedFiles.isEmpty()); // no success question in a batch
    QCOMPARE(world.dialogs.calls.size(), 1);
}

// A batch may write into one folder; two inputs of one name would meet there and are refused.
void TstConversion::batchIntoOneFolder()
{
    TestWorld world;
    world.installFakePandoc();
    auto vm = world.makeViewModel();
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a/kapitel.md"), "a")),
                       QUrl::fromLocalFile(world.writeFile(QStringLiteral("b/anhang.md"), "b")),
                       QUrl::fromLocalFile(world.writeFile(QStringLiteral("c/kapitel.md"), "c"))});
    const QString folder = world.path(QStringLiteral("ausgabe"));
    QVERIFY(QDir().mkpath(folder));
    vm->setBatchOutputFolder(folder);
    QVERIFY(runToEnd(*vm));
    QVERIFY(QFile::exists(folder + QStringLiteral("/anhang.docx")));
    QVERIFY(!QFile::exists(world.path(QStringLiteral("b/anhang.docx"))));
    QVERIFY(!QFile::exists(folder + QStringLiteral("/kapitel.docx")));
    QCOMPARE(vm->statusMessage(),
             QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: 1, Fehler: 2"));
    QVERIFY(!vm->logMessages().filter(QStringLiteral("❌ Ausgabedatei kollidiert")).isEmpty());
}

void TstConversion::batchOutputEqualToInputIsRefused()
{
    TestWorld world;
    world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QString html = world.writeFile(QStringLiteral("seite.html"), "<p>bleibt</p>");
    const QString md = world.writeFile(QStringLiteral("text.md"), "x");
    auto vm = world.makeViewModel();
    vm->setOutputFormat(QStringLiteral("html"));
    vm->setInputFiles({QUrl::fromLocalFile(html), QUrl::fromLocalFile(md)});
    QVERIFY(runToEnd(*vm));
    QVERIFY(vm->logMessages().contains(
        QStringLiteral("❌ Ausgabedatei wäre die Eingabedatei selbst: ") + html));
    QCOMPARE(vm->statusMessage(),
             QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: 1, Fehler: 1"));
    QCOMPARE(recordedRuns(argsFile).size(), 1);
    QFile file(html);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("<p>bleibt</p>"));
}

void TstConversion::cancelInTheMiddleOfABatch_data()
{
    QTest::addColumn<int>("jobs");
    QTest::newRow("one at a time") << 1;
    QTest::newRow("two at once") << 2;
}

void TstConversion::cancelInTheMiddleOfABatch()
{
    QFETCH(int, jobs);
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_SLEEP_MS", "20000");
    auto vm = world.makeViewModel();
    vm->setParallelJobs(jobs);
    vm->setInputFiles({QUrl::fromLocalFile(world.writeFile(QStringLiteral("a.md"), "a")),
                       QUrl::fromLocalFile(world.writeFile(QStringLiteral("b.md"), "b")),
                       QUrl::fromLocalFile(world.writeFile(QStringLiteral("c.md"), "c"))});
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    QElapsedTimer clock;
    clock.start();
    vm->convert();
    QVERIFY(vm->isConverting());
    QTest::qWait(200); // let the converters start
    vm->cancelConversion();
    QVERIFY(done.wait(10000));
    QVERIFY(clock.elapsed() < 15000);

    const QStringList log = vm->logMessages();
    QCOMPARE(log.filter(QStringLiteral("Starte Konvertierung")).size(), jobs); // rest skipped
    QCOMPARE(log.count(QStringLiteral("⚠ Konvertierung abgebrochen")), jobs);
    QCOMPARE(log.at(log.size() - 2),
             QStringLiteral("Batch-Konvertierung abgebrochen: 0 erfolgreich, 0 Fehler, 3 "
                            "übersprungen"));
    QCOMPARE(vm->statusMessage(), QStringLiteral("⚠ Batch-Konvertierung abgebrochen! Erfolg: 0, "
                                                 "Fehler: 0, Übersprungen: 3"));
    QCOMPARE(vm->statusColor(), PandocViewModel::StatusColor::Orange);
    QVERIFY(world.dialogs.calls.isEmpty()); // no summary after a cancel
    QVERIFY(!vm->isConverting());
    QCOMPARE(vm->lastRunResults().size(), 3);
    for (const RunResult &row : vm->lastRunResults())
        QCOMPARE(row.outcome, RunResult::Outcome::Skipped);
}

void TstConversion::cancelSingle()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_SLEEP_MS", "20000");
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
    vm->convert();
    QTest::qWait(100);
    vm->cancelConversion();
    QVERIFY(done.wait(10000));
    QCOMPARE(vm->logMessages().last(), QStringLiteral("⚠ Konvertierung abgebrochen"));
    QVERIFY(world.dialogs.calls.isEmpty());
    QVERIFY(!vm->isConverting());
}

void TstConversion::floodedPipesDoNotStall()
{
    TestWorld world;
    world.installFakePandoc();
    FakeEnv env;
    env.set("FAKE_PANDOC_STDOUT_BYTES", "10000000").set("FAKE_PANDOC_STDERR_BYTES", "10000000");
    const QString input = world.writeFile(QStringLiteral("a.md"), "text");
    auto vm = world.makeViewModel();
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(runToEnd(*vm));
    const QStringList log = vm->logMessages();
    QCOMPARE(log.last(), QStringLiteral("✓ Konvertierung erfolgreich: a.docx"));
    const QString errorEntry = log.at(log.size() - 2);
    QVERIFY(errorEntry.contains(QStringLiteral("(gekürzt")));
    QVERIFY(errorEntry.size() < 1100 * 1024);
    QVERIFY(errorEntry.startsWith(QStringLiteral("xxxx")));
    QVERIFY(errorEntry.endsWith(QStringLiteral("xxxx")));
}

void TstConversion::previewMatchesWhatRuns()
{
    TestWorld world;
    const QString converter = world.installFakePandoc();
    const QString argsFile = world.path(QStringLiteral("args.txt"));
    FakeEnv env;
    env.set("FAKE_PANDOC_ARGS_FILE", argsFile.toUtf8());
    const QString input =
        world.writeFile(QStringLiteral("Mein Ordner/-Bericht \"Ä\" 'x'.md"), "text");
    auto vm = world.makeViewModel();
    QSignalSpy changed(vm.get(), &PandocViewModel::commandPreviewChanged);
    vm->setAdditionalOptions(QStringLiteral("--metadata title=\"Mein Titel\""));
    vm->handleInputFileSelection({{QUrl::fromLocalFile(input)}, std::nullopt});
    QVERIFY(changed.count() >= 3);
    const QString preview = vm->commandPreview();
    QVERIFY(runToEnd(*vm));

    const QStringList words = splitShellWords(preview).words;
    QCOMPARE(words.first(), converter);
    QCOMPARE(words.mid(1), recordedRuns(argsFile).first());
}

QTEST_GUILESS_MAIN(TstConversion)
#include "tst_conversion.moc"
