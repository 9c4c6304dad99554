// The conversion tab driven through its widgets, with fake panels, dialogs and converter.
#include "contentview.h"
#include "conversion/conversionview.h"
#include "conversion/logview.h"
#include "conversion/statuscolors.h"
#include "elidedfield.h"
#include "fakefilepanels.h"

#include "fakes.h"
#include <QDir>

#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSpinBox>
#include <QTest>
#include <QToolButton>
#include <QWheelEvent>

#include <QtTest/qtestspontaneevent.h>
#include <sys/stat.h>

namespace {

using StatusColor = PandocViewModel::StatusColor;

Template makeTemplate(const QString &name, TemplateType type, bool favorite,
                      const QString &filePath = QString())
{
    Template t;
    t.id = QUuid::createUuid();
    t.name = name;
    t.type = type;
    t.isFavorite = favorite;
    t.filePath = filePath;
    return t;
}

QStringList itemTexts(const QComboBox *box)
{
    QStringList texts;
    for (int i = 0; i < box->count(); ++i) {
        const bool separator =
            box->itemData(i, Qt::AccessibleDescriptionRole).toString() == u"separator";
        texts << (separator ? QStringLiteral("---") : box->itemText(i));
    }
    return texts;
}

// WCAG contrast ratio of two colours.
double contrast(const QColor &a, const QColor &b)
{
    auto luminance = [](const QColor &c) {
        auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a) + 0.05;
    const double lb = luminance(b) + 0.05;
    return std::max(la, lb) / std::min(la, lb);
}

class Fixture
{
public:
    Fixture()
    {
        world.installFakePandoc();
        vm = world.makeViewModel();
        view = std::make_unique<ConversionView>(vm.get(), &panels);
        view->resize(900, 900);
        view->show();
    }

    template <typename T> T *find(const QString &name) const
    {
        T *widget = view->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    QUrl input(const QString &relative) const
    {
        return QUrl::fromLocalFile(world.writeFile(relative, "# Titel\n"));
    }

    TestWorld world;
    FakeFilePanels panels;
    std::unique_ptr<PandocViewModel> vm;
    std::unique_ptr<ConversionView> view;
};

} // namespace

class TestConversionView : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        qunsetenv("FAKE_PANDOC_SLEEP_MS");
        qunsetenv("FAKE_PANDOC_EXIT");
    }

    void inputBoxFollowsInputCount_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("label");
        QTest::addColumn<bool>("listButton");
        QTest::newRow("none") << 0 << "Eingabedatei:" << false;
        QTest::newRow("one") << 1 << "Eingabedatei:" << false;
        QTest::newRow("two") << 2 << "Eingabedateien:" << true;
        QTest::newRow("three") << 3 << "Eingabedateien:" << true;
    }
    void inputBoxFollowsInputCount()
    {
        QFETCH(int, count);
        QFETCH(QString, label);
        QFETCH(bool, listButton);
        Fixture f;
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i)
            urls << f.input(QStringLiteral("in/f%1.md").arg(i));
        f.vm->setInputFiles(urls);

        QCOMPARE(f.find<QLabel>("inputLabel")->text(), label);
        QCOMPARE(f.find<QLineEdit>("inputField")->text(), f.vm->inputFileDisplay());
        QCOMPARE(f.find<QToolButton>("batchListButton")->isVisible(), listButton);
        // Batch outputs are named automatically: the field is locked, the button picks a folder.
        QCOMPARE(f.find<QLineEdit>("outputField")->isEnabled(), count <= 1);
        auto *saveAs = f.find<QPushButton>("saveAsButton");
        QCOMPARE(saveAs->text(), count <= 1 ? QStringLiteral("Speichern unter...")
                                            : QStringLiteral("Ordner wählen..."));
        QCOMPARE(f.find<QPushButton>("convertButton")->isEnabled(), count >= 1);
        if (count > 1) {
            const QString folder = f.world.path(QStringLiteral("ausgabe"));
            QVERIFY(QDir().mkpath(folder));
            f.panels.folderAnswers << folder;
            saveAs->click();
            QCOMPARE(f.panels.calls.last().kind, QStringLiteral("folder"));
            QCOMPARE(f.vm->batchOutputFolder(), folder);
            QCOMPARE(f.find<QLineEdit>("outputField")->text(),
                     PandocViewModel::kBatchPlaceholder + QStringLiteral(" → ") + folder);
            QVERIFY(f.vm->commandPreview().contains(folder + QStringLiteral("/f0.docx")));
            f.vm->setBatchOutputFolder(QString());
        }
        if (listButton) {
            f.find<QToolButton>("batchListButton")->click();
            QCOMPARE(f.world.dialogs.calls.size(), 1);
            QCOMPARE(f.world.dialogs.calls.first().title, QStringLiteral("Ausgewählte Dateien"));
        }
        // Back to none: everything unlocks again, the list button goes.
        f.find<QToolButton>("clearInputButton")->click();
        QCOMPARE(f.find<QLabel>("inputLabel")->text(), QStringLiteral("Eingabedatei:"));
        QVERIFY(f.find<QToolButton>("batchListButton")->isHidden());
        QVERIFY(f.find<QPushButton>("saveAsButton")->isEnabled());
        QVERIFY(!f.find<QPushButton>("convertButton")->isEnabled());
    }

    void clearButtonEmptiesOnlyInputsAndOutput()
    {
        Fixture f;
        f.vm->savePreset(QStringLiteral("P"));
        f.vm->setSelectedPreset(f.vm->presets().first());
        f.find<QComboBox>("outputFormatPicker")->setCurrentText(QStringLiteral("html5"));
        f.find<QCheckBox>("tocCheck")->setChecked(true);
        f.vm->handleInputFileSelection({{f.input("a.md")}, std::nullopt});
        QVERIFY(!f.vm->outputFile().isEmpty());

        f.find<QToolButton>("clearInputButton")->click();
        QVERIFY(f.vm->inputFiles().isEmpty());
        QCOMPARE(f.vm->outputFile(), QString());
        QCOMPARE(f.find<QLineEdit>("outputField")->text(), QString());
        QCOMPARE(f.vm->outputFormat(), QStringLiteral("html5"));
        QVERIFY(f.vm->tableOfContents());
        QVERIFY(f.vm->selectedPreset().has_value());
        // Works with nothing chosen, too.
        f.find<QToolButton>("clearInputButton")->click();
        QCOMPARE(f.vm->outputFile(), QString());
    }

    void outputFormatPickerDrivesTemplatesAndOutput_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("rows");
        QTest::addColumn<QString>("outputName");
        const QStringList none;
        QTest::newRow("html") << "html" << QStringList{"htmlTemplateRow", "cssTemplateRow"}
                              << "a.html";
        QTest::newRow("html5") << "html5" << QStringList{"htmlTemplateRow", "cssTemplateRow"}
                               << "a.html";
        QTest::newRow("pdf") << "pdf" << QStringList{"latexTemplateRow"} << "a.pdf";
        QTest::newRow("latex") << "latex" << QStringList{"latexTemplateRow"} << "a.tex";
        QTest::newRow("gfm") << "gfm (GitHub Markdown)" << none << "a.md";
        QTest::newRow("plain") << "plain (txt)" << none << "a.txt";
    }
    void outputFormatPickerDrivesTemplatesAndOutput()
    {
        QFETCH(QString, format);
        QFETCH(QStringList, rows);
        QFETCH(QString, outputName);
        Fixture f;
        f.vm->handleInputFileSelection({{f.input("in/a.md")}, std::nullopt});
        // The initial "docx" shows the DOCX row only.
        QVERIFY(f.find<QWidget>("docxTemplateRow")->isVisible());

        f.find<QComboBox>("outputFormatPicker")->setCurrentText(format);
        QCOMPARE(f.vm->outputFormat(), format);
        QCOMPARE(QFileInfo(f.vm->outputFile()).fileName(), outputName);
        QCOMPARE(f.find<QLineEdit>("outputField")->text(), f.vm->outputFile());
        QCOMPARE(f.find<QWidget>("templateSelectionSection")->isVisible(), !rows.isEmpty());
        for (const QString &row : QStringList{"htmlTemplateRow", "cssTemplateRow",
                                              "latexTemplateRow", "docxTemplateRow"})
            QCOMPARE(f.find<QWidget>(row)->isVisible(), rows.contains(row));
    }

    void presetOutputFormatRunsTheSameReaction()
    {
        Fixture f;
        f.vm->handleInputFileSelection({{f.input("in/a.md")}, std::nullopt});
        f.vm->setOutputFormat(QStringLiteral("html5"));
        f.vm->savePreset(QStringLiteral("Web"));
        f.find<QComboBox>("outputFormatPicker")->setCurrentText(QStringLiteral("docx"));
        QVERIFY(f.vm->outputFile().endsWith(u".docx"));

        f.find<QComboBox>("presetPicker")->setCurrentIndex(2);
        QCOMPARE(f.vm->outputFormat(), QStringLiteral("html5"));
        QCOMPARE(f.find<QComboBox>("outputFormatPicker")->currentText(), QStringLiteral("html5"));
        QVERIFY(f.vm->outputFile().endsWith(u"/a.html"));
        QVERIFY(f.find<QWidget>("htmlTemplateRow")->isVisible());
        QVERIFY(!f.find<QWidget>("docxTemplateRow")->isVisible());
    }

    void unknownFormatShowsNoSelectionUntilPicked()
    {
        Fixture f;
        auto *input = f.find<QComboBox>("inputFormatPicker");
        auto *output = f.find<QComboBox>("outputFormatPicker");
        QCOMPARE(input->count(), 10);
        QCOMPARE(output->count(), 13);
        f.vm->setInputFormat(QStringLiteral("asciidoc"));
        f.vm->setOutputFormat(QStringLiteral("HTML"));
        QCOMPARE(input->currentIndex(), -1);
        QCOMPARE(output->currentIndex(), -1);
        QCOMPARE(f.vm->inputFormat(), QStringLiteral("asciidoc"));
        QCOMPARE(f.vm->outputFormat(), QStringLiteral("HTML"));

        input->setCurrentIndex(1);
        QCOMPARE(f.vm->inputFormat(), QStringLiteral("markdown"));
    }

    void presetPickerAndDelete()
    {
        Fixture f;
        auto *picker = f.find<QComboBox>("presetPicker");
        auto *trash = f.find<QToolButton>("deletePresetButton");
        QCOMPARE(itemTexts(picker), QStringList{"(Manuelle Einstellungen)"});
        QVERIFY(!trash->isEnabled());

        f.vm->setOutputFormat(QStringLiteral("pdf"));
        f.vm->setNumberSections(true);
        f.vm->savePreset(QStringLiteral("Druck"));
        f.vm->setOutputFormat(QStringLiteral("odt"));
        f.vm->setNumberSections(false);
        f.vm->savePreset(QStringLiteral("Büro"));
        QCOMPARE(itemTexts(picker),
                 (QStringList{"(Manuelle Einstellungen)", "---", "Druck", "Büro"}));

        picker->setCurrentIndex(2);
        QCOMPARE(f.vm->selectedPreset()->name, QStringLiteral("Druck"));
        QCOMPARE(f.vm->outputFormat(), QStringLiteral("pdf"));
        QVERIFY(f.find<QCheckBox>("numberSectionsCheck")->isChecked());
        QVERIFY(trash->isEnabled());

        // Manual settings keep what the preset set.
        picker->setCurrentIndex(0);
        QVERIFY(!f.vm->selectedPreset());
        QCOMPARE(f.vm->outputFormat(), QStringLiteral("pdf"));
        QVERIFY(!trash->isEnabled());

        picker->setCurrentIndex(3);
        trash->click();
        QCOMPARE(itemTexts(picker), (QStringList{"(Manuelle Einstellungen)", "---", "Druck"}));
        QCOMPARE(picker->currentIndex(), 0);
        QVERIFY(!trash->isEnabled());
    }

    void saveDialogKeepsNameOnCancelAndClearsOnSave()
    {
        Fixture f;
        f.find<QToolButton>("savePresetButton")->click();
        auto *dialog = f.find<QDialog>("savePresetDialog");
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Voreinstellung speichern"));
        auto *name = f.find<QLineEdit>("presetNameEdit");
        QCOMPARE(name->placeholderText(), QStringLiteral("Name"));
        QTest::keyClicks(name, QStringLiteral("Bericht"));
        f.find<QPushButton>("cancelPresetButton")->click();
        QVERIFY(!dialog->isVisible());
        QVERIFY(f.vm->presets().isEmpty());

        f.find<QToolButton>("savePresetButton")->click();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(name->text(), QStringLiteral("Bericht"));
        f.find<QPushButton>("confirmPresetButton")->click();
        QVERIFY(!dialog->isVisible());
        QCOMPARE(f.vm->presets().size(), 1);
        QCOMPARE(f.vm->presets().first().name, QStringLiteral("Bericht"));

        f.find<QToolButton>("savePresetButton")->click();
        QTRY_VERIFY(dialog->isVisible());
        QCOMPARE(name->text(), QString());
        f.find<QPushButton>("cancelPresetButton")->click();
    }

    // Each time it opens, typing goes into the name and Enter saves; the new preset is the
    // selected one afterwards, without being loaded again.
    void saveDialogTakesTypingAndEnterEveryTime()
    {
        Fixture f;
        for (const QString &preset : {QStringLiteral("Web"), QStringLiteral("Druck")}) {
            // The last use ended on "Abbrechen", as a user who changed their mind leaves it.
            f.find<QToolButton>("savePresetButton")->click();
            // Built on first use.
            auto *dialog = f.find<QDialog>("savePresetDialog");
            auto *name = f.find<QLineEdit>("presetNameEdit");
            auto *cancel = f.find<QPushButton>("cancelPresetButton");
            QTRY_VERIFY(dialog->isVisible());
            cancel->setFocus();
            cancel->click();
            QVERIFY(!dialog->isVisible());

            f.find<QToolButton>("savePresetButton")->click();
            QTRY_VERIFY(dialog->isVisible());
            QCOMPARE(dialog->focusWidget(), name);
            QTest::keyClicks(dialog->focusWidget(), preset);
            QTest::keyClick(dialog->focusWidget(), Qt::Key_Return);
            QVERIFY(!dialog->isVisible());
            QVERIFY(f.vm->selectedPreset().has_value());
            QCOMPARE(f.vm->selectedPreset()->name, preset);
            QCOMPARE(f.find<QComboBox>("presetPicker")->currentText(), preset);
        }
        QCOMPARE(f.vm->presets().size(), 2);
        QVERIFY(f.vm->logMessages().filter(QStringLiteral("geladen")).isEmpty());
    }

    void templatePickersListKindWithFavouriteMarks()
    {
        Fixture f;
        f.vm->setOutputFormat(QStringLiteral("html"));
        auto *html = f.find<QComboBox>("htmlTemplatePicker");
        auto *css = f.find<QComboBox>("cssTemplatePicker");
        QCOMPARE(itemTexts(html), QStringList{"(Kein Template)"});

        const Template b = makeTemplate("b", TemplateType::Html, false);
        const Template a = makeTemplate("a", TemplateType::Html, false);
        const Template c = makeTemplate("c", TemplateType::Html, true);
        const Template style = makeTemplate("style", TemplateType::Css, false);
        f.vm->setTemplates({b, a, c, style});
        QCOMPARE(itemTexts(html), (QStringList{"(Kein Template)", "---", "⭐ c", "a", "b"}));
        QCOMPARE(itemTexts(css), (QStringList{"(Kein Template)", "---", "style"}));

        html->setCurrentIndex(3);
        QCOMPARE(f.vm->selectedHtmlTemplate(), std::optional<Template>(a));
        // Hidden and shown again, the choice is still there.
        f.find<QComboBox>("outputFormatPicker")->setCurrentText(QStringLiteral("docx"));
        f.find<QComboBox>("outputFormatPicker")->setCurrentText(QStringLiteral("html"));
        QCOMPARE(html->currentText(), QStringLiteral("a"));

        // The picker finds the selection by id: a conversion stamps the library entry's last
        // use, and the selection's older copy still shows (the view model keeps its copy).
        const Template selected = *f.vm->selectedHtmlTemplate();
        f.vm->updateTemplateLastUsed(selected);
        QVERIFY(f.vm->htmlTemplates().indexOf(selected) < 0);
        QCOMPARE(html->currentText(), QStringLiteral("a"));
        QCOMPARE(f.vm->selectedHtmlTemplate(), std::optional<Template>(selected));
        // A selection whose template left the library shows none.
        Template gone = a;
        gone.id = QUuid::createUuid();
        f.vm->setSelectedHtmlTemplate(gone);
        QCOMPARE(html->currentIndex(), -1);
        QCOMPARE(f.vm->selectedHtmlTemplate(), std::optional<Template>(gone));

        html->setCurrentIndex(0);
        QVERIFY(!f.vm->selectedHtmlTemplate());
    }

    void dropFilesAnywhereOnTheInputBox_data()
    {
        QTest::addColumn<QString>("target");
        QTest::newRow("box") << "inputFileSection";
        QTest::newRow("label") << "inputLabel";
        QTest::newRow("field") << "inputField";
        QTest::newRow("button") << "browseInputButton";
    }
    void dropFilesAnywhereOnTheInputBox()
    {
        QFETCH(QString, target);
        Fixture f;
        const QUrl file = f.input("drop/a.md");
        QMimeData mime;
        mime.setUrls({file});
        QWidget *widget = f.find<QWidget>(target);
        const QPoint pos = widget->rect().center();
        QDragEnterEvent enter(pos, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(pos), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(widget, &drop);
        QVERIFY(drop.isAccepted());
        QCOMPARE(f.vm->inputFiles(), QList<QUrl>{file});
        QVERIFY(f.vm->outputFile().endsWith(u"drop/a.docx"));
    }

    void dropWithoutFilesIsRefused_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::newRow("text") << QList<QUrl>{} << "Hallo";
        QTest::newRow("web address")
            << QList<QUrl>{QUrl(QStringLiteral("https://example.org/a.md"))} << QString();
    }
    void dropWithoutFilesIsRefused()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        Fixture f;
        QMimeData mime;
        if (!urls.isEmpty())
            mime.setUrls(urls);
        if (!text.isEmpty())
            mime.setText(text);
        auto *box = f.find<QWidget>("inputFileSection");
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &enter);
        QVERIFY(!enter.isAccepted());
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(box, &drop);
        QVERIFY(!drop.isAccepted());
        QVERIFY(f.vm->inputFiles().isEmpty());
        QVERIFY(f.vm->logMessages().isEmpty());
    }

    void openPanelResultGoesToTheViewModel()
    {
        Fixture f;
        auto *browse = f.find<QPushButton>("browseInputButton");
        browse->click(); // cancelled: nothing changes
        QCOMPARE(f.panels.calls.size(), 1);
        QVERIFY(f.vm->inputFiles().isEmpty());
        QCOMPARE(f.vm->outputFile(), QString());

        const QList<QUrl> two{f.input("x/a.md"), f.input("x/b.md")};
        f.panels.openFilesAnswers << two;
        browse->click();
        QCOMPARE(f.vm->inputFiles(), two);
        QCOMPARE(f.find<QLineEdit>("outputField")->text(), PandocViewModel::kBatchPlaceholder);
        QCOMPARE(f.world.dialogs.calls.size(), 1);
        QCOMPARE(f.world.dialogs.calls.first().title, QStringLiteral("Batch-Modus"));
    }

    void savePanelClaimsAnEmptyFile()
    {
        Fixture f;
        const QUrl input = f.input("docs/a.md");
        f.vm->handleInputFileSelection({{input}, std::nullopt});
        f.vm->setOutputFormat(QStringLiteral("html5"));
        const QString chosen = f.world.path("out/Ergebnis.html");
        QDir().mkpath(QFileInfo(chosen).absolutePath());
        f.panels.saveFileAnswers << chosen;
        f.find<QPushButton>("saveAsButton")->click();

        QCOMPARE(f.panels.calls.last().kind, QStringLiteral("saveFile"));
        QCOMPARE(f.panels.calls.last().suggestedPath,
                 QFileInfo(input.toLocalFile()).absolutePath() + QStringLiteral("/a.html"));
        QVERIFY(QFileInfo::exists(chosen));
        QCOMPARE(QFileInfo(chosen).size(), 0);
        QCOMPARE(f.vm->outputFile(), chosen);
        QCOMPARE(f.find<QLineEdit>("outputField")->text(), chosen);

        // An existing file is kept as it is until a conversion replaces it.
        const QString existing = f.world.writeFile("out/alt.html", "<p>alt</p>");
        f.panels.saveFileAnswers << existing;
        f.find<QPushButton>("saveAsButton")->click();
        QCOMPARE(f.vm->outputFile(), existing);
        QCOMPARE(QFileInfo(existing).size(), qint64(10));

        // A place that cannot be written is the panel's failure.
        f.panels.saveFileAnswers << f.world.path("missing/dir/x.html");
        f.find<QPushButton>("saveAsButton")->click();
        QCOMPARE(f.vm->outputFile(), existing);
        QVERIFY(f.vm->logMessages().last().startsWith(
            QStringLiteral("❌ Fehler beim Auswählen der Ausgabedatei: ")));

        // Cancelled: nothing.
        const int logged = int(f.vm->logMessages().size());
        f.find<QPushButton>("saveAsButton")->click();
        QCOMPARE(f.vm->outputFile(), existing);
        QCOMPARE(f.vm->logMessages().size(), logged);
    }

    void typedOutputAndOptionsReachTheViewModel()
    {
        Fixture f;
        f.vm->handleInputFileSelection({{f.input("a.md")}, std::nullopt});
        auto *output = f.find<QLineEdit>("outputField");
        output->clear();
        QTest::keyClicks(output, QStringLiteral("/tmp/x.docx"));
        QCOMPARE(f.vm->outputFile(), QStringLiteral("/tmp/x.docx"));

        auto *options = f.find<QLineEdit>("additionalOptionsField");
        QCOMPARE(options->placeholderText(), QStringLiteral("z.B. --metadata title=\"Titel\""));
        QTest::keyClicks(options, QStringLiteral("--shift-heading-level-by=1"));
        QCOMPARE(f.vm->additionalOptions(), QStringLiteral("--shift-heading-level-by=1"));
        f.find<QCheckBox>("tocCheck")->click();
        QVERIFY(f.vm->tableOfContents());

        // The command line follows every change.
        auto *command = f.find<QLineEdit>("commandPreview");
        QVERIFY(command->isReadOnly());
        QCOMPARE(command->text(), f.vm->commandPreview());
        QVERIFY(command->text().contains(u"--toc"));
        QVERIFY(command->text().contains(u"--shift-heading-level-by=1"));
        QVERIFY(command->text().contains(u"/tmp/x.docx"));
        f.find<QCheckBox>("standaloneCheck")->click();
        QVERIFY(!f.vm->standalone());
        QVERIFY(!command->text().contains(u"--standalone"));
        f.vm->setTableOfContents(false);
        QVERIFY(!f.find<QCheckBox>("tocCheck")->isChecked());
        QVERIFY(!command->text().contains(u"--toc"));
    }

    void headingShiftControlFollowsTheViewModel()
    {
        Fixture f;
        f.vm->setInputFiles({f.input(QStringLiteral("a.md"))});
        auto *shift = f.find<QSpinBox>(QStringLiteral("headingShiftSpinBox"));
        shift->setValue(2);
        QCOMPARE(f.vm->optionValue(QStringLiteral("shift-heading-level-by")), QStringLiteral("2"));
        QVERIFY(f.find<QLineEdit>(QStringLiteral("commandPreview"))
                    ->text()
                    .contains(QStringLiteral("--shift-heading-level-by=2")));
        shift->setValue(0);
        QVERIFY(f.vm->optionValues().isEmpty());
        f.vm->setOptionValue(QStringLiteral("shift-heading-level-by"), QStringLiteral("-1"));
        QCOMPARE(shift->value(), -1);
    }

    void convertButtonDuringConversion()
    {
        Fixture f;
        auto *button = f.find<QPushButton>("convertButton");
        auto *bar = f.find<QProgressBar>("progressBar");
        QVERIFY(!button->isEnabled());
        QCOMPARE(button->text(), QStringLiteral("KONVERTIEREN"));
        QVERIFY(bar->isHidden());

        f.vm->handleInputFileSelection({{f.input("a.md")}, std::nullopt});
        f.vm->setOutputFile(QString());
        QVERIFY(button->isEnabled()); // an empty output path does not disable it

        f.vm->setOutputFile(f.world.path("a.docx"));
        qputenv("FAKE_PANDOC_SLEEP_MS", "300");
        QSignalSpy finished(f.vm.get(), &PandocViewModel::conversionFinished);
        button->click();
        QCOMPARE(button->text(), QStringLiteral("Konvertierung läuft..."));
        QVERIFY(!button->isEnabled());
        QVERIFY(bar->isVisible());
        QVERIFY(f.find<QPushButton>("cancelButton")->isVisible());
        QCOMPARE(f.find<QLabel>("statusLabel")->text(), QStringLiteral("Konvertierung läuft..."));

        QVERIFY(finished.wait(10000));
        QCOMPARE(button->text(), QStringLiteral("KONVERTIEREN"));
        QVERIFY(button->isEnabled());
        QVERIFY(bar->isHidden());
        QCOMPARE(f.find<QLabel>("statusLabel")->text(),
                 QStringLiteral("✓ Konvertierung erfolgreich!"));
    }

    void batchProgressAndCancelFromTheButton()
    {
        Fixture f;
        f.vm->setParallelJobs(1); // so that b.md is still waiting when cancelled
        f.vm->handleInputFileSelection(
            {{f.input("b/a.md"), f.input("b/b.md"), f.input("b/c.md")}, std::nullopt});
        qputenv("FAKE_PANDOC_SLEEP_MS", "30000");
        QSignalSpy finished(f.vm.get(), &PandocViewModel::conversionFinished);
        f.find<QPushButton>("convertButton")->click();
        auto *cancel = f.find<QPushButton>("cancelButton");
        QTRY_VERIFY(f.vm->logMessages().join(u'\n').contains(u"Starte Konvertierung: a.md"));
        QCOMPARE(f.find<QProgressBar>("progressBar")->value(), 0);
        cancel->click();
        QVERIFY(finished.wait(10000));
        QVERIFY(f.vm->logMessages().contains(QStringLiteral("⚠ Konvertierung abgebrochen")));
        QVERIFY(!f.vm->logMessages().join(u'\n').contains(u"Starte Konvertierung: b.md"));
        QVERIFY(cancel->isHidden());
        QVERIFY(f.find<QPushButton>("convertButton")->isEnabled());
    }

    void logFollowsNewestLineAndClears()
    {
        Fixture f;
        auto *log = f.find<LogView>("logView");
        QCOMPARE(log->height(), 150);
        // Fixed width as the reader sees it; fontconfig does not flag every such font.
        const QFontMetrics metrics(log->font());
        QCOMPARE(metrics.horizontalAdvance(QStringLiteral("iiii")),
                 metrics.horizontalAdvance(QStringLiteral("MMMM")));
        for (int i = 0; i < 300; ++i)
            f.vm->appendLog(QStringLiteral("Zeile %1").arg(i));
        QScrollBar *bar = log->verticalScrollBar();
        QCOMPARE(log->lineCount(), 300);
        QTRY_VERIFY(bar->maximum() > 0 && bar->value() == bar->maximum());
        QCOMPARE(log->line(299), QStringLiteral("Zeile 299"));

        // Scrolled away, the next line brings the view back to the bottom.
        bar->setValue(0);
        f.vm->appendLog(QStringLiteral("neu"));
        QTRY_COMPARE(bar->value(), bar->maximum());

        f.find<QPushButton>("clearLogButton")->click();
        QCOMPARE(log->lineCount(), 0);
        QCOMPARE(f.find<QLabel>("statusLabel")->text(), QStringLiteral("Log gelöscht"));
        QCOMPARE(f.find<QLabel>("statusLabel")->palette().color(QPalette::WindowText),
                 statusColorFor(StatusColor::Gray, f.view->palette()));
        f.vm->appendLog(QStringLiteral("erste"));
        QCOMPARE(log->lineCount(), 1);
        QCOMPARE(log->line(0), QStringLiteral("erste"));
    }

    void logScrollsToTheEndOfItsWidestLine_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("latin") << QStringLiteral("Warnung: ").repeated(30);
        QTest::newRow("chinese") << QStringLiteral("转换失败的文件名很长").repeated(30);
        QTest::newRow("emoji") << QStringLiteral("😀🎉📄").repeated(60);
        QTest::newRow("huge") << QStringLiteral("数").repeated(50000);
    }

    void logScrollsToTheEndOfItsWidestLine()
    {
        QFETCH(QString, line);
        Fixture f;
        auto *log = f.find<LogView>("logView");
        f.vm->appendLog(QStringLiteral("kurz"));
        f.vm->appendLog(line);
        QScrollBar *bar = log->horizontalScrollBar();
        const int width = log->fontMetrics().horizontalAdvance(line);
        QTRY_VERIFY(bar->maximum() > 0);
        const int reach = bar->maximum() + log->viewport()->width();
        QVERIFY2(reach >= width && reach <= width + width / 50 + 20,
                 qPrintable(QStringLiteral("%1 for %2").arg(reach).arg(width)));
    }

    // On request a long line wraps at the log's width instead of scrolling sideways; it is
    // still one line to select and copy.
    void logWrapsLongLinesOnRequest_data() { logScrollsToTheEndOfItsWidestLine_data(); }
    void logWrapsLongLinesOnRequest()
    {
        QFETCH(QString, line);
        Fixture f;
        auto *log = f.find<LogView>("logView");
        f.vm->appendLog(QStringLiteral("kurz"));
        f.find<QCheckBox>("wrapLogCheck")->setChecked(true);
        f.vm->appendLog(line);
        QTRY_COMPARE(log->lineCount(), 2);
        QCOMPARE(log->horizontalScrollBar()->maximum(), 0);
        const double rows = double(log->fontMetrics().horizontalAdvance(line)) /
                            double(log->viewport()->width() - 8);
        QVERIFY2(log->rowCount() >= 1 + rows && log->rowCount() <= 3 + rows * 1.25,
                 qPrintable(QStringLiteral("%1 rows for %2").arg(log->rowCount()).arg(rows)));
        // The last row belongs to the long line.
        QTest::keySequence(log, QKeySequence::SelectAll);
        QTest::keySequence(log, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("kurz\n") + line);

        f.find<QCheckBox>("wrapLogCheck")->setChecked(false);
        QCOMPARE(log->rowCount(), 2);
        QVERIFY(log->horizontalScrollBar()->maximum() > 0);
    }

    // The log takes the height a taller window brings.
    void logGrowsWithTheWindow()
    {
        Fixture f;
        auto *log = f.find<LogView>("logView");
        // Tall enough that the page does not scroll.
        f.view->resize(f.view->width(), 2000);
        QTRY_VERIFY(log->height() >= 150);
        QTest::qWait(50);
        const int before = log->height();
        f.view->resize(f.view->width(), 2300);
        QTRY_VERIFY(log->height() >= before + 250);
    }

    void logLinesCanBeCopied()
    {
        Fixture f;
        f.vm->appendLog(QStringLiteral("\nStarte Konvertierung: a.md → a.docx"));
        f.vm->appendLog(QStringLiteral("[WARNING] eins\n[WARNING] zwei"));
        f.vm->appendLog(QStringLiteral("✓ Konvertierung erfolgreich: a.docx"));
        auto *log = f.find<LogView>("logView");
        // An entry with line breaks shows as several lines.
        QCOMPARE(log->lineCount(), 5);
        // Drag over the middle lines, then copy.
        const int h = log->fontMetrics().height() + 2;
        QTest::mousePress(log->viewport(), Qt::LeftButton, {}, QPoint(20, 4 + h + h / 2));
        QMouseEvent move(QEvent::MouseMove, QPointF(20, 4 + 3 * h + h / 2),
                         log->viewport()->mapToGlobal(QPointF(20, 4 + 3 * h + h / 2)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(log->viewport(), &move);
        QTest::keySequence(log, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("Starte Konvertierung: a.md → a.docx\n[WARNING] eins\n"
                                "[WARNING] zwei"));
        QTest::keySequence(log, QKeySequence::SelectAll);
        QTest::keySequence(log, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral("\nStarte Konvertierung: a.md → a.docx\n[WARNING] eins\n"
                                "[WARNING] zwei\n✓ Konvertierung erfolgreich: a.docx"));
    }

    void statusColoursAreReadable_data()
    {
        QTest::addColumn<int>("color");
        QTest::addColumn<bool>("dark");
        for (const bool dark : {false, true}) {
            for (int c = int(StatusColor::Primary); c <= int(StatusColor::Gray); ++c)
                QTest::addRow("%s %d", dark ? "dark" : "light", c) << c << dark;
        }
    }
    void statusColoursAreReadable()
    {
        QFETCH(int, color);
        QFETCH(bool, dark);
        QPalette palette;
        palette.setColor(QPalette::Window,
                         dark ? QColor(0x2b, 0x2b, 0x2b) : QColor(0xef, 0xef, 0xef));
        palette.setColor(QPalette::WindowText, dark ? QColor(0xf0, 0xf0, 0xf0) : Qt::black);
        const QColor shown = statusColorFor(StatusColor(color), palette);
        QVERIFY2(contrast(shown, palette.color(QPalette::Window)) >= 4.5, qPrintable(shown.name()));
        // The six must stay apart from one another on one palette.
        for (int other = int(StatusColor::Primary); other <= int(StatusColor::Gray); ++other) {
            if (other != color)
                QVERIFY(statusColorFor(StatusColor(other), palette) != shown);
        }
    }

    // Both path fields take a typed or pasted path as a file manager or terminal hands it
    // over, and say in German why they refuse one; a refused path changes nothing.
    void pathFieldsTakeTypedPaths_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("typed");   // {file} is an existing file, {root} the test folder
        QTest::addColumn<QString>("problem"); // "" when taken
        for (const QString &field :
             {QStringLiteral("inputField"), QStringLiteral("bibliographyField")}) {
            const auto row = [&field](const char *name) -> QTestData & {
                return QTest::newRow(
                    qPrintable(field + QStringLiteral(": ") + QLatin1String(name)));
            };
            row("path") << field << "{file}"
                        << "";
            row("quoted, with blanks") << field << "  '{file}' "
                                       << "";
            row("file URL") << field << "{url}"
                            << "";
            row("missing, markup in the name") << field << "{root}/fehlt <b>x</b>.md"
                                               << "Datei nicht gefunden: {root}/fehlt <b>x</b>.md";
            row("folder") << field << "{root}/"
                          << "Das ist ein Ordner, keine Datei: {root}";
            row("fifo") << field << "{root}/rohr"
                        << "Keine gewöhnliche Datei: {root}/rohr";
            row("relative") << field << "Quellen/a b.md"
                            << "Bitte den vollständigen Pfad angeben (beginnend "
                               "mit /): Quellen/a b.md";
        }
    }
    void pathFieldsTakeTypedPaths()
    {
        QFETCH(QString, field);
        QFETCH(QString, typed);
        QFETCH(QString, problem);
        Fixture f;
        f.view->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(f.view.get()));
        const QString file = f.world.writeFile(QStringLiteral("Quellen/Literatur ä.md"), "# A\n");
        QVERIFY(::mkfifo(qPrintable(f.world.path(QStringLiteral("rohr"))), 0600) == 0);
        const auto fill = [&](QString text) {
            return text.replace(QStringLiteral("{file}"), file)
                .replace(QStringLiteral("{url}"), QUrl::fromLocalFile(file).toString())
                .replace(QStringLiteral("{root}"), f.world.root());
        };
        const bool input = field == u"inputField";
        const auto taken = [&] {
            return input ? (f.vm->inputFiles().isEmpty() ? QString()
                                                         : f.vm->inputFiles().first().toLocalFile())
                         : f.vm->bibliographyFile();
        };
        auto *edit = f.find<ElidedField>(field);
        auto *message = f.find<QLabel>(input ? "inputPathProblem" : "bibliographyPathProblem");
        edit->setFocus();
        QVERIFY(edit->hasFocus());
        // Pasted: key clicks know no umlauts.
        edit->insert(fill(typed));
        QTest::keyClick(edit, Qt::Key_Return);
        if (problem.isEmpty()) {
            QCOMPARE(taken(), file);
            QVERIFY(!message->isVisible());
            if (input)
                QCOMPARE(f.vm->outputFile(),
                         f.world.path(QStringLiteral("Quellen/Literatur ä.docx")));
            return;
        }
        QCOMPARE(taken(), QString());
        QVERIFY(message->isVisible());
        QCOMPARE(message->toolTip(), Qt::convertFromPlainText(fill(problem), Qt::WhiteSpaceNoWrap));
        QCOMPARE(message->textFormat(), Qt::PlainText);
        // Corrected, it is taken and the message goes.
        edit->selectAll();
        edit->insert(file);
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(taken(), file);
        QVERIFY(!message->isVisible());
    }

    // Scrolling the page over a picker must not change the setting; a chosen control still
    // takes the wheel. Every combo and spin box of both tabs is guarded.
    void wheelScrollsThePageUnlessTheControlHasFocus_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("tab");
        QTest::newRow("output format") << "outputFormatPicker" << 0;
        QTest::newRow("parallel jobs") << "parallelJobsSpinBox" << 0;
        QTest::newRow("heading shift") << "headingShiftSpinBox" << 0;
        QTest::newRow("template kind filter") << "typeFilter" << 1;
    }
    void wheelScrollsThePageUnlessTheControlHasFocus()
    {
        QFETCH(QString, name);
        QFETCH(int, tab);
        TestWorld world;
        world.installFakePandoc();
        FakeFilePanels panels;
        ContentView content(world.environment(), &panels);
        content.resize(800, 500);
        content.setCurrentIndex(tab);
        content.show();
        content.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&content));
        for (const QWidget *w : content.findChildren<QWidget *>()) {
            if (qobject_cast<const QComboBox *>(w) || qobject_cast<const QAbstractSpinBox *>(w))
                QVERIFY2(w->focusPolicy() == Qt::StrongFocus, qPrintable(w->objectName()));
        }

        auto *control = content.findChild<QWidget *>(name);
        QVERIFY(control);
        auto *spin = qobject_cast<QSpinBox *>(control);
        if (spin)
            spin->setValue(3);
        const auto value = [control, spin] {
            return spin ? spin->text() : qobject_cast<QComboBox *>(control)->currentText();
        };
        QScrollBar *bar = nullptr;
        for (QWidget *p = control->parentWidget(); p && !bar; p = p->parentWidget()) {
            if (auto *area = qobject_cast<QAbstractScrollArea *>(p))
                bar = area->verticalScrollBar();
        }
        const auto wheel = [control] {
            const QPointF at = QRectF(control->rect()).center();
            QWheelEvent step(at, control->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                             Qt::NoModifier, Qt::NoScrollPhase, false);
            // As from the mouse: only such a step travels on to the parents.
            QSpontaneKeyEvent::setSpontaneous(&step);
            qApp->notify(control, &step);
        };
        content.setFocus();
        const QString before = value();
        const int scrolled = bar ? bar->value() : 0;
        wheel();
        QCOMPARE(value(), before);
        QVERIFY(!control->hasFocus());
        if (bar && bar->maximum() > scrolled)
            QVERIFY(bar->value() > scrolled);

        control->setFocus();
        wheel();
        QVERIFY(value() != before);
    }
};

QTEST_MAIN(TestConversionView)
#include "tst_conversionview.moc"
