// Store figures: saving the template index and building the view model over a full store,
// with 1,000 and with 100,000 templates.
#include "benchfigures.h"
#include "pandocviewmodel.h"
#include "recordjson.h"
#include "recordstore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kRuns = 9;

QList<Template> makeTemplates(int count)
{
    QList<Template> list;
    list.reserve(count);
    const QDateTime base = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        const TemplateType type = templateTypeAllCases[size_t(i) % templateTypeAllCases.size()];
        Template t;
        t.id = QUuid::createUuid();
        t.name = QStringLiteral("Vorlage %1").arg(i);
        t.type = type;
        t.filePath = QStringLiteral("/home/benutzer/.local/share/Velunor/Templates/") +
                     rawValue(type) + QStringLiteral("/vorlage-%1.dat").arg(i);
        t.isFavorite = i % 7 == 0;
        t.lastUsed = base.addSecs(-i * 37);
        t.description = QStringLiteral("Beschreibung für Vorlage %1 mit etwas Text.").arg(i);
        list.append(t);
    }
    return list;
}

QList<Preset> makePresets(int count)
{
    QList<Preset> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        Preset p;
        p.id = QUuid::createUuid();
        p.name = QStringLiteral("Preset %1").arg(i);
        p.inputFormat = QStringLiteral("markdown");
        p.outputFormat = i % 2 ? QStringLiteral("html5") : QStringLiteral("docx");
        if (i % 2)
            p.htmlTemplate = QStringLiteral("Vorlage %1").arg(i);
        if (i % 3 == 0)
            p.docxReference = QStringLiteral("Vorlage %1").arg(i + 2);
        p.tableOfContents = i % 5 == 0;
        p.additionalOptions = QStringLiteral("--wrap=none --columns=%1").arg(60 + i % 40);
        list.append(p);
    }
    return list;
}

double indexSaveMs(const QString &folder, int count)
{
    const QList<Template> records = makeTemplates(count);
    TemplateIndex index(folder + QStringLiteral("/Velunor/templates.json"));
    index.save(records); // warm-up: creates the folder
    std::vector<double> runs;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        const auto result = index.save(records);
        runs.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!result.ok)
            qFatal("save failed: %s", qPrintable(result.error));
    }
    return median(runs);
}

double viewModelInitMs(const QString &folder, int templates, int samples)
{
    const StoreLocation store(folder);
    QDir().mkpath(store.storeFolder());
    for (const auto &[path, data] :
         {std::pair{store.templatesFile(), encodeRecords(makeTemplates(templates))},
          std::pair{store.presetsFile(), encodeRecords(makePresets(1000))}}) {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size())
            qFatal("cannot write %s", qPrintable(path));
    }

    ViewModelEnvironment env;
    env.store = store;
    env.converter = ConverterSearch({}, std::nullopt);
    std::vector<double> runs;
    for (int i = 0; i < samples + 1; ++i) {
        QElapsedTimer timer;
        timer.start();
        PandocViewModel vm(env);
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (vm.templates().size() != templates || vm.presets().size() != 1000)
            qFatal("store not loaded");
        if (i > 0) // the first run pays for cold caches
            runs.push_back(ms);
    }
    return median(runs);
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    if (!dir.isValid())
        qFatal("no temporary folder");

    std::printf("index_save_1000_ms: %.2f\n", indexSaveMs(dir.filePath(QStringLiteral("a")), 1000));
    std::printf("index_save_10000_ms: %.2f\n",
                indexSaveMs(dir.filePath(QStringLiteral("b")), 10000));
    std::printf("viewmodel_init_1000_ms: %.2f\n",
                viewModelInitMs(dir.filePath(QStringLiteral("c")), 1000, kRuns));
    std::printf("viewmodel_init_100000_ms: %.2f\n",
                viewModelInitMs(dir.filePath(QStringLiteral("d")), 100000, 7));
    return 0;
}
