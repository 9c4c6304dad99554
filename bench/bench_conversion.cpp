// Conversion figures: batch overhead and parallel speed-up against a plain serial loop,
// UI stalls during a parallel batch, many early failures, log appends.
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
#include <vector>

namespace {

constexpr int kRounds = 5;

void print(const char *name, double value)
{
    std::printf("%s: %.3f\n", name, value);
    std::fflush(stdout);
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
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
    if (done.isEmpty())
        done.wait(600000);
}

QList<QUrl> writeInputs(const QTemporaryDir &dir, int count, const QByteArray &text)
{
    QList<QUrl> inputs;
    for (int i = 0; i < count; ++i) {
        const QString path = dir.filePath(QStringLiteral("doc%1.md").arg(i));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(text);
        inputs << QUrl::fromLocalFile(path);
    }
    return inputs;
}

QString outputOf(const QUrl &input)
{
    QString out = input.toLocalFile();
    out.replace(QStringLiteral(".md"), QStringLiteral(".html"));
    return out;
}

// Every run starts from the same state: no outputs, so no replace question.
void removeOutputs(const QList<QUrl> &inputs)
{
    for (const QUrl &url : inputs)
        QFile::remove(outputOf(url));
}

const QByteArray kDocument = "# Titel\n\nEin *kurzer* Absatz mit [Link](https://example.org).\n";
const QString kPandoc = QStringLiteral("/usr/bin/pandoc");

struct BatchRatios
{
    double overhead = 0; // one at a time
    double parallel = 0; // default number of slots
};

// 50 files through the view model against the very same commands in a plain blocking loop.
BatchRatios batch50Ratios()
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    const QList<QUrl> inputs = writeInputs(dir, 50, kDocument);

    auto plainLoop = [&] {
        removeOutputs(inputs);
        QElapsedTimer t;
        t.start();
        for (const QUrl &url : inputs) {
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(kPandoc, {QStringLiteral("-t"), QStringLiteral("html"), url.toLocalFile(),
                              QStringLiteral("-o"), outputOf(url), QStringLiteral("--standalone")});
            p.waitForFinished(-1);
        }
        return double(t.nsecsElapsed());
    };
    auto throughViewModel = [&](int jobs) {
        removeOutputs(inputs);
        PandocViewModel vm(environment(dir, kPandoc, &dialogs));
        vm.setParallelJobs(jobs);
        vm.setOutputFormat(QStringLiteral("html"));
        vm.setInputFiles(inputs);
        QElapsedTimer t;
        t.start();
        waitFor(vm);
        const bool allDone = vm.statusMessage().endsWith(QStringLiteral("Erfolg: 50, Fehler: 0"));
        return allDone ? double(t.nsecsElapsed()) : -1.0;
    };
    plainLoop(); // warm the caches
    // Interleaved so drift in machine load hits all three alike.
    std::vector<double> overhead;
    std::vector<double> parallel;
    for (int round = 0; round < kRounds; ++round) {
        const double plain = plainLoop();
        overhead.push_back(throughViewModel(1) / plain);
        parallel.push_back(throughViewModel(PandocViewModel::defaultParallelJobs()) / plain);
    }
    return {median(overhead), median(parallel)};
}

// The longest gap between ticks of a 1 ms timer while a parallel batch runs.
double uiMaxStallMs()
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    const QList<QUrl> inputs = writeInputs(dir, 20, kDocument);
    std::vector<double> stalls;
    for (int round = 0; round < kRounds; ++round) {
        removeOutputs(inputs);
        PandocViewModel vm(environment(dir, kPandoc, &dialogs));
        vm.setOutputFormat(QStringLiteral("html"));
        vm.setInputFiles(inputs);
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
        QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
        // Started from the event loop, as the button does, so its own work counts too.
        QTimer::singleShot(5, &vm, [&vm] { vm.convert(); });
        done.wait(600000);
        tick.stop();
        stalls.push_back(double(maxGap) / 1e6);
    }
    return median(stalls);
}

// 20,000 files that all fail before a converter could start (none is installed).
double earlyFail20000Ms()
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    const QList<QUrl> inputs = writeInputs(dir, 20000, "x");
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) {
        PandocViewModel vm(environment(dir, dir.filePath(QStringLiteral("kein-pandoc")), &dialogs));
        vm.setInputFiles(inputs);
        QElapsedTimer t;
        t.start();
        waitFor(vm);
        const bool finished = vm.statusMessage().endsWith(QStringLiteral("Fehler: 20000"));
        times.push_back(finished ? double(t.nsecsElapsed()) / 1e6 : -1.0);
    }
    return median(times);
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
    const BatchRatios ratios = batch50Ratios();
    print("batch50_overhead_ratio", ratios.overhead);
    print("batch50_parallel_ratio", ratios.parallel);
    print("ui_max_stall_ms", uiMaxStallMs());
    print("batch_early_fail_20000_ms", earlyFail20000Ms());
    print("log_append_100k_vm_ms", logAppendMs());
    return 0;
}
