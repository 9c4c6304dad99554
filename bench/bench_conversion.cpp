// Conversion figures: batch overhead against a plain loop, UI stalls, log appends.
#include "pandocviewmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

void print(const char *name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

ViewModelEnvironment environment(const QTemporaryDir &dir, const QString &converter,
                                 Dialogs *dialogs)
{
    ViewModelEnvironment env;
    env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
    env.converter = ConverterSearch({converter}, std::nullopt);
    env.dialogs = dialogs;
    return env;
}

void waitFor(PandocViewModel &vm)
{
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    done.wait(600000);
}

double batchOverheadRatio()
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    QList<QUrl> inputs;
    for (int i = 0; i < 50; ++i) {
        const QString path = dir.filePath(QStringLiteral("doc%1.md").arg(i));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("# Titel\n\nEin *kurzer* Absatz mit [Link](https://example.org).\n");
        inputs << QUrl::fromLocalFile(path);
    }
    const QString pandoc = QStringLiteral("/usr/bin/pandoc");

    // The very same commands, one after another, blocking.
    auto plainLoop = [&] {
        QElapsedTimer t;
        t.start();
        for (const QUrl &url : inputs) {
            const QString in = url.toLocalFile();
            QString out = in;
            out.replace(QStringLiteral(".md"), QStringLiteral(".html"));
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(pandoc, {QStringLiteral("-t"), QStringLiteral("html"), in, QStringLiteral("-o"),
                             out, QStringLiteral("--standalone")});
            p.waitForFinished(-1);
        }
        return double(t.nsecsElapsed());
    };
    auto throughViewModel = [&] {
        PandocViewModel vm(environment(dir, pandoc, &dialogs));
        vm.setOutputFormat(QStringLiteral("html"));
        vm.setInputFiles(inputs);
        QElapsedTimer t;
        t.start();
        waitFor(vm);
        return double(t.nsecsElapsed());
    };
    plainLoop(); // warm the caches
    // Interleave the runs so drift in machine load hits both alike.
    std::vector<double> ratios;
    for (int round = 0; round < 3; ++round) {
        const double plain = plainLoop();
        const double ours = throughViewModel();
        ratios.push_back(ours / plain);
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios[ratios.size() / 2];
}

double uiMaxStallMs(const QString &fakeConverter)
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    const QString input = dir.filePath(QStringLiteral("a.md"));
    QFile f(input);
    f.open(QIODevice::WriteOnly);
    f.write("x");
    f.close();
    qputenv("FAKE_PANDOC_TRICKLE_MS", "2000");
    PandocViewModel vm(environment(dir, fakeConverter, &dialogs));
    vm.setInputFiles({QUrl::fromLocalFile(input)});
    vm.setOutputFile(dir.filePath(QStringLiteral("a.docx")));

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 maxGap = 0;
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        maxGap = std::max(maxGap, now - last);
        last = now;
    });
    tick.start();
    waitFor(vm);
    tick.stop();
    qunsetenv("FAKE_PANDOC_TRICKLE_MS");
    return double(maxGap) / 1e6;
}

double logAppendMs()
{
    QTemporaryDir dir;
    PandocViewModel vm(environment(dir, QString(), nullptr));
    qint64 seen = 0;
    QObject::connect(&vm, &PandocViewModel::logMessageAppended, &vm,
                     [&seen](const QString &line) { seen += line.size(); });
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < 100000; ++i)
        vm.appendLog(QStringLiteral("✓ Konvertierung erfolgreich: Datei ") + QString::number(i));
    const double ms = double(t.nsecsElapsed()) / 1e6;
    return seen > 0 ? ms : -1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QString fake = QStringLiteral(FAKE_PANDOC_PATH);
    print("batch50_overhead_ratio", batchOverheadRatio());
    print("ui_max_stall_ms", uiMaxStallMs(fake));
    print("log_append_100k_vm_ms", logAppendMs());
    return 0;
}
