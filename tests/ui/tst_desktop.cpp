// The window on a desktop: Qt's own texts in German, where the window opens and what it
// remembers, dialogs that fit the screen, the input path, the batch command label.
#include "appsetup.h"
#include "contentview.h"
#include "conversion/conversionview.h"
#include "elidedfield.h"
#include "fakes.h"
#include "mainwindow.h"
#include "messagedialog.h"
#include "offscreenscreen.h"
#include "windowplacement.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

namespace {

QString withoutMnemonics(QString text)
{
    return text.remove(u'&');
}

} // namespace

class TestDesktop final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_config.path());
    }

    void init() { QSettings().clear(); }

    void qtTextsAreGerman()
    {
        QDialogButtonBox buttons(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(withoutMnemonics(buttons.button(QDialogButtonBox::Cancel)->text()),
                 QStringLiteral("Abbrechen"));
        QCOMPARE(withoutMnemonics(buttons.button(QDialogButtonBox::Save)->text()),
                 QStringLiteral("Speichern"));

        QLineEdit edit(QStringLiteral("Text"));
        std::unique_ptr<QMenu> menu(edit.createStandardContextMenu());
        QStringList entries;
        for (const QAction *action : menu->actions())
            entries << withoutMnemonics(action->text()).section(u'\t', 0, 0);
        QVERIFY2(entries.contains(QStringLiteral("Rückgängig")), qPrintable(entries.join(u'|')));
        QVERIFY2(entries.contains(QStringLiteral("Einfügen")), qPrintable(entries.join(u'|')));
        QCOMPARE(QKeySequence(Qt::CTRL | Qt::Key_R).toString(QKeySequence::NativeText),
                 QStringLiteral("Strg+R"));
        // Dates follow the German texts even in a session without a German locale.
        QCOMPARE(QLocale().language(), QLocale::German);
    }

    void initialGeometry_data()
    {
        QTest::addColumn<QRect>("available");
        QTest::addColumn<QRect>("expected");
        // Wanted 1100×700 fits a 1366×768 screen with room for the title bar.
        QTest::newRow("1366x768") << QRect(0, 0, 1366, 768) << QRect(133, 34, 1100, 700);
        QTest::newRow("panel on top") << QRect(0, 27, 1366, 741) << QRect(133, 48, 1100, 700);
        // A small screen caps the size, never below the minimum.
        QTest::newRow("1024x600") << QRect(0, 0, 1024, 600) << QRect(0, 20, 1024, 600);
        QTest::newRow("second screen") << QRect(1920, 0, 1366, 768) << QRect(2053, 34, 1100, 700);
    }

    void initialGeometry()
    {
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(WindowPlacement::initialGeometry(QSize(1100, 700), QSize(800, 600), available),
                 expected);
    }

    void restoreOnlyOnScreenThatExists_data()
    {
        QTest::addColumn<QRect>("frame");
        QTest::addColumn<QString>("screen");
        QTest::addColumn<bool>("restored");
        QTest::newRow("same screen") << QRect(100, 80, 1000, 650) << "left" << true;
        QTest::newRow("second screen") << QRect(2000, 80, 1000, 650) << "right" << true;
        QTest::newRow("screen unplugged") << QRect(2000, 80, 1000, 650) << "gone" << false;
        QTest::newRow("name of another screen") << QRect(2000, 80, 1000, 650) << "left" << false;
        QTest::newRow("title bar above the screen")
            << QRect(100, -300, 1000, 650) << "left" << false;
        QTest::newRow("mostly off to the side") << QRect(1850, 80, 1000, 650) << "left" << false;
    }

    void restoreOnlyOnScreenThatExists()
    {
        QFETCH(QRect, frame);
        QFETCH(QString, screen);
        QFETCH(bool, restored);
        const QList<WindowPlacement::Screen> screens{{"left", QRect(0, 0, 1920, 1080)},
                                                     {"right", QRect(1920, 0, 1366, 768)}};
        QCOMPARE(WindowPlacement::canRestore(frame, screen, screens), restored);
    }

    void dividerSurvivesARunThatNeverShowsTheLibrary()
    {
        TestWorld world;
        QByteArray divider;
        {
            MainWindow window(world.environment());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.contentView()->setCurrentIndex(1);
            window.findChild<QSplitter *>(QStringLiteral("templatesSplitter"))
                ->setSizes({300, 500});
            window.close();
            divider = window.contentView()->templatesSplitterState();
        }
        {
            MainWindow window(world.environment());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            window.close();
        }
        MainWindow window(world.environment());
        QCOMPARE(window.contentView()->templatesSplitterState(), divider);
    }

    void windowRemembersGeometryAndDivider()
    {
        TestWorld world;
        const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
        QList<int> sizes;
        QRect geometry;
        {
            MainWindow window(world.environment());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            // The whole first tab shows without scrolling, inside the screen.
            QVERIFY(available.contains(window.frameGeometry()));
            auto *scroll = window.findChild<QScrollArea *>(QStringLiteral("conversionScrollArea"));
            QTRY_COMPARE(scroll->verticalScrollBar()->maximum(), 0);

            window.setGeometry(120, 90, 1000, 640);
            window.contentView()->setCurrentIndex(1);
            auto *splitter = window.findChild<QSplitter *>(QStringLiteral("templatesSplitter"));
            splitter->setSizes({420, 560});
            sizes = splitter->sizes();
            geometry = window.geometry();
            window.close();
        }
        {
            MainWindow window(world.environment());
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.geometry(), geometry);
            window.contentView()->setCurrentIndex(1);
            QCOMPARE(window.findChild<QSplitter *>(QStringLiteral("templatesSplitter"))->sizes(),
                     sizes);
            window.close();
        }
        // On a screen that is gone the window opens at its first-start place.
        QSettings().setValue(QStringLiteral("window/screen"), QStringLiteral("HDMI-9"));
        MainWindow window(world.environment());
        QVERIFY(window.geometry() != geometry);
        QVERIFY(available.contains(window.geometry()));
    }

    void longMessageScrollsInsideTheScreen()
    {
        QWidget parent;
        parent.setGeometry(200, 150, 900, 600);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        QStringList lines;
        for (int i = 1; i <= 400; ++i)
            lines << QStringLiteral("%1. Kapitel-%1.md").arg(i);
        const QString title = QStringLiteral("Voreinstellung konnte nicht gespeichert werden");
        MessageDialog box(MessageDialog::Icon::Information, title, lines.join(u'\n'), &parent);
        QPushButton *ok = box.addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        box.fitToScreen();
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        const QRect screen = box.screen()->availableGeometry();
        QVERIFY(screen.contains(box.frameGeometry()));
        QVERIFY(box.width() >= QFontMetrics(box.font()).horizontalAdvance(title));
        // Centred over its window.
        QVERIFY(qAbs(box.geometry().center().x() - parent.geometry().center().x()) <= 2);
        auto *scroll = box.findChild<QScrollArea *>(QStringLiteral("messageScroll"));
        QVERIFY(scroll->verticalScrollBar()->isVisible());
        QVERIFY(scroll->verticalScrollBar()->maximum() > 0);
        QVERIFY(box.rect().contains(QRect(ok->mapTo(&box, QPoint()), ok->size())));
    }

    // A name without blanks, longer than a line, is shortened in the middle in the headline
    // and the message, never cut off at the edge; the tool tip has it whole.
    void longNamesInDialogsElideInTheMiddle()
    {
        QWidget parent;
        parent.setGeometry(0, 0, 800, 600);
        parent.show();
        QVERIFY(QTest::qWaitForWindowExposed(&parent));
        const QString name =
            QStringLiteral("Anfang") + QString(240, u'x') + QStringLiteral("Ende.md");
        MessageDialog box(MessageDialog::Icon::Warning, QStringLiteral("Fehler: ") + name,
                          QStringLiteral("Datei existiert bereits: ") + name, &parent);
        box.addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole);
        box.fitToScreen();
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));
        for (const char *id : {"messageTitle", "messageText"}) {
            auto *label = box.findChild<QLabel *>(QLatin1String(id));
            const QRect shown(label->mapTo(&box, QPoint()), label->size());
            QVERIFY2(box.rect().contains(shown), id);
            QVERIFY2(label->text().contains(u"Anfang") && label->text().contains(u"Ende.md") &&
                         label->text().contains(u'…'),
                     qPrintable(label->text()));
            QVERIFY(label->fontMetrics().horizontalAdvance(label->text().section(u' ', -1)) <=
                    label->width());
        }
        QVERIFY(box.findChild<QLabel *>(QStringLiteral("messageText"))->toolTip().contains(name));
    }

    void inputPathIsReadableText()
    {
        TestWorld world;
        const QString path =
            world.writeFile(QStringLiteral("ein recht langer Ordnername/<b>noch</b> ein Ordner/und "
                                           "noch einer/Quartalsbericht 2026.md"),
                            "# x\n");
        MainWindow window(world.environment());
        window.show();
        window.viewModel()->handleInputFileSelection({{QUrl::fromLocalFile(path)}, std::nullopt});
        auto *field = window.findChild<ElidedField *>(QStringLiteral("inputField"));
        QVERIFY(field->isEnabled());
        // A path may be typed or pasted there.
        QVERIFY(!field->isReadOnly());
        // The tool tip shows the path as it is, markup in a folder name included.
        QTextDocument tip;
        tip.setHtml(field->toolTip());
        QCOMPARE(tip.toPlainText(), path);

        field->setFixedWidth(220);
        QTRY_VERIFY(field->text().contains(QChar(0x2026)));
        // The file name survives the shortening.
        QVERIFY(field->text().endsWith(QStringLiteral("2026.md")));
        field->setFocus();
        QTest::keySequence(field, QKeySequence::Copy);
        QCOMPARE(QApplication::clipboard()->text(), path);

        field->setFixedWidth(4000);
        QTRY_COMPARE(field->text(), path);
    }

    void commandLabelCountsTheBatch_data()
    {
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("label");
        QTest::newRow("one") << 1 << QStringLiteral("Befehl:");
        QTest::newRow("three") << 3 << QStringLiteral("Befehl (1 von 3):");
        QTest::newRow("none") << 0 << QStringLiteral("Befehl:");
    }

    void commandLabelCountsTheBatch()
    {
        QFETCH(int, files);
        QFETCH(QString, label);
        TestWorld world;
        MainWindow window(world.environment());
        QList<QUrl> urls;
        for (int i = 0; i < files; ++i)
            urls << QUrl::fromLocalFile(world.writeFile(QStringLiteral("d/%1.md").arg(i), "x"));
        window.viewModel()->setInputFiles({QUrl::fromLocalFile(world.writeFile("x.md", "x"))});
        window.viewModel()->setInputFiles(urls);
        QCOMPARE(window.findChild<QLabel *>(QStringLiteral("commandLabel"))->text(), label);
    }

private:
    QTemporaryDir m_config;
};

int main(int argc, char *argv[])
{
    // A 1366×768 screen, the size the window must open on without scrolling.
    QTemporaryDir screens;
    qputenv("QT_QPA_PLATFORM", offscreenWithScreen(screens.path(), 1366, 768).toLocal8Bit());
    QApplication app(argc, argv);
    setUpApplication(app);
    TestDesktop test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktop.moc"
