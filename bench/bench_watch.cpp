// Watching and "Nur geänderte Dateien": how soon a saved change is converted, what watching
// costs while nothing changes, and what a batch costs again once it is on record.
#include "benchfigures.h"
#include "pandocviewmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>
#include <vector>

namespace {

const QString kPandoc = QStringLiteral("/usr/bin/pandoc");

double cpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval &t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

void write(const QString &path, const QByteArray &content)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

// Short: the figures are about Velunor, and pandoc's own time is the same either way.
QByteArray document(int number)
{
    return "---\ntitle: Dokument " + QByteArray::number(number) +
           "\n---\n\nEin Absatz mit *Betonung* und `Code`.\n";
}

// An event loop that sleeps until the time is up, as the window's own does.
void idleFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

struct World
{
    QTemporaryDir dir;
    SilentDialogs dialogs;

    std::unique_ptr<PandocViewModel> viewModel()
    {
        ViewModelEnvironment env;
        env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
        env.converter = ConverterSearch({kPandoc}, std::nullopt);
        env.dialogs = &dialogs;
        env.pdfSetupFolder = dir.filePath(QStringLiteral("cache"));
        env.upToDateFolder = dir.filePath(QStringLiteral("cache/unchanged"));
        auto vm = std::make_unique<PandocViewModel>(env);
        vm->setOutputFormat(QStringLiteral("html"));
        return vm;
    }

    QList<QUrl> inputs(int count)
    {
        QList<QUrl> urls;
        for (int i = 0; i < count; ++i) {
            const QString path = dir.filePath(QStringLiteral("doc%1.md").arg(i));
            write(path, document(i));
            urls.append(QUrl::fromLocalFile(path));
        }
        return urls;
    }
};

bool convert(PandocViewModel &vm)
{
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    vm.convert();
    return !done.isEmpty() || done.wait(600000);
}

// pandoc alone on the same file and with the same arguments, as the command preview has them.
double pandocAloneMs(const QStringList &args, const QString &folder)
{
    QProcess process;
    process.setWorkingDirectory(folder);
    QElapsedTimer clock;
    clock.start();
    process.start(kPandoc, args);
    process.waitForFinished(60000);
    return double(clock.nsecsElapsed()) / 1e6;
}

QStringList aloneArguments(const PandocViewModel &vm, const QString &folder)
{
    QStringList args = QProcess::splitCommand(vm.commandPreview());
    args.removeFirst();
    // Not over the watched run's output, which this window would then no longer own.
    const qsizetype output = args.indexOf(QStringLiteral("-o")) + 1;
    if (output > 0 && output < args.size())
        args[output] = folder + QStringLiteral("/alone.html");
    return args;
}

void watchLatency()
{
    World world;
    auto vm = world.viewModel();
    const QList<QUrl> inputs = world.inputs(1);
    vm->setInputFiles(inputs);
    vm->autoSetOutputFile();
    vm->setWatchChanges(true);
    convert(*vm);
    const QString input = inputs.first().toLocalFile();
    const QStringList alone = aloneArguments(*vm, world.dir.path());
    // Each round pairs a watched conversion with pandoc alone, so that a busy machine
    // weighs on both alike.
    std::vector<double> latencies;
    std::vector<double> pandocTimes;
    for (int round = 0; round < 7; ++round) {
        QSignalSpy done(vm.get(), &PandocViewModel::conversionFinished);
        QElapsedTimer clock;
        clock.start();
        write(input, document(100 + round));
        if (!done.wait(60000))
            continue;
        const double latency = double(clock.nsecsElapsed()) / 1e6;
        const double pandoc = pandocAloneMs(alone, world.dir.path());
        latencies.push_back(latency - pandoc);
        pandocTimes.push_back(pandoc);
        idleFor(50);
    }
    const double latency = latencies.empty() ? -1.0 : median(latencies);
    print("watch_settle_ms", RunWatcher::kSettleMs);
    print("watch_pandoc_alone_ms", median(pandocTimes));
    print("watch_latency_ms", latency);
    print("watch_latency_beyond_settle_ms", latency - RunWatcher::kSettleMs);
}

void idleCpu()
{
    World world;
    auto vm = world.viewModel();
    vm->setInputFiles(world.inputs(10));
    vm->setWatchChanges(true);
    convert(*vm);
    if (vm->watchSession().count() < 10)
        std::fprintf(stderr, "watching only %lld files\n",
                     static_cast<long long>(vm->watchSession().count()));
    idleFor(1000);
    constexpr int kSpanMs = 12000;
    const double before = cpuMs();
    idleFor(kSpanMs);
    print("watch_idle_cpu_ms_per_min", (cpuMs() - before) * 60000.0 / kSpanMs);
}

void rebatch()
{
    World world;
    auto vm = world.viewModel();
    const QList<QUrl> inputs = world.inputs(200);
    vm->setInputFiles(inputs);
    vm->setOnlyChangedFiles(true);
    QElapsedTimer clock;
    clock.start();
    convert(*vm);
    const double full = double(clock.nsecsElapsed()) / 1e6;
    std::vector<double> again;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 2; ++i)
            write(inputs.at(round * 2 + i).toLocalFile(), document(1000 + round * 2 + i));
        clock.restart();
        convert(*vm);
        again.push_back(double(clock.nsecsElapsed()) / 1e6);
    }
    print("rebatch_200_full_ms", full);
    print("rebatch_200_2changed_ms", median(again));
    print("rebatch_200_2changed_ratio", median(again) / full);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (!QFile::exists(kPandoc)) {
        std::fprintf(stderr, "bench_watch needs %s\n", qPrintable(kPandoc));
        return 1;
    }
    watchLatency();
    idleCpu();
    rebatch();
    return 0;
}
