// The section "Literatur" and the defaults-file actions of the preset bar, through their widgets.
#include "conversion/conversionview.h"
#include "elidedfield.h"
#include "fakefilepanels.h"
#include "fakes.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QToolButton>

class TstLiteratureSection final : public QObject
{
    Q_OBJECT

private slots:
    void chooseAndClear();
    void defaultsFileActions();
};

void TstLiteratureSection::chooseAndClear()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    FakeFilePanels panels;
    ConversionView view(vm.get(), &panels);
    const QString bib = world.writeFile(QStringLiteral("Quellen/Literatur ä.bib"), "@misc{a,}\n");
    const QString csl = world.writeFile(QStringLiteral("Stile/mein stil.csl"), "<style/>\n");
    panels.openFileAnswers = {bib, csl};

    view.findChild<QPushButton *>(QStringLiteral("browseBibliographyButton"))->click();
    QCOMPARE(view.findChild<ElidedField *>(QStringLiteral("bibliographyField"))->fullText(), bib);
    auto *process = view.findChild<QCheckBox *>(QStringLiteral("processCitationsCheck"));
    QVERIFY(process->isChecked());

    view.findChild<QPushButton *>(QStringLiteral("browseCslButton"))->click();
    auto *picker = view.findChild<QComboBox *>(QStringLiteral("cslPicker"));
    QCOMPARE(picker->currentText(), QStringLiteral("mein stil"));
    QCOMPARE(vm->cslFile(), vm->cslStyles().first().filePath);
    QVERIFY(view.findChild<QToolButton *>(QStringLiteral("deleteCslStyleButton"))->isEnabled());

    picker->setCurrentIndex(0);
    QVERIFY(vm->cslFile().isEmpty());
    process->setChecked(false);
    QVERIFY(!vm->processCitations());
    view.findChild<QToolButton *>(QStringLiteral("clearBibliographyButton"))->click();
    QVERIFY(vm->bibliographyFile().isEmpty());
}

void TstLiteratureSection::defaultsFileActions()
{
    TestWorld world;
    auto vm = world.makeViewModel();
    FakeFilePanels panels;
    ConversionView view(vm.get(), &panels);
    vm->setOutputFormat(QStringLiteral("gfm (GitHub Markdown)"));
    vm->setTableOfContents(true);

    const QString exported = world.path(QStringLiteral("geteilt.yaml"));
    panels.saveFileAnswers = {exported};
    view.findChild<QAction *>(QStringLiteral("exportDefaultsAction"))->trigger();
    QCOMPARE(panels.calls.last().suggestedPath, QStringLiteral("velunor-defaults.yaml"));
    QVERIFY(QFile::exists(exported));

    vm->setOutputFormat(QStringLiteral("docx"));
    vm->setTableOfContents(false);
    panels.openFileAnswers = {exported};
    view.findChild<QAction *>(QStringLiteral("importDefaultsAction"))->trigger();
    // The new preset is chosen in the picker and applied.
    QCOMPARE(view.findChild<QComboBox *>(QStringLiteral("presetPicker"))->currentText(),
             QStringLiteral("geteilt"));
    QCOMPARE(vm->outputFormat(), QStringLiteral("gfm (GitHub Markdown)"));
    QVERIFY(vm->tableOfContents());
}

QTEST_MAIN(TstLiteratureSection)
#include "tst_literaturesection.moc"
