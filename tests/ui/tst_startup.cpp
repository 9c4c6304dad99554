// What the window leaves until after its first frame, and that it still happens then.
#include "afterfirstframe.h"
#include "appsetup.h"
#include "fakes.h"
#include "icons.h"
#include "mainwindow.h"

#include <QApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

namespace {
// Set in the child that starts and ends an application at once.
constexpr char kQuitAtOnceVariable[] = "VELUNOR_TEST_QUIT_AT_ONCE";
} // namespace

class TstStartup : public QObject
{
    Q_OBJECT

private slots:
    void converterCheckFollowsTheFirstFrame()
    {
        TestWorld world; // no converter: the check reports at once when it runs
        MainWindow window(world.environment());
        PandocViewModel *vm = window.viewModel();
        QSignalSpy checked(vm, &PandocViewModel::pandocCheckFinished);
        qsizetype linesAtFirstPaint = -1;
        PaintWatch watch([&] {
            if (linesAtFirstPaint < 0)
                linesAtFirstPaint = vm->logMessages().size();
        });
        window.installEventFilter(&watch);
        window.show();
        QVERIFY(checked.wait(5000));
        QCOMPARE(linesAtFirstPaint, 0);
        QCOMPARE(vm->statusMessage(), QStringLiteral("⚠ Pandoc nicht gefunden!"));
        QVERIFY(!checked.wait(300)); // once only, however often the window is painted
    }

    void workRunsOnceEvenUnpainted_data()
    {
        QTest::addColumn<bool>("shown");
        QTest::newRow("painted") << true;
        QTest::newRow("never painted") << false;
    }

    void workRunsOnceEvenUnpainted()
    {
        QFETCH(bool, shown);
        QWidget widget;
        int runs = 0;
        runAfterFirstFrame(&widget, [&runs] { ++runs; });
        if (shown) {
            widget.show();
            QVERIFY(QTest::qWaitForWindowExposed(&widget));
            widget.repaint();
        }
        QTRY_COMPARE_WITH_TIMEOUT(runs, 1, 5000);
        QTest::qWait(1200); // past the delay for unpainted widgets
        QCOMPARE(runs, 1);
    }

    void styleIconStandsInForAMissingThemeIcon_data()
    {
        QTest::addColumn<int>("which");
        QTest::addColumn<int>("size");
        QTest::addColumn<qreal>("scale");
        QTest::addColumn<int>("mode");
        // The small pixmap serves 16 pixels at scale 1; every other request the full icon.
        const QList<std::pair<const char *, QStyle::StandardPixmap>> icons = {
            {"trash", QStyle::SP_TrashIcon},
            {"reload", QStyle::SP_BrowserReload},
            {"save", QStyle::SP_DialogSaveButton},
            {"folder", QStyle::SP_DirOpenIcon}};
        for (const auto &[name, which] : icons)
            for (int size : {16, 32})
                for (qreal scale : {1.0, 2.0})
                    for (QIcon::Mode mode : {QIcon::Normal, QIcon::Disabled})
                        QTest::addRow("%s %d@%gx %s", name, size, scale,
                                      mode == QIcon::Normal ? "normal" : "disabled")
                            << int(which) << size << scale << int(mode);
    }

    void styleIconStandsInForAMissingThemeIcon()
    {
        QFETCH(int, which);
        QFETCH(int, size);
        QFETCH(qreal, scale);
        QFETCH(int, mode);
        const auto pixmap = QStyle::StandardPixmap(which);
        const QIcon icon = themedIcon(QStringLiteral("velunor-no-such-icon"), pixmap);
        const QIcon style = QApplication::style()->standardIcon(pixmap);
        QVERIFY(!icon.isNull());
        const QSize asked(size, size);
        QCOMPARE(icon.actualSize(asked), style.actualSize(asked));
        const QPixmap drawn = icon.pixmap(asked, scale, QIcon::Mode(mode));
        const QPixmap expected = style.pixmap(asked, scale, QIcon::Mode(mode));
        QCOMPARE(drawn.deviceIndependentSize(), expected.deviceIndependentSize());
        QCOMPARE(drawn.toImage(), expected.toImage());
        QCOMPARE(icon.availableSizes(), style.availableSizes());
    }

    void startThatEndsAtOnceEndsCleanly()
    {
        // A start that hands its files to the running window ends right after setting up;
        // the work begun on other threads must not outlive the application object.
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kQuitAtOnceVariable), QStringLiteral("1"));
        for (int i = 0; i < 20; ++i) {
            QProcess child;
            child.setProcessEnvironment(env);
            child.start(QCoreApplication::applicationFilePath(), {});
            QVERIFY(child.waitForFinished(30000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
        }
    }

private:
    class PaintWatch final : public QObject
    {
    public:
        explicit PaintWatch(std::function<void()> onPaint) : m_onPaint(std::move(onPaint)) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Paint)
                m_onPaint();
            return false;
        }

    private:
        std::function<void()> m_onPaint;
    };
};

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(kQuitAtOnceVariable)) {
        QApplication app(argc, argv);
        setUpApplication(app);
        return 0;
    }
    QApplication app(argc, argv);
    TstStartup test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_startup.moc"
