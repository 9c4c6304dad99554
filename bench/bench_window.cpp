// Window figures: startup until the first frame, log throughput into the log view, idle memory.
//
// Startup is timed from outside: a child process builds the window the way main() does
// (German translations loaded) and reports once the first frame is painted, so the figure
// covers exec, dynamic linking, Qt start-up, store loading, window construction and painting.
// A bare Qt window with one label is started and timed the same way, in turns with Velunor's,
// as the yardstick; and so is Velunor's first frame rebuilt from plain Qt widgets (no layouts,
// icons or Velunor code), which shows what the form itself costs Qt.
#include "benchfigures.h"
#include "conversion/logview.h"
#include "mainwindow.h"
#include "procstatus.h"
#include "startup/firstframe.h"
#include "startup/sameform.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

// Milliseconds from starting `program` until it reports its first frame; -1 if it never does.
double msToFirstFrame(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &env)
{
    QProcess child;
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    QByteArray out;
    while (!out.contains(kFirstFrameShown) && child.waitForReadyRead(10000))
        out += child.readAllStandardOutput();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    child.waitForFinished(10000);
    return out.contains(kFirstFrameShown) ? ms : -1;
}

struct Startup
{
    double velunorMs = -1;
    double bareMs = -1;
    double sameFormMs = -1;
};

Startup startupToWindow(const QString &formFile)
{
    QTemporaryDir emptyStore;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), emptyStore.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), emptyStore.path());
    QList<double> velunor;
    QList<double> bare;
    QList<double> sameForm;
    // In turns, so a busy moment of the machine weighs on all alike.
    for (int i = 0; i < 16; ++i) {
        const double v = msToFirstFrame(QStringLiteral(VELUNOR_WINDOW_PATH), {}, env);
        const double b = msToFirstFrame(QStringLiteral(BARE_WINDOW_PATH), {}, env);
        const double f = msToFirstFrame(QStringLiteral(SAMEFORM_WINDOW_PATH), {formFile}, env);
        if (v < 0 || b < 0 || f < 0)
            return {};
        if (i > 0) { // the first run warms the file cache
            velunor << v;
            bare << b;
            sameForm << f;
        }
    }
    return {median(velunor), median(bare), median(sameForm)};
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
    QApplication app(argc, argv);
    QTemporaryDir dir;
    MainWindow window(emptyWorld(dir));
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        return 1;
    QTest::qWait(1000); // settle: converter check, first frames
    const double idle = residentMb();
    const QString formFile = dir.filePath(QStringLiteral("form.txt"));
    {
        QFile form(formFile);
        if (!form.open(QIODevice::WriteOnly) || form.write(describeForm(&window).toUtf8()) < 0)
            return 1;
    }
    const Startup startup = startupToWindow(formFile);
    const double append = logAppend100kMs(window);

    print("startup_to_window_ms", startup.velunorMs);
    print("startup_bare_qt_window_ms", startup.bareMs);
    print("startup_vs_bare_ratio", startup.bareMs > 0 ? startup.velunorMs / startup.bareMs : -1, 2);
    print("startup_same_form_plain_qt_ms", startup.sameFormMs);
    print("startup_same_form_vs_bare_ratio",
          startup.bareMs > 0 ? startup.sameFormMs / startup.bareMs : -1, 2);
    print("log_append_100k_ms", append);
    print("idle_rss_mb", idle);
    return 0;
}
