#include "contentview.h"
#include "elidedfield.h"
#include "fakefilepanels.h"
#include "fakes.h"
#include "mainwindow.h"
#include "qtdesktopservices.h"
#include "recordjson.h"
#include "templates/addtemplateview.h"
#include "templates/staricon.h"
#include "templates/templatedetailview.h"
#include "templates/templatelistmodel.h"
#include "templates/templatesview.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStackedWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

namespace {

// One view on a temporary library, shown offscreen.
struct Fixture
{
    Fixture()
    {
        viewModel = world.makeViewModel();
        view = std::make_unique<TemplatesView>(viewModel.get(), &panels);
        view->resize(1000, 700);
        view->show();
    }

    // Adds a record through the view model; `spec` is "name kind [*]".
    Template add(const QString &name, TemplateType type, bool favourite = false,
                 const QByteArray &content = "content")
    {
        const QString ext = type == TemplateType::Latex           ? QStringLiteral("tex")
                            : type == TemplateType::DocxReference ? QStringLiteral("docx")
                                                                  : rawValue(type);
        const QString file = world.writeFile(
            QStringLiteral("in/%1/%2.%3")
                .arg(QUuid::createUuid().toString(QUuid::Id128), name.trimmed(), ext),
            content);
        if (!viewModel->addTemplate(name, type, file, QString()))
            qFatal("add failed");
        if (favourite)
            viewModel->toggleFavorite(viewModel->templates().last());
        return viewModel->templates().last();
    }

    CslStyle addStyle(const QString &name)
    {
        // Distinct content: the same style added twice is one entry.
        return *viewModel->addCslStyle(
            name,
            world.writeFile(QStringLiteral("in/") + name + QStringLiteral(".csl"), name.toUtf8()));
    }

    template <typename T> T *find(const QString &name) const
    {
        T *widget = view->findChild<T *>(name);
        if (!widget)
            qFatal("no widget %s", qPrintable(name));
        return widget;
    }

    QListView *list() const { return find<QListView>(QStringLiteral("templateList")); }

    QStringList listedNames() const
    {
        QStringList names;
        const QAbstractItemModel *model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row)
            names.append(model->index(row, 0).data().toString());
        return names;
    }

    void click(const QString &name) const
    {
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, rowCentre(name));
    }

    QPoint rowCentre(const QString &name) const
    {
        const QAbstractItemModel *model = list()->model();
        for (int row = 0; row < model->rowCount(); ++row) {
            if (model->index(row, 0).data().toString() == name)
                return list()->visualRect(model->index(row, 0)).center();
        }
        qFatal("no row %s", qPrintable(name));
    }

    QString highlighted() const
    {
        const QModelIndexList rows = list()->selectionModel()->selectedRows();
        return rows.isEmpty() ? QString() : rows.first().data().toString();
    }

    bool showsDetail() const
    {
        return find<QStackedWidget>(QStringLiteral("detailStack"))->currentIndex() != 0;
    }

    QString starSymbol() const
    {
        return find<QToolButton>(QStringLiteral("favoriteButton"))->property("symbol").toString();
    }

    QList<Template> index() const
    {
        QFile file(world.storeRoot() + QStringLiteral("/Velunor/templates.json"));
        QList<Template> records;
        QString error;
        if (file.open(QIODevice::ReadOnly))
            decodeRecords(file.readAll(), &records, &error);
        return records;
    }

    TestWorld world;
    FakeFilePanels panels;
    std::unique_ptr<PandocViewModel> viewModel;
    std::unique_ptr<TemplatesView> view;
};

int yellowPixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - kFavoriteYellow.red()) < 30 &&
                qAbs(c.green() - kFavoriteYellow.green()) < 30 && c.blue() < 60)
                ++count;
        }
    }
    return count;
}

} // namespace

class TstTemplatesView final : public QObject
{
    Q_OBJECT

private slots:
    void emptyLibrary()
    {
        Fixture f;
        QCOMPARE(f.list()->model()->rowCount(), 0);
        QVERIFY(!f.find<QPushButton>(QStringLiteral("deleteButton"))->isEnabled());
        QVERIFY(!f.find<QToolButton>(QStringLiteral("favoriteButton"))->isEnabled());
        QCOMPARE(f.starSymbol(), QStringLiteral("star"));
        QVERIFY(f.find<QPushButton>(QStringLiteral("addButton"))->isEnabled());
        QVERIFY(f.find<QPushButton>(QStringLiteral("importButton"))->isEnabled());
        QVERIFY(f.find<QToolButton>(QStringLiteral("folderButton"))->isEnabled());
        QVERIFY(!f.showsDetail());
        QCOMPARE(f.find<QLabel>(QStringLiteral("noSelectionLabel"))->text(),
                 QStringLiteral("Kein Template ausgewählt"));

        auto *type = f.find<QComboBox>(QStringLiteral("typeFilter"));
        QStringList entries;
        for (int i = 0; i < type->count(); ++i)
            entries.append(type->itemText(i));
        QCOMPARE(entries, (QStringList{"Alle Typen", "HTML-Template", "LaTeX-Template",
                                       "DOCX-Referenz", "CSS-Datei", "CSL-Stil"}));
        QCOMPARE(type->width(), 200);
        QVERIFY(f.find<QWidget>(QStringLiteral("libraryPane"))->width() >= 300);
        QVERIFY(f.find<QWidget>(QStringLiteral("detailPane"))->width() >= 400);
    }

    void folderButtonOpensTemplateFolder()
    {
        Fixture f;
        f.find<QToolButton>(QStringLiteral("folderButton"))->click();
        QCOMPARE(f.world.desktop.openedFolders,
                 QStringList{f.world.storeRoot() + QStringLiteral("/Velunor/Templates")});
    }

    void starMovesRowAndKeepsSelection()
    {
        Fixture f;
        f.add(QStringLiteral("b"), TemplateType::Html);
        f.add(QStringLiteral("A"), TemplateType::Css);
        f.add(QStringLiteral("a"), TemplateType::Latex);
        QCOMPARE(f.listedNames(), (QStringList{"A", "a", "b"}));

        f.click(QStringLiteral("b"));
        QCOMPARE(f.highlighted(), QStringLiteral("b"));
        QVERIFY(f.showsDetail());
        QCOMPARE(f.starSymbol(), QStringLiteral("star"));
        const QRect before = f.list()->visualRect(f.list()->model()->index(2, 0));
        QCOMPARE(yellowPixels(f.list()->viewport()->grab(before).toImage()), 0);

        f.find<QToolButton>(QStringLiteral("favoriteButton"))->click();
        QCOMPARE(f.listedNames(), (QStringList{"b", "A", "a"}));
        QCOMPARE(f.highlighted(), QStringLiteral("b"));
        QCOMPARE(f.starSymbol(), QStringLiteral("star.fill"));
        QVERIFY(f.index().at(0).isFavorite);
        // The favourite's row shows a yellow star; the others none.
        const QRect first = f.list()->visualRect(f.list()->model()->index(0, 0));
        const QRect second = f.list()->visualRect(f.list()->model()->index(1, 0));
        QVERIFY(yellowPixels(f.list()->viewport()->grab(first).toImage()) > 10);
        QCOMPARE(yellowPixels(f.list()->viewport()->grab(second).toImage()), 0);
    }

    void filters()
    {
        Fixture f;
        f.add(QStringLiteral("css fav"), TemplateType::Css, true);
        f.add(QStringLiteral("css"), TemplateType::Css);
        f.add(QStringLiteral("html fav"), TemplateType::Html, true);
        f.addStyle(QStringLiteral("Apa"));
        auto *type = f.find<QComboBox>(QStringLiteral("typeFilter"));
        auto *favourites = f.find<QCheckBox>(QStringLiteral("favoritesOnly"));

        type->setCurrentIndex(type->findText(QStringLiteral("CSS-Datei")));
        QCOMPARE(f.listedNames(), (QStringList{"css fav", "css"}));
        favourites->setChecked(true);
        QCOMPARE(f.listedNames(), QStringList{"css fav"});
        type->setCurrentIndex(type->findText(QStringLiteral("Alle Typen")));
        QCOMPARE(f.listedNames(), (QStringList{"css fav", "html fav"}));
        favourites->setChecked(false);
        QCOMPARE(f.listedNames(), (QStringList{"css fav", "html fav", "css", "Apa"}));
        QCOMPARE(f.list()->model()->index(3, 0).data(TemplateListModel::KindNameRole),
                 QStringLiteral("CSL-Stil"));
        type->setCurrentIndex(type->findText(QStringLiteral("CSL-Stil")));
        QCOMPARE(f.listedNames(), QStringList{"Apa"});
        QCOMPARE(f.viewModel->templates().size(), 3);
        QCOMPARE(f.index().size(), 3); // styles stay out of the template index
    }

    void hiddenSelectionStaysActive()
    {
        Fixture f;
        f.add(QStringLiteral("page"), TemplateType::Html);
        f.add(QStringLiteral("style"), TemplateType::Css);
        f.click(QStringLiteral("page"));
        auto *type = f.find<QComboBox>(QStringLiteral("typeFilter"));
        type->setCurrentIndex(type->findText(QStringLiteral("CSS-Datei")));

        QCOMPARE(f.listedNames(), QStringList{"style"});
        QCOMPARE(f.highlighted(), QString());
        QVERIFY(f.showsDetail());
        QCOMPARE(f.find<QLabel>(QStringLiteral("typeValue"))->text(),
                 QStringLiteral("HTML-Template"));
        QVERIFY(f.find<QPushButton>(QStringLiteral("deleteButton"))->isEnabled());
        f.find<QToolButton>(QStringLiteral("favoriteButton"))->click();
        QVERIFY(f.viewModel->templates().at(0).isFavorite);
        QCOMPARE(f.starSymbol(), QStringLiteral("star.fill"));

        type->setCurrentIndex(0);
        QCOMPARE(f.highlighted(), QStringLiteral("page"));
    }

    void deleteAsks_data()
    {
        QTest::addColumn<bool>("style");
        QTest::addColumn<bool>("answer");
        QTest::newRow("Abbrechen") << false << false;
        QTest::newRow("Löschen") << false << true;
        QTest::newRow("CSL-Stil, Abbrechen") << true << false;
        QTest::newRow("CSL-Stil, Löschen") << true << true;
    }

    void deleteAsks()
    {
        QFETCH(bool, style);
        QFETCH(bool, answer);
        Fixture f;
        f.add(QStringLiteral("keep"), TemplateType::Css);
        const QString stored = style ? f.addStyle(QStringLiteral("x")).filePath
                                     : f.add(QStringLiteral("x"), TemplateType::Css).filePath;
        f.world.dialogs.answers = {answer};
        f.click(QStringLiteral("x"));
        f.find<QPushButton>(QStringLiteral("deleteButton"))->click();

        QCOMPARE(f.world.dialogs.calls.size(), 1);
        QCOMPARE(f.world.dialogs.calls.first().title,
                 style ? QStringLiteral("CSL-Stil löschen?") : QStringLiteral("Template löschen?"));
        QCOMPARE(f.listedNames(), (answer ? QStringList{"keep"} : QStringList{"keep", "x"}));
        QCOMPARE(QFile::exists(stored), !answer);
        QCOMPARE(f.showsDetail(), !answer);
        QCOMPARE(f.find<QPushButton>(QStringLiteral("deleteButton"))->isEnabled(), !answer);
        QCOMPARE(f.highlighted(), answer ? QString() : QStringLiteral("x"));
    }

    // Markup in a name must not rewrite what the real message box says.
    void hostileNameIsPlainTextInTheDeleteDialog()
    {
        TestWorld world;
        QtDialogs dialogs(nullptr);
        ViewModelEnvironment env = world.environment();
        env.dialogs = &dialogs;
        PandocViewModel vm(env);
        const QString name = QStringLiteral("<b></b>…<br>Die Datei bleibt erhalten.<!--");
        QVERIFY(vm.addTemplate(name, TemplateType::Html,
                               world.writeFile(QStringLiteral("in/a.html"), "x"), QString()));
        const QString expected = QStringLiteral("Möchten Sie '") + name +
                                 QStringLiteral("' wirklich löschen?\n\nDie Datei wird ebenfalls "
                                                "gelöscht!");
        QList<QLabel *> showing;
        QTimer poll;
        poll.callOnTimeout([&] {
            auto *box = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            if (!box)
                return;
            poll.stop();
            for (QLabel *label : box->findChildren<QLabel *>()) {
                if (label->text() == expected && label->textFormat() == Qt::PlainText)
                    showing.append(label);
            }
            for (QAbstractButton *button : box->findChildren<QAbstractButton *>()) {
                if (button->text() == QStringLiteral("Abbrechen"))
                    button->click();
            }
        });
        poll.start(10);
        QVERIFY(!vm.deleteTemplate(vm.templates().first()));
        QCOMPARE(showing.size(), 1);
    }

    void outsideFileIsMarkedAndNotShown()
    {
        Fixture f;
        Template t = f.add(QStringLiteral("fremd"), TemplateType::Css);
        t.filePath = f.world.writeFile(QStringLiteral("elsewhere/<b>x</b>.css"), "secret");
        f.viewModel->setTemplates({t});
        f.click(QStringLiteral("fremd"));
        const QModelIndex row = f.list()->model()->index(0, 0);
        QVERIFY(row.data(TemplateListModel::OutsideRole).toBool());
        const QString tip = row.data(Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QStringLiteral("&lt;b&gt;x&lt;/b&gt;.css")), qPrintable(tip));
        QCOMPARE(f.find<QPlainTextEdit>(QStringLiteral("contentView"))->toPlainText(),
                 QStringLiteral("Nicht angezeigt: Die Datei liegt außerhalb der "
                                "Template-Bibliothek."));
        QVERIFY(!f.find<QPushButton>(QStringLiteral("exportButton"))->isEnabled());
    }

    void descriptionIsStoredPerEditAndRecord()
    {
        Fixture f;
        f.add(QStringLiteral("A"), TemplateType::Css);
        f.add(QStringLiteral("B"), TemplateType::Css);
        auto *editor = f.find<QPlainTextEdit>(QStringLiteral("descriptionEdit"));
        QSignalSpy changed(f.viewModel.get(), &PandocViewModel::templatesChanged);

        f.click(QStringLiteral("A"));
        QCOMPARE(changed.size(), 0); // filling the editor stores nothing
        QTest::keyClicks(editor, QStringLiteral("abc"));
        QCOMPARE(changed.size(), 3);
        // Saved when typing pauses or, at the latest, when another record is chosen.
        QCOMPARE(f.index().at(0).description, QString());

        f.click(QStringLiteral("B"));
        QCOMPARE(f.index().at(0).description, QStringLiteral("abc"));
        QCOMPARE(editor->toPlainText(), QString());
        QTest::keyClicks(editor, QStringLiteral("x"));
        QCOMPARE(f.viewModel->templates().at(0).description, QStringLiteral("abc"));
        QCOMPARE(f.viewModel->templates().at(1).description, QStringLiteral("x"));
        QTRY_COMPARE(f.index().at(1).description, QStringLiteral("x"));

        f.click(QStringLiteral("A"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("abc"));
        QCOMPARE(changed.size(), 4);
        // Typing keeps the row highlighted and the cursor where it was.
        QTest::keyClicks(editor, QStringLiteral("d"));
        QCOMPARE(f.highlighted(), QStringLiteral("A"));
        QCOMPARE(editor->toPlainText(), QStringLiteral("abcd"));
    }

    void detailSections_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("hasContent");
        QTest::newRow("DOCX") << int(TemplateType::DocxReference) << false;
        QTest::newRow("CSS") << int(TemplateType::Css) << true;
        QTest::newRow("LaTeX") << int(TemplateType::Latex) << true;
    }

    void detailSections()
    {
        QFETCH(int, kind);
        QFETCH(bool, hasContent);
        Fixture f;
        const Template t = f.add(QStringLiteral("t"), TemplateType(kind), false, "a { }");
        f.click(QStringLiteral("t"));
        auto *detail = f.find<QWidget>(QStringLiteral("templateDetailView"));
        QVERIFY(f.find<QGroupBox>(QStringLiteral("descriptionGroup"))->isVisibleTo(detail));
        QVERIFY(f.find<QGroupBox>(QStringLiteral("detailsGroup"))->isVisibleTo(detail));
        QVERIFY(f.find<QPushButton>(QStringLiteral("editButton"))->isVisibleTo(detail));
        QVERIFY(f.find<QPushButton>(QStringLiteral("exportButton"))->isVisibleTo(detail));
        QCOMPARE(f.find<QGroupBox>(QStringLiteral("contentGroup"))->isVisibleTo(detail),
                 hasContent);
        QCOMPARE(f.find<ElidedField>(QStringLiteral("pathValue"))->fullText(), t.filePath);
        QCOMPARE(f.find<QLabel>(QStringLiteral("typeValue"))->text(), displayName(t.type));
        if (hasContent)
            QCOMPARE(f.find<QPlainTextEdit>(QStringLiteral("contentView"))->toPlainText(),
                     QStringLiteral("a { }"));
    }

    void missingFileAndEdit()
    {
        Fixture f;
        const Template t = f.add(QStringLiteral("gone"), TemplateType::Css);
        QVERIFY(QFile::remove(t.filePath));
        f.click(QStringLiteral("gone"));
        QCOMPARE(f.find<QPlainTextEdit>(QStringLiteral("contentView"))->toPlainText(),
                 QStringLiteral("Fehler beim Laden"));
        f.find<QPushButton>(QStringLiteral("editButton"))->click();
        QCOMPARE(f.world.desktop.openedFiles, QStringList{t.filePath});
    }

    void previewFollowsTheFileAndIsCut()
    {
        Fixture f;
        const Template t = f.add(QStringLiteral("live"), TemplateType::Html, false, "one");
        f.click(QStringLiteral("live"));
        auto *content = f.find<QPlainTextEdit>(QStringLiteral("contentView"));
        auto *cut = f.find<QLabel>(QStringLiteral("contentTruncatedLabel"));
        QCOMPARE(content->toPlainText(), QStringLiteral("one"));
        QVERIFY(!cut->isVisibleTo(f.view.get()));

        // Rewritten by an editor, the way most save: a new file replaces the old one.
        f.world.writeFile(QStringLiteral("replacement.html"), "two");
        QVERIFY(QFile::remove(t.filePath));
        QVERIFY(QFile::rename(f.world.path(QStringLiteral("replacement.html")), t.filePath));
        QTRY_COMPARE(content->toPlainText(), QStringLiteral("two"));

        QByteArray big(3 * 1024 * 1024, 'x');
        for (qsizetype i = 99; i < big.size(); i += 100)
            big[i] = '\n';
        QFile file(t.filePath);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(big);
        file.close();
        QTRY_VERIFY(cut->isVisibleTo(f.view.get()));
        QVERIFY(content->toPlainText().size() <= TemplateDetailView::kPreviewLimit);
        QVERIFY(content->toPlainText().size() > 1000 * 1000);
    }

    void longLinePreviewKeepsEveryCharacter()
    {
        Fixture f;
        QByteArray minified;
        for (int i = 0; minified.size() < 100 * 1000; ++i)
            minified += "a{b:" + QByteArray::number(i) + "}";
        f.add(QStringLiteral("min"), TemplateType::Css, false, "x\n" + minified + "\ny");
        f.click(QStringLiteral("min"));
        const QString shown = f.find<QPlainTextEdit>(QStringLiteral("contentView"))->toPlainText();
        QVERIFY(shown.startsWith(QStringLiteral("x\na{b:0}")));
        QVERIFY(shown.endsWith(QStringLiteral("}\ny")));
        // Broken into rows so the window never lays out one huge paragraph, yet nothing is lost.
        QVERIFY(shown.count(u'\n') > 3);
        QCOMPARE(QString(shown).remove(u'\n'), QString::fromLatin1("x" + minified + "y"));
    }

    void lastUsedFormat_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("expected");
        // The medium style: numeric date with the full year, then the short time.
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany)
                               << QStringLiteral("07.12.2026, 11:00");
        QTest::newRow("de_AT") << QLocale(QLocale::German, QLocale::Austria)
                               << QStringLiteral("07.12.2026, 11:00");
        QTest::newRow("en_GB") << QLocale(QLocale::English, QLocale::UnitedKingdom)
                               << QStringLiteral("07/12/2026, 11:00");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates)
                               << QStringLiteral("12/7/2026, 11:00 AM");
    }

    void lastUsedFormat()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, expected);
        const QDateTime local(QDate(2026, 12, 7), QTime(11, 0));
        // Newer locale data puts a narrow no-break space before "PM".
        const QString shown =
            TemplateDetailView::formatLastUsed(local.toUTC(), locale).replace(QChar(0x202F), u' ');
        QCOMPARE(shown, expected);
    }

    void lastUsedShownInDefaultLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        Fixture f;
        f.add(QStringLiteral("dated"), TemplateType::Css);
        QList<Template> list = f.viewModel->templates();
        list[0].lastUsed = QDateTime(QDate(2026, 12, 5), QTime(14, 5)).toUTC();
        f.viewModel->setTemplates(list);
        f.click(QStringLiteral("dated"));
        const QString shown = f.find<QLabel>(QStringLiteral("lastUsedValue"))->text();
        QLocale::setDefault(saved);
        QCOMPARE(shown, QStringLiteral("05.12.2026, 14:05"));
    }

    void exportThroughSavePanel()
    {
        Fixture f;
        const Template t = f.add(QStringLiteral("Brief"), TemplateType::Latex, false, "\\begin");
        f.click(QStringLiteral("Brief"));
        auto *button = f.find<QPushButton>(QStringLiteral("exportButton"));

        button->click(); // cancelled
        QCOMPARE(f.panels.calls.size(), 1);
        QCOMPARE(f.panels.calls.first().suggestedPath, QStringLiteral("Brief.tex"));

        const QString target = f.world.writeFile(QStringLiteral("out/Brief.tex"), "old, longer");
        f.panels.saveFileAnswers = {target};
        button->click();
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("\\begin"));
        QVERIFY(f.viewModel->logMessages().isEmpty());
    }

    void importThreeFiles()
    {
        Fixture f;
        f.panels.openFilesAnswers = {
            QList<QUrl>{QUrl::fromLocalFile(f.world.writeFile(QStringLiteral("i/a.html"), "a")),
                        QUrl::fromLocalFile(f.world.writeFile(QStringLiteral("i/b.pdf"), "b")),
                        QUrl::fromLocalFile(f.world.writeFile(QStringLiteral("i/c.css"), "c"))}};
        f.find<QPushButton>(QStringLiteral("importButton"))->click();
        QCOMPARE(f.listedNames(), (QStringList{"a", "c"}));
        f.find<QPushButton>(QStringLiteral("importButton"))->click(); // cancelled
        QCOMPARE(f.listedNames().size(), 2);
    }

    void addSheetFillsAndAdds()
    {
        Fixture f;
        f.find<QPushButton>(QStringLiteral("addButton"))->click();
        AddTemplateView *sheet = f.view->addSheet();
        QVERIFY(sheet);
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->size(), QSize(500, 300));
        auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("nameEdit"));
        auto *file = sheet->findChild<QLineEdit *>(QStringLiteral("fileEdit"));
        auto *type = sheet->findChild<QComboBox *>(QStringLiteral("typeCombo"));
        auto *add = sheet->findChild<QPushButton *>(QStringLiteral("addButton"));
        QCOMPARE(name->text(), QString());
        QCOMPARE(file->text(), QString());
        QVERIFY(file->isReadOnly());
        QCOMPARE(type->currentText(), QStringLiteral("HTML-Template"));
        QVERIFY(!add->isEnabled());

        // Return does nothing while "Hinzufügen" is disabled.
        QTest::keyClick(name, Qt::Key_Return);
        QVERIFY(sheet->isVisible());
        QVERIFY(f.viewModel->templates().isEmpty());

        const QString brief = f.world.writeFile(QStringLiteral("docs/Brief.tex"), "x");
        f.panels.openFileAnswers = {brief};
        sheet->findChild<QPushButton *>(QStringLiteral("chooseFileButton"))->click();
        QCOMPARE(file->text(), brief);
        QCOMPARE(name->text(), QStringLiteral("Brief"));
        QCOMPARE(type->currentText(), QStringLiteral("HTML-Template"));
        QVERIFY(add->isEnabled());

        QTest::keyClick(name, Qt::Key_Return);
        QTRY_VERIFY(!f.view->addSheet());
        QCOMPARE(f.viewModel->templates().size(), 1);
        QCOMPARE(f.viewModel->templates().first().type, TemplateType::Html);
        QCOMPARE(f.listedNames(), QStringList{"Brief"});
    }

    void addSheetKeepsTypedNameAndCancels()
    {
        Fixture f;
        f.find<QPushButton>(QStringLiteral("addButton"))->click();
        AddTemplateView *sheet = f.view->addSheet();
        auto *name = sheet->findChild<QLineEdit *>(QStringLiteral("nameEdit"));
        QTest::keyClicks(name, QStringLiteral("  "));
        QVERIFY(!sheet->findChild<QPushButton *>(QStringLiteral("addButton"))->isEnabled());
        f.panels.openFileAnswers = {f.world.writeFile(QStringLiteral("docs/Brief.tex"), "x")};
        sheet->findChild<QPushButton *>(QStringLiteral("chooseFileButton"))->click();
        QCOMPARE(name->text(), QStringLiteral("  "));
        QVERIFY(sheet->findChild<QPushButton *>(QStringLiteral("addButton"))->isEnabled());

        QTest::keyClick(name, Qt::Key_Escape);
        QTRY_VERIFY(!f.view->addSheet());
        QVERIFY(f.viewModel->templates().isEmpty());

        // A new sheet starts empty again.
        f.find<QPushButton>(QStringLiteral("addButton"))->click();
        QCOMPARE(f.view->addSheet()->findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(),
                 QString());
    }

    void failedAddKeepsSheetOpen()
    {
        Fixture f;
        f.find<QPushButton>(QStringLiteral("addButton"))->click();
        AddTemplateView *sheet = f.view->addSheet();
        const QString missing = f.world.path(QStringLiteral("vanished.css"));
        f.panels.openFileAnswers = {missing};
        sheet->findChild<QPushButton *>(QStringLiteral("chooseFileButton"))->click();
        auto *type = sheet->findChild<QComboBox *>(QStringLiteral("typeCombo"));
        type->setCurrentIndex(type->findText(QStringLiteral("CSS-Datei")));
        sheet->findChild<QPushButton *>(QStringLiteral("addButton"))->click();

        QVERIFY(f.view->addSheet());
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->findChild<QLineEdit *>(QStringLiteral("nameEdit"))->text(),
                 QStringLiteral("vanished"));
        QCOMPARE(sheet->findChild<QLineEdit *>(QStringLiteral("fileEdit"))->text(), missing);
        QCOMPARE(type->currentText(), QStringLiteral("CSS-Datei"));
        QVERIFY(f.viewModel->templates().isEmpty());
        QCOMPARE(f.viewModel->logMessages().size(), 1);
    }

    void addSheetAddsCslStyle()
    {
        Fixture f;
        f.find<QPushButton>(QStringLiteral("addButton"))->click();
        AddTemplateView *sheet = f.view->addSheet();
        auto *type = sheet->findChild<QComboBox *>(QStringLiteral("typeCombo"));
        type->setCurrentIndex(type->findText(QStringLiteral("CSL-Stil")));
        QVERIFY(!sheet->findChild<QLineEdit *>(QStringLiteral("descriptionEdit"))->isEnabled());
        f.panels.openFileAnswers = {f.world.writeFile(QStringLiteral("d/harvard.csl"), "<s/>")};
        sheet->findChild<QPushButton *>(QStringLiteral("chooseFileButton"))->click();
        sheet->findChild<QLineEdit *>(QStringLiteral("nameEdit"))->setText(QStringLiteral("Uni"));
        sheet->findChild<QPushButton *>(QStringLiteral("addButton"))->click();
        QTRY_VERIFY(!f.view->addSheet());
        QVERIFY(f.viewModel->templates().isEmpty());

        // Listed under its own kind, with its copy in the style folder shown.
        f.click(QStringLiteral("Uni"));
        const CslStyle style = *f.view->selectedCslStyle();
        QCOMPARE(QFileInfo(style.filePath).absolutePath(), f.world.storeRoot() + "/Velunor/CSL");
        QCOMPARE(f.find<QStackedWidget>(QStringLiteral("detailStack"))->currentIndex(), 2);
        QCOMPARE(f.find<ElidedField>(QStringLiteral("stylePathValue"))->fullText(), style.filePath);
        QVERIFY(!f.find<QToolButton>(QStringLiteral("favoriteButton"))->isEnabled());
    }

    void windowShowsTheLibraryTab()
    {
        TestWorld world;
        MainWindow window(world.environment());
        QTabWidget *tabs = window.contentView();
        QCOMPARE(tabs->tabText(1), QStringLiteral("Templates"));
        // Built when first shown, not before: the first frame does not show it.
        QVERIFY(!window.findChild<TemplatesView *>());
        const QIcon icon = tabs->tabIcon(1);
        tabs->setCurrentIndex(1);
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(qobject_cast<TemplatesView *>(tabs->currentWidget()));
        QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("templatesView"));
        QCOMPARE(tabs->tabText(1), QStringLiteral("Templates"));
        QCOMPARE(tabs->tabIcon(1).cacheKey(), icon.cacheKey());
        QCOMPARE(tabs->count(), 2);
        QCOMPARE(window.contentView()->templatesView(), tabs->widget(1));
    }
};

QTEST_MAIN(TstTemplatesView)
#include "tst_templatesview.moc"
