// Hardening figures: a thousand-file batch (memory and per-file overhead) and store saves
// killed with SIGKILL at random moments.
#include "../tests/hardening/storecrash.h"
#include "benchfigures.h"
#include "pandocviewmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <unistd.h>
#include <vector>

namespace {

qint64 residentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields.at(1).toLongLong() * sysconf(_SC_PAGESIZE) : -1;
}

struct BatchFigures
{
    double rssGrowthMb = 0;
    double overheadMsPerFile = 0;
};

// The batch through the view model against a plain blocking loop over the very same
// converter commands, interleaved so drift in machine load hits both alike.
BatchFigures batch1000()
{
    constexpr int kFiles = 1000;
    QTemporaryDir dir;
    SilentDialogs dialogs;
    QList<QUrl> inputs;
    for (int i = 0; i < kFiles; ++i) {
        const QString path = dir.filePath(QStringLiteral("dok%1.md").arg(i));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write("# Titel\n\nText.\n");
        inputs << QUrl::fromLocalFile(path);
    }
    const QString fake = QStringLiteral(FAKE_PANDOC_PATH);

    auto plainLoop = [&] {
        QElapsedTimer t;
        t.start();
        for (const QUrl &url : inputs) {
            const QString in = url.toLocalFile();
            QProcess p;
            p.setStandardInputFile(QProcess::nullDevice());
            p.setStandardOutputFile(QProcess::nullDevice());
            p.start(fake, {QStringLiteral("-t"), QStringLiteral("html"), in, QStringLiteral("-o"),
                           in.chopped(2) + QStringLiteral("html"), QStringLiteral("--standalone")});
            p.waitForFinished(-1);
            p.readAllStandardError();
        }
        return double(t.nsecsElapsed()) / 1e6;
    };

    ViewModelEnvironment env;
    env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
    env.converter = ConverterSearch({fake}, std::nullopt);
    env.dialogs = &dialogs;
    PandocViewModel vm(env);
    vm.setParallelJobs(1); // per-file overhead against the serial loop
    vm.setOutputFormat(QStringLiteral("html"));
    vm.setInputFiles(inputs);
    auto throughViewModel = [&](double *growthMb) {
        vm.clearLog();
        QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
        const qint64 before = residentBytes();
        QElapsedTimer t;
        t.start();
        vm.convert();
        done.wait(600000);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        *growthMb = std::max(*growthMb, double(residentBytes() - before) / (1024.0 * 1024.0));
        return ms;
    };

    BatchFigures figures;
    plainLoop(); // warm the caches
    std::vector<double> overheads;
    for (int round = 0; round < 3; ++round) {
        const double plain = plainLoop();
        const double ours = throughViewModel(&figures.rssGrowthMb);
        overheads.push_back((ours - plain) / kFiles);
    }
    std::sort(overheads.begin(), overheads.end());
    figures.overheadMsPerFile = overheads[overheads.size() / 2];
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsSet(storecrash::kSaverVariable)) {
        QCoreApplication app(argc, argv);
        return storecrash::runSaver();
    }
    QCoreApplication app(argc, argv);
    const BatchFigures batch = batch1000();
    print("batch1000_rss_growth_mb", batch.rssGrowthMb);
    print("batch1000_overhead_ms_per_file", batch.overheadMsPerFile);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Velunor/templates.json"));
    constexpr int kKills = 200;
    const auto report = storecrash::killRepeatedly(QCoreApplication::applicationFilePath(), path,
                                                   10000, kKills, 60, 20261207);
    std::printf("kill9_saves_intact: %d/%d\n", report.intact, kKills);
    for (const QString &failure : report.failures)
        std::fprintf(stderr, "%s\n", qPrintable(failure));
    return 0;
}
