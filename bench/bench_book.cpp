// Twenty chapters merged into one page through the view model, against the very same pandoc
// command run alone.
#include "benchfigures.h"
#include "pandocviewmodel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRounds = 7;
const QString kPandoc = QStringLiteral("/usr/bin/pandoc");

double book20OverheadRatio()
{
    QTemporaryDir dir;
    SilentDialogs dialogs;
    // Two folders, as a book with an appendix of its own.
    QList<QUrl> chapters;
    QStringList paths;
    for (int i = 0; i < 20; ++i) {
        const QString folder =
            dir.filePath(i % 2 ? QStringLiteral("anhang") : QStringLiteral("buch"));
        QDir().mkpath(folder);
        const QString path =
            folder + QStringLiteral("/kapitel%1.md").arg(i, 2, 10, QLatin1Char('0'));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return -1.0;
        file.write(QStringLiteral(
                       "# Kapitel %1\n\nEin *kurzer* Absatz mit [Link](https://example.org).\n\n"
                       "- eins\n- zwei\n")
                       .arg(i)
                       .toUtf8());
        chapters << QUrl::fromLocalFile(path);
        paths << path;
    }
    const QString output = dir.filePath(QStringLiteral("buch/buch.html"));

    ViewModelEnvironment env;
    env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
    env.converter = ConverterSearch({kPandoc}, std::nullopt);
    env.dialogs = &dialogs;
    PandocViewModel vm(env);
    vm.setOutputFormat(QStringLiteral("html"));
    vm.handleInputFileSelection({chapters, std::nullopt});
    vm.setMergeInputs(true);
    if (vm.outputFile() != output)
        return -1.0;

    const QStringList command{QStringLiteral("-t"),
                              QStringLiteral("html"),
                              QStringLiteral("-o"),
                              output,
                              QStringLiteral("--resource-path=") +
                                  dir.filePath(QStringLiteral("buch")) + u':' +
                                  dir.filePath(QStringLiteral("anhang")),
                              QStringLiteral("--standalone")};
    auto alone = [&] {
        QFile::remove(output);
        QElapsedTimer t;
        t.start();
        QProcess p;
        p.setWorkingDirectory(dir.filePath(QStringLiteral("buch")));
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(kPandoc, paths + command);
        p.waitForFinished(-1);
        return p.exitCode() == 0 ? double(t.nsecsElapsed()) : -1.0;
    };
    auto throughViewModel = [&] {
        QFile::remove(output);
        QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
        QElapsedTimer t;
        t.start();
        vm.convert();
        if (done.isEmpty())
            done.wait(120000);
        const double elapsed = double(t.nsecsElapsed());
        return vm.statusColor() == PandocViewModel::StatusColor::Green && QFile::exists(output)
                   ? elapsed
                   : -1.0;
    };
    alone(); // warm the caches
    throughViewModel();
    // Interleaved so drift in machine load hits both alike.
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) {
        const double plain = alone();
        const double ours = throughViewModel();
        if (plain <= 0 || ours <= 0)
            return -1.0;
        ratios.push_back(ours / plain);
    }
    return median(ratios);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    std::printf("book_20_chapters_overhead_ratio: %.3f\n", book20OverheadRatio());
    return 0;
}
