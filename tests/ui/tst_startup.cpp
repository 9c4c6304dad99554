// What the window leaves until after its first frame, and that it still happens then.
#include "afterfirstframe.h"
#include "fakes.h"
#include "icons.h"
#include "mainwindow.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTest>

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
        QTest::newRow("trash") << int(QStyle::SP_TrashIcon);
        QTest::newRow("reload") << int(QStyle::SP_BrowserReload);
    }

    void styleIconStandsInForAMissingThemeIcon()
    {
        QFETCH(int, which);
        const auto pixmap = QStyle::StandardPixmap(which);
        const QIcon icon = themedIcon(QStringLiteral("velunor-no-such-icon"), pixmap);
        const QIcon style = QApplication::style()->standardIcon(pixmap);
        QVERIFY(!icon.isNull());
        QCOMPARE(icon.availableSizes(), style.availableSizes());
        QCOMPARE(icon.pixmap(16).toImage(), style.pixmap(16).toImage());
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

QTEST_MAIN(TstStartup)
#include "tst_startup.moc"
