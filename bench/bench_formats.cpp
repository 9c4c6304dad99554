// Format lists and PDF of text in any script.
#include "benchfigures.h"
#include "dialogs.h"
#include "formatquery.h"
#include "pandocviewmodel.h"
#include "procstatus.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>

namespace {

// Time the UI thread spends awake, that is not waiting in the event loop.
class BusyClock
{
public:
    BusyClock()
    {
        auto *dispatcher = QAbstractEventDispatcher::instance();
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher,
                         [this] { m_awake.start(); });
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, [this] {
            if (m_awake.isValid())
                m_busyNs += m_awake.nsecsElapsed();
            m_awake.invalidate();
        });
    }
    qint64 busyNs() const { return m_busyNs; }
    void reset() { m_busyNs = 0; }

private:
    QElapsedTimer m_awake;
    qint64 m_busyNs = 0;
};

double formatListMs()
{
    BusyClock clock;
    QList<double> runs;
    for (int i = 0; i < 5; ++i) {
        FormatQuery::clearCache();
        FormatQuery query;
        QSignalSpy done(&query, &FormatQuery::finished);
        clock.reset();
        QElapsedTimer call;
        call.start();
        query.start(QStringLiteral("/usr/bin/pandoc"), 60000);
        const qint64 startNs = call.nsecsElapsed();
        done.wait(60000);
        runs << double(startNs + clock.busyNs()) / 1e6;
    }
    std::sort(runs.begin(), runs.end());
    return runs.at(runs.size() / 2);
}

// The peak resident memory of this process so far, in MiB.
double peakResidentMb()
{
    return double(procSelfFigure("status", "VmHWM:")) / 1024.0;
}

// The start-up check (version and both format lists) against converters that print without
// end or list 100,000 names.
double hostileFormatListPeakMb(const QTemporaryDir &dir)
{
    const QList<QByteArray> bodies{
        "exec yes html\n",
        "awk 'BEGIN { for (i = 0; i < 100000; i++) print \"fmt\" i }'\n",
    };
    for (qsizetype i = 0; i < bodies.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("hostile%1").arg(i));
        QFile script(path);
        script.open(QIODevice::WriteOnly);
        script.write("#!/bin/sh\n" + bodies[i]);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        SilentDialogs dialogs;
        ViewModelEnvironment env;
        env.store = StoreLocation(dir.filePath(QStringLiteral("hostile-support")));
        env.converter = ConverterSearch({path}, std::nullopt);
        env.dialogs = &dialogs;
        env.formatQueryTimeoutMs = 5000;
        env.versionQueryTimeoutMs = 5000;
        FormatQuery::clearCache();
        PandocViewModel vm(env);
        QSignalSpy checked(&vm, &PandocViewModel::pandocCheckFinished);
        QSignalSpy listed(&vm, &PandocViewModel::converterFormatsChanged);
        vm.checkPandocInstallation();
        if (checked.isEmpty())
            checked.wait(20000);
        if (listed.isEmpty())
            listed.wait(20000);
    }
    return peakResidentMb();
}

double childCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Timing
{
    double wallS = 0;
    double cpuS = 0;
    bool ok = false;
    QString engine;
};

Timing convertToPdf(const QTemporaryDir &dir, const QString &name, const QString &text)
{
    const QString input = dir.filePath(name + QStringLiteral(".md"));
    QFile file(input);
    file.open(QIODevice::WriteOnly);
    file.write(text.toUtf8());
    file.close();
    SilentDialogs dialogs;
    ViewModelEnvironment env;
    env.store = StoreLocation(dir.filePath(QStringLiteral("support")));
    env.converter = ConverterSearch({QStringLiteral("/usr/bin/pandoc")}, std::nullopt);
    env.dialogs = &dialogs;
    PandocViewModel vm(env);
    vm.setOutputFormat(QStringLiteral("pdf"));
    vm.setInputFiles({QUrl::fromLocalFile(input)});
    vm.autoSetOutputFile();
    // Each run is a new session, which would ask before replacing the last run's PDF.
    QFile::remove(vm.outputFile());
    QSignalSpy done(&vm, &PandocViewModel::conversionFinished);
    const double cpuBefore = childCpuSeconds();
    QElapsedTimer wall;
    wall.start();
    vm.convert();
    // A run refused before pandoc starts finishes inside convert().
    if (done.isEmpty())
        done.wait(900000);
    const bool ok = vm.statusColor() == PandocViewModel::StatusColor::Green;
    if (!ok)
        std::fprintf(stderr, "%s\n", qPrintable(vm.logMessages().join(u'\n')));
    QString engine;
    for (const QString &line : vm.logMessages()) {
        if (line.startsWith(QStringLiteral("PDF-Engine (Automatisch): ")))
            engine = line.section(u' ', 2);
    }
    return {double(wall.elapsed()) / 1000.0, childCpuSeconds() - cpuBefore, ok, engine};
}

// A few pages in six scripts, and the same number of characters in Latin letters only.
std::pair<QString, QString> documents()
{
    const QString paragraph = QStringLiteral(
        "Grüße aus München: Äpfel, Öfen und die Straße. Ça va très bien, dit l’élève à côté de "
        "la fenêtre. Καλημέρα κόσμε, η γλώσσα είναι όμορφη. Привет, мир! Съешь же ещё этих "
        "мягких булок. 你好，世界。我们今天学习排版。 😀 🎉\n\n");
    QString unicode = QStringLiteral("# Bericht\n\n");
    for (int i = 0; i < 40; ++i)
        unicode += paragraph;
    QString latin;
    for (const char32_t c : unicode.toUcs4())
        latin += c < 0x80 ? QString::fromUcs4(&c, 1) : QStringLiteral("e");
    return {unicode, latin};
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    print("format_list_hostile_peak_mb", hostileFormatListPeakMb(dir));
    print("format_list_ms", formatListMs());

    const auto [unicode, latin] = documents();
    // The first lualatex run of a machine builds its font cache; it is not what a user waits for
    // later, so it is run once before measuring.
    convertToPdf(dir, QStringLiteral("warmup"), unicode);
    QList<Timing> uni, lat;
    for (int i = 0; i < 3; ++i) {
        uni << convertToPdf(dir, QStringLiteral("unicode"), unicode);
        lat << convertToPdf(dir, QStringLiteral("latin"), latin);
    }
    const auto median = [](QList<Timing> runs, double Timing::*field) {
        std::sort(runs.begin(), runs.end(),
                  [field](const Timing &a, const Timing &b) { return a.*field < b.*field; });
        return runs.at(runs.size() / 2).*field;
    };
    const bool allOk = std::all_of(uni.begin(), uni.end(), [](const Timing &t) { return t.ok; }) &&
                       std::all_of(lat.begin(), lat.end(), [](const Timing &t) { return t.ok; });
    print("pdf_unicode_doc_s", median(uni, &Timing::wallS));
    print("pdf_latin_doc_s", median(lat, &Timing::wallS));
    print("pdf_unicode_ratio", median(uni, &Timing::wallS) / median(lat, &Timing::wallS));
    print("pdf_unicode_cpu_ratio", median(uni, &Timing::cpuS) / median(lat, &Timing::cpuS));
    print("pdf_conversions_ok", allOk ? 1 : 0);

    // One script at a time, the same length as the documents above.
    const std::pair<const char *, QString> scripts[] = {
        {"latin", QStringLiteral("Grüße aus München: Äpfel, Öfen und die Straße. ")},
        {"greek", QStringLiteral("Καλημέρα κόσμε, η γλώσσα είναι όμορφη. ")},
        {"cyrillic", QStringLiteral("Привет, мир! Съешь же ещё этих мягких булок. ")},
        {"cjk", QStringLiteral("你好，世界。我们今天学习排版。")},
        {"emoji", QStringLiteral("Hallo 😀 🎉 und gute Reise ✈ ")},
    };
    for (const auto &[name, sentence] : scripts) {
        QString text = QStringLiteral("# Bericht\n\n");
        while (text.size() < unicode.size())
            text += sentence +
                    (text.size() % 400 < sentence.size() ? QStringLiteral("\n\n") : QString());
        const Timing t = convertToPdf(dir, QLatin1StringView(name).toString(), text);
        print(qPrintable(QStringLiteral("pdf_script_%1_s").arg(QLatin1StringView(name))),
              t.ok ? t.wallS : -1);
        std::fprintf(stderr, "%s: %s\n", name, qPrintable(t.engine));
    }
    return 0;
}
