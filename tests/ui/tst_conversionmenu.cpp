// The window shell: the menu "Konvertierung", its shortcuts and what they do to this window.
#include "contentview.h"
#include "fakefilepanels.h"
#include "fakes.h"
#include "mainwindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

namespace {

class Window
{
public:
    Window()
    {
        world.installFakePandoc();
        window = std::make_unique<MainWindow>(world.environment(), &panels);
        window->show();
        window->activateWindow();
        vm = window->viewModel();
    }

    bool waitReady()
    {
        // The converter check on first show writes its two lines.
        return QTest::qWaitForWindowActive(window.get()) &&
               QTest::qWaitFor([this] { return vm->logMessages().size() >= 2; });
    }

    void press(QKeyCombination key) { QTest::keySequence(window.get(), QKeySequence(key)); }

    QUrl input(const QString &relative) const
    {
        return QUrl::fromLocalFile(world.writeFile(relative, "# Titel\n"));
    }

    TestWorld world;
    FakeFilePanels panels;
    std::unique_ptr<MainWindow> window;
    PandocViewModel *vm = nullptr;
};

} // namespace

class TestConversionMenu : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { qunsetenv("FAKE_PANDOC_SLEEP_MS"); }

    void windowOpensOnTheConversionTab()
    {
        Window w;
        QVERIFY(w.waitReady());
        QCOMPARE(w.window->contentView()->currentIndex(), 0);
        QCOMPARE(w.window->contentView()->tabText(0), QStringLiteral("Konvertierung"));
        QCOMPARE(w.window->contentView()->currentWidget()->objectName(),
                 QStringLiteral("conversionView"));
        w.window->resize(400, 300);
        QVERIFY(w.window->width() >= 800 && w.window->height() >= 600);
        // No blank buttons, with or without an icon theme.
        ContentView *tabs = w.window->contentView();
        for (int i = 0; i < tabs->count(); ++i) {
            for (auto *button : tabs->widget(i)->findChildren<QAbstractButton *>()) {
                if (button->text().isEmpty())
                    QVERIFY2(!button->icon().isNull(), qPrintable(button->objectName()));
            }
        }
    }

    void menuEntriesShortcutsAndNoAmbiguity()
    {
        Window w;
        auto *menu = w.window->menuBar()->findChild<QMenu *>("conversionMenu");
        QVERIFY(menu);
        // Shown as "Konvertierung"; Alt+K opens it.
        QCOMPARE(menu->title(), QStringLiteral("&Konvertierung"));
        QStringList shown;
        for (QAction *action : menu->actions())
            shown << (action->isSeparator()
                          ? QStringLiteral("---")
                          : action->text() + u' ' +
                                action->shortcut().toString(QKeySequence::PortableText));
        QCOMPARE(shown,
                 (QStringList{"Konvertieren Ctrl+R", "---", "Eingabedatei wählen... Ctrl+O",
                              "Ausgabedatei wählen... Ctrl+S", "---", "Log löschen Ctrl+L"}));

        // Each shortcut is bound once in the whole window.
        QMap<QString, int> bound;
        for (QAction *action : w.window->findChildren<QAction *>()) {
            for (const QKeySequence &key : action->shortcuts())
                ++bound[key.toString(QKeySequence::PortableText)];
        }
        for (QAbstractButton *button : w.window->findChildren<QAbstractButton *>()) {
            if (!button->shortcut().isEmpty())
                ++bound[button->shortcut().toString(QKeySequence::PortableText)];
        }
        for (auto it = bound.cbegin(); it != bound.cend(); ++it)
            QVERIFY2(it.value() == 1, qPrintable(it.key()));
    }

    void ctrlQClosesTheWindowOutsideTheMenu()
    {
        Window w;
        QVERIFY(w.waitReady());
        auto *menu = w.window->menuBar()->findChild<QMenu *>("conversionMenu");
        for (QAction *action : menu->actions())
            QVERIFY(!action->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::Key_Q)));
        w.press(Qt::CTRL | Qt::Key_Q);
        QTRY_VERIFY(!w.window->isVisible());
    }

    void convertShortcutObeysTheButtonRule()
    {
        Window w;
        QVERIFY(w.waitReady());
        const qsizetype before = w.vm->logMessages().size();
        w.press(Qt::CTRL | Qt::Key_R);
        // Disabled without input: not even the "no input" line is written.
        QCOMPARE(w.vm->logMessages().size(), before);
        QVERIFY(!w.vm->isConverting());
        // The menu entry shows it, as the button does.
        auto *action = w.window->findChild<QAction *>("convertAction");
        QVERIFY(!action->isEnabled());

        w.vm->handleInputFileSelection({{w.input("a.md")}, std::nullopt});
        QVERIFY(action->isEnabled());
        qputenv("FAKE_PANDOC_SLEEP_MS", "300");
        QSignalSpy finished(w.vm, &PandocViewModel::conversionFinished);
        w.press(Qt::CTRL | Qt::Key_R);
        QVERIFY(w.vm->isConverting());
        QVERIFY(!action->isEnabled());
        // A second press while converting starts nothing.
        w.press(Qt::CTRL | Qt::Key_R);
        QVERIFY(finished.wait(10000));
        QCOMPARE(finished.size(), 1);
        QCOMPARE(w.vm->logMessages().filter(QStringLiteral("Starte Konvertierung")).size(), 1);
        QCOMPARE(w.vm->statusMessage(), QStringLiteral("✓ Konvertierung erfolgreich!"));
        QCOMPARE(w.world.dialogs.calls.size(), 1);
        QCOMPARE(w.world.dialogs.calls.first().kind, QStringLiteral("confirm"));
        QCOMPARE(w.world.dialogs.calls.first().title, QStringLiteral("Konvertierung erfolgreich!"));
        QVERIFY(action->isEnabled());
        w.window->findChild<QToolButton *>("clearInputButton")->click();
        QVERIFY(!action->isEnabled());
    }

    void panelShortcutsOpenThisWindowsPanels()
    {
        Window w;
        QVERIFY(w.waitReady());
        const QUrl one = w.input("in/a.md");
        w.panels.openFilesAnswers << QList<QUrl>{one};
        w.press(Qt::CTRL | Qt::Key_O);
        QCOMPARE(w.panels.calls.size(), 1);
        QCOMPARE(w.panels.calls.first().kind, QStringLiteral("openFiles"));
        QCOMPARE(w.vm->inputFiles(), QList<QUrl>{one});

        const QString chosen = w.world.path("in/b.docx");
        w.panels.saveFileAnswers << chosen;
        w.press(Qt::CTRL | Qt::Key_S);
        QCOMPARE(w.panels.calls.size(), 2);
        QCOMPARE(w.panels.calls.last().kind, QStringLiteral("saveFile"));
        QCOMPARE(w.vm->outputFile(), chosen);
        QCOMPARE(QFileInfo(chosen).size(), 0);

        // With a batch the shortcut asks for the folder of the outputs, as its button does.
        w.vm->setInputFiles({one, w.input("in/c.md")});
        w.press(Qt::CTRL | Qt::Key_S);
        QCOMPARE(w.panels.calls.size(), 3);
        QCOMPARE(w.panels.calls.last().kind, QStringLiteral("folder"));
        QVERIFY(w.vm->batchOutputFolder().isEmpty()); // cancelled
    }

    void wholeConversionWithTheRealConverter()
    {
        if (!QFileInfo::exists(QStringLiteral("/usr/bin/pandoc")))
            QSKIP("pandoc is not installed");
        Window w;
        w.world.installRealPandoc();
        QVERIFY(w.waitReady());
        const QString input = w.world.writeFile("docs/Bericht.md", "# Überschrift\n\nText.\n");
        w.panels.openFilesAnswers << QList<QUrl>{QUrl::fromLocalFile(input)};
        w.press(Qt::CTRL | Qt::Key_O);
        w.window->findChild<QComboBox *>("outputFormatPicker")->setCurrentText("html5");
        const QString output = w.world.path("docs/Bericht.html");
        QCOMPARE(w.vm->outputFile(), output);

        QSignalSpy finished(w.vm, &PandocViewModel::conversionFinished);
        w.window->findChild<QPushButton *>("convertButton")->click();
        QVERIFY(finished.wait(60000));
        QCOMPARE(w.vm->statusMessage(), QStringLiteral("✓ Konvertierung erfolgreich!"));
        QFile result(output);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QVERIFY(QString::fromUtf8(result.readAll()).contains(u"Überschrift</h1>"));
    }

    void clearLogShortcut()
    {
        Window w;
        QVERIFY(w.waitReady());
        w.press(Qt::CTRL | Qt::Key_L);
        QVERIFY(w.vm->logMessages().isEmpty());
        QCOMPARE(w.vm->statusMessage(), QStringLiteral("Log gelöscht"));
        QCOMPARE(w.vm->statusColor(), PandocViewModel::StatusColor::Gray);
    }
};

QTEST_MAIN(TestConversionMenu)
#include "tst_conversionmenu.moc"
