// The folded area of further settings: each control reaches the command line, and the
// extension lists come from the converter itself.
#include "conversion/conversionview.h"
#include "conversion/moreoptionssection.h"
#include "conversionhelpers.h"
#include "fakefilepanels.h"
#include "fakes.h"

#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>

namespace {

class Fixture
{
public:
    Fixture()
    {
        world.installRealPandoc();
        vm = world.makeViewModel();
        vm->checkPandocInstallation();
        view = std::make_unique<ConversionView>(vm.get(), &panels);
        view->resize(900, 900);
        view->show();
        input = world.writeFile(QStringLiteral("in/text.md"), "# Titel\n");
        vm->setInputFiles({QUrl::fromLocalFile(input)});
    }

    template <typename T> T *find(const QString &name) const
    {
        T *widget = view->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    void open() { view->moreOptions()->restoreState(0); }
    QString preview() const { return vm->commandPreview(); }

    TestWorld world;
    FakeFilePanels panels;
    std::unique_ptr<PandocViewModel> vm;
    std::unique_ptr<ConversionView> view;
    QString input;
};

} // namespace

class TestMoreOptions : public QObject
{
    Q_OBJECT

private slots:
    void foldedUntilOpened()
    {
        Fixture f;
        // Nothing of the pages is built before the area first opens.
        QVERIFY(!f.view->findChild<QTabWidget *>(QStringLiteral("moreOptionsTabs")));
        QCOMPARE(f.view->moreOptions()->state(), -1);
        f.find<QToolButton>(QStringLiteral("moreOptionsToggle"))->click();
        auto *tabs = f.find<QTabWidget>(QStringLiteral("moreOptionsTabs"));
        QVERIFY(tabs->isVisible());
        tabs->setCurrentIndex(2);
        QCOMPARE(f.view->moreOptions()->state(), 2);
        f.find<QToolButton>(QStringLiteral("moreOptionsToggle"))->click();
        QVERIFY(!tabs->isVisible());
        QCOMPARE(f.view->moreOptions()->state(), -1);
    }

    void controlsReachTheCommandLine()
    {
        Fixture f;
        f.vm->setOutputFormat(QStringLiteral("html"));
        f.open();
        f.find<QSpinBox>(QStringLiteral("tocDepthSpinBox"))->setValue(2);
        auto *math = f.find<QComboBox>(QStringLiteral("mathMethodPicker"));
        math->setCurrentIndex(math->findText(QStringLiteral("KaTeX")));
        emit math->activated(math->currentIndex());
        auto *title = f.find<QLineEdit>(QStringLiteral("titleField"));
        title->setText(QStringLiteral("Bericht \"eins\""));
        emit title->textEdited(title->text());
        f.find<QPlainTextEdit>(QStringLiteral("authorsField"))
            ->setPlainText(QStringLiteral("Ada\n\nGrace"));
        const QString line = f.preview();
        for (const char *part : {"--toc-depth=2", "--katex", "'--metadata=title=Bericht \"eins\"'",
                                 "--metadata=author=Ada", "--metadata=author=Grace"})
            QVERIFY2(line.contains(QLatin1StringView(part)), qPrintable(line));
        // One picker sets one of its options at a time.
        math->setCurrentIndex(math->findText(QStringLiteral("MathML")));
        emit math->activated(math->currentIndex());
        QVERIFY(f.preview().contains(u"--mathml") && !f.preview().contains(u"--katex"));
        // Controls for other outputs go out of sight.
        QVERIFY(math->isVisibleTo(f.view.get()));
        f.vm->setOutputFormat(QStringLiteral("docx"));
        QVERIFY(!math->isVisibleTo(f.view.get()));
    }

    void filtersKeepTheirOrder()
    {
        Fixture f;
        const QString lua = f.world.writeFile(QStringLiteral("f/zähler.lua"), "return {}\n");
        const QString other = f.world.writeFile(QStringLiteral("f/nummern.lua"), "return {}\n");
        f.vm->setBibliographyFile(f.world.writeFile(QStringLiteral("refs.bib"), ""));
        f.open();
        f.panels.openFileAnswers = {lua, other};
        auto *add = f.find<QPushButton>(QStringLiteral("addFilterButton"));
        add->click();
        add->click();
        auto *list = f.find<QListWidget>(QStringLiteral("filterList"));
        // New filters go before the citations, which come last unless moved.
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(2)->data(Qt::UserRole).toString(), QStringLiteral("citeproc"));
        const auto order = [&f] {
            const QString line = f.preview();
            return std::array{line.indexOf(u"zähler.lua"), line.indexOf(u"nummern.lua"),
                              line.indexOf(u"--citeproc")};
        };
        QVERIFY(order()[0] < order()[1] && order()[1] < order()[2]);
        list->setCurrentRow(2);
        f.find<QPushButton>(QStringLiteral("filterUpButton"))->click();
        f.find<QPushButton>(QStringLiteral("filterUpButton"))->click();
        QVERIFY(order()[2] < order()[0] && order()[0] < order()[1]);
        QCOMPARE(f.preview().count(u"--citeproc"), 1);
        // Without citations the step leaves the list and the line.
        f.vm->setProcessCitations(false);
        QCOMPARE(list->count(), 2);
        QVERIFY(!f.preview().contains(u"--citeproc"));
    }

    void missingFilesStopTheRun_data()
    {
        QTest::addColumn<bool>("filter");
        QTest::addColumn<QString>("line");
        QTest::newRow("filter gone") << true << "❌ Filter nicht gefunden: ";
        // A FIFO would leave the converter waiting for ever.
        QTest::newRow("cover image a FIFO") << false << "❌ Datei nicht gefunden: ";
    }
    void missingFilesStopTheRun()
    {
        QFETCH(bool, filter);
        QFETCH(QString, line);
        Fixture f;
        f.vm->setOutputFormat(QStringLiteral("epub"));
        f.vm->setOutputFile(f.world.path(QStringLiteral("in/text.epub")));
        const QString path = f.world.path(QStringLiteral("weg.lua"));
        if (filter) {
            f.vm->editedSettings().setFilters({path});
        } else {
            QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
            f.vm->setOptionValue(QStringLiteral("epub-cover-image"), path);
        }
        QVERIFY(runToEnd(*f.vm));
        QCOMPARE(f.vm->logMessages().last(), line + path);
    }

    void extensionsFromTheConverter()
    {
        Fixture f;
        f.vm->setInputFormat(QStringLiteral("markdown"));
        f.vm->setOutputFormat(QStringLiteral("html"));
        f.open();
        auto *list = f.find<QListWidget>(QStringLiteral("inputExtensionList"));
        QTRY_VERIFY_WITH_TIMEOUT(list->count() > 20, 20000);
        const auto items = list->findItems(QStringLiteral("smart"), Qt::MatchExactly);
        QCOMPARE(items.size(), 1);
        QCOMPARE(items.first()->checkState(), Qt::Checked); // on by default for markdown
        items.first()->setCheckState(Qt::Unchecked);
        QVERIFY2(f.preview().contains(u"-f markdown-smart "), qPrintable(f.preview()));
        items.first()->setCheckState(Qt::Checked);
        QVERIFY2(f.preview().contains(u"-f markdown "), qPrintable(f.preview()));
        // A preset's extension this pandoc does not list is named once it answered.
        Preset preset;
        preset.name = QStringLiteral("Fremd");
        preset.inputFormat = QStringLiteral("markdown");
        preset.outputFormat = QStringLiteral("html");
        preset.inputExtensions = QStringLiteral("+smart+kein_solches");
        f.vm->loadPreset(preset);
        QTRY_VERIFY(f.vm->logMessages().contains(
            QStringLiteral("⚠ Pandoc kennt die Erweiterung des Presets nicht: markdown "
                           "kein_solches")));
        QVERIFY(!f.vm->logMessages().join(u'\n').contains(u"nicht: markdown smart"));
        // Another format starts from its own defaults.
        items.first()->setCheckState(Qt::Unchecked);
        f.vm->setInputFormat(QStringLiteral("rst"));
        QCOMPARE(f.vm->editedSettings().value().inputExtensions, QString());
    }
};

QTEST_MAIN(TestMoreOptions)
#include "tst_moreoptions.moc"
