// Window figures: startup until the first frame, log throughput into the log view, idle memory.
//
// Startup is timed from outside: the bench starts itself again as a child that builds the
// window the way main() does (German translations loaded) and reports once the first frame is
// painted, so the figure covers exec, dynamic linking, Qt start-up, store loading, window
// construction and painting.
#include "appsetup.h"
#include "conversion/logview.h"
#include "mainwindow.h"
#include "procstatus.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

const char kChildFlag[] = "--startup-child";
const char kShown[] = "shown";

void print(const char *name, double value)
{
    std::printf("%s: %.1f\n", name, value);
    std::fflush(stdout);
}

// Reports after the first paint pass of the window, then quits.
class FirstFrameProbe final : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!m_seen && event->type() == QEvent::Paint && watched->isWidgetType()) {
            m_seen = true;
            QTimer::singleShot(0, qApp, [] {
                std::fputs(kShown, stdout);
                std::fputs("\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return false;
    }

private:
    bool m_seen = false;
};

int runStartupChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app); // as main() does: names, German translations, locale
    FirstFrameProbe probe;
    app.installEventFilter(&probe);
    MainWindow window; // the real defaults: store from XDG_DATA_HOME, converter search
    window.show();
    return app.exec();
}

double startupToWindowMs(const QString &self)
{
    QTemporaryDir emptyStore;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), emptyStore.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), emptyStore.path());
    QList<double> runs;
    for (int i = 0; i < 8; ++i) {
        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QElapsedTimer clock;
        clock.start();
        child.start(self, {QString::fromLatin1(kChildFlag)});
        QByteArray out;
        while (!out.contains(kShown) && child.waitForReadyRead(10000))
            out += child.readAllStandardOutput();
        const double ms = double(clock.nsecsElapsed()) / 1e6;
        child.waitForFinished(10000);
        if (!out.contains(kShown))
            return -1;
        if (i > 0) // the first run warms the file cache
            runs << ms;
    }
    std::sort(runs.begin(), runs.end());
    return runs[runs.size() / 2];
}

double residentMb()
{
    return double(procSelfFigure("status", "VmRSS:")) / 1024.0;
}

ViewModelEnvironment emptyWorld(const QTemporaryDir &dir)
{
    ViewModelEnvironment env;
    env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
    env.converter = ConverterSearch({dir.filePath(QStringLiteral("bin/pandoc"))}, std::nullopt);
    return env;
}

double logAppend100kMs(MainWindow &window)
{
    PandocViewModel *vm = window.viewModel();
    auto *log = window.findChild<LogView *>(QStringLiteral("logView"));
    vm->clearLog();
    QCoreApplication::processEvents();
    constexpr int kLines = 100000;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < kLines; ++i) {
        vm->appendLog(QStringLiteral("✓ Konvertierung erfolgreich: Kapitel-") + QString::number(i) +
                      QStringLiteral(".docx"));
        // A busy converter: the loop gets to run between bursts of lines.
        if (i % 1000 == 999)
            QCoreApplication::processEvents();
    }
    QCoreApplication::processEvents();
    QScrollBar *bar = log->verticalScrollBar();
    while (log->lineCount() < kLines || bar->value() != bar->maximum())
        QCoreApplication::processEvents();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    const QString last = log->line(kLines - 1);
    return last.contains(QString::number(kLines - 1)) ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], kChildFlag) == 0)
        return runStartupChild(argc, argv);

    const double startup = startupToWindowMs(QString::fromLocal8Bit(argv[0]));
    QApplication app(argc, argv);
    QTemporaryDir dir;
    MainWindow window(emptyWorld(dir));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(1000); // settle: converter check, first frames
    const double idle = residentMb();
    const double append = logAppend100kMs(window);

    print("startup_to_window_ms", startup);
    print("log_append_100k_ms", append);
    print("idle_rss_mb", idle);
    return 0;
}
