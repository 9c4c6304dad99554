// The format pickers with the converter's further formats, and the PDF engine picker.
#include "conversion/conversionview.h"
#include "conversion/formatssection.h"
#include "fakefilepanels.h"
#include "fakes.h"

#include <QComboBox>
#include <QSignalSpy>
#include <QTest>

class TstFormatPickers final : public QObject
{
    Q_OBJECT

private slots:
    void furtherFormatsFollowASeparator();
    void pdfEnginePickerOnlyForPdf();
};

void TstFormatPickers::furtherFormatsFollowASeparator()
{
    TestWorld world;
    world.installFakePandoc();
    qputenv("FAKE_PANDOC_INPUT_FORMATS", "commonmark markdown");
    qputenv("FAKE_PANDOC_OUTPUT_FORMATS", "revealjs docx man");
    FormatQuery::clearCache();
    auto vm = world.makeViewModel();
    FakeFilePanels panels;
    ConversionView view(vm.get(), &panels);
    auto *output = view.findChild<QComboBox *>(QStringLiteral("outputFormatPicker"));
    auto *input = view.findChild<QComboBox *>(QStringLiteral("inputFormatPicker"));
    QVERIFY(output && input);
    QCOMPARE(output->count(), FormatsSection::outputFormatChoices().size());

    QSignalSpy listed(vm.get(), &PandocViewModel::converterFormatsChanged);
    vm->checkPandocInstallation();
    QVERIFY(listed.wait(10000));

    // Asked once per converter: another view model takes the session's answer.
    qputenv("FAKE_PANDOC_OUTPUT_FORMATS", "typst");
    auto second = world.makeViewModel();
    QSignalSpy again(second.get(), &PandocViewModel::converterFormatsChanged);
    second->checkPandocInstallation();
    QVERIFY(again.wait(10000));
    QCOMPARE(second->extraOutputFormats(), QStringList({"revealjs", "man"}));
    qunsetenv("FAKE_PANDOC_INPUT_FORMATS");
    qunsetenv("FAKE_PANDOC_OUTPUT_FORMATS");

    const auto texts = [](const QComboBox *box) {
        QStringList all;
        for (int i = 0; i < box->count(); ++i)
            all << (box->itemData(i, Qt::AccessibleDescriptionRole).toString() == u"separator"
                        ? QStringLiteral("---")
                        : box->itemText(i));
        return all;
    };
    const QStringList outputs =
        FormatsSection::outputFormatChoices() + QStringList{"---", "revealjs", "man"};
    const QStringList inputs =
        FormatsSection::inputFormatChoices() + QStringList{"---", "commonmark"};
    QCOMPARE(texts(output), outputs);
    QCOMPARE(texts(input), inputs);
    // Refilling kept the choice and did not announce a change.
    QCOMPARE(output->currentText(), QStringLiteral("docx"));

    output->setCurrentText(QStringLiteral("revealjs"));
    QCOMPARE(vm->outputFormat(), QStringLiteral("revealjs"));
    QVERIFY(vm->showHtmlTemplate());
}

void TstFormatPickers::pdfEnginePickerOnlyForPdf()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    FakeFilePanels panels;
    ConversionView view(vm.get(), &panels);
    auto *engine = view.findChild<QComboBox *>(QStringLiteral("pdfEnginePicker"));
    QVERIFY(engine);
    // The engines are searched for only once the section is on screen.
    QCOMPARE(engine->count(), 1);
    view.show();
    QVERIFY(!engine->isVisible());
    QCOMPARE(engine->itemText(0), QStringLiteral("Automatisch"));
    // Listed once the section has been painted, not while the window is built.
    QTRY_COMPARE(engine->count(), 1 + vm->pdfEngines().size());

    vm->setOutputFormat(QStringLiteral("pdf"));
    QVERIFY(engine->isVisible());
    QVERIFY2(vm->pdfEngines().contains(QStringLiteral("lualatex")), "./test.sh installs it");
    vm->setPdfEngine(QStringLiteral("lualatex"));
    QCOMPARE(engine->currentText(), QStringLiteral("lualatex"));
    engine->setCurrentIndex(0);
    QCOMPARE(vm->pdfEngine(), QStringLiteral("Automatisch"));
}

QTEST_MAIN(TstFormatPickers)
#include "tst_formatpickers.moc"
