// Figures for the template library: the list's filter and sort, and one description edit.
#include "benchfigures.h"
#include "pandocviewmodel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <vector>

namespace {

QList<Template> makeRecords(int count)
{
    QList<Template> records;
    records.reserve(count);
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int i = 0; i < count; ++i) {
        Template t;
        t.id = QUuid::createUuid();
        // Mixed case, some non-ASCII, many equal prefixes: the sort has real work.
        t.name = (i % 7 == 0 ? QStringLiteral("Überschrift ") : QStringLiteral("vorlage ")) +
                 QString::number((i * 7919) % count) +
                 (i % 3 ? QStringLiteral("a") : QStringLiteral("B"));
        t.type = templateTypeAllCases[size_t(i % 4)];
        t.filePath = QStringLiteral("/home/user/.local/share/Velunor/Templates/") +
                     rawValue(t.type) + QStringLiteral("/vorlage-") + QString::number(i) +
                     QStringLiteral(".html");
        t.isFavorite = i % 5 == 0;
        t.lastUsed = now.addSecs(-i);
        t.description =
            QStringLiteral("Eine kurze Beschreibung der Vorlage Nummer ") + QString::number(i);
        records.append(t);
    }
    return records;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTemporaryDir dir;

    {
        ViewModelEnvironment env;
        env.store = StoreLocation(dir.filePath(QStringLiteral("filter")));
        PandocViewModel vm(env);
        vm.setTemplates(makeRecords(10000));
        std::vector<double> samples;
        qsizetype sink = 0;
        for (int run = 0; run < 15; ++run) {
            QElapsedTimer timer;
            timer.start();
            sink += vm.filteredTemplates(std::nullopt, false).size();
            samples.push_back(timer.nsecsElapsed() / 1e6);
        }
        if (sink == 0)
            return 1;
        out << "library_filter_sort_10000_ms: " << QString::number(median(samples), 'f', 2)
            << Qt::endl;
    }

    {
        ViewModelEnvironment env;
        env.store = StoreLocation(dir.filePath(QStringLiteral("edit")));
        PandocViewModel vm(env);
        vm.setTemplates(makeRecords(1000));
        vm.saveTemplates();
        const QUuid id = vm.templates().at(500).id;
        std::vector<double> samples;
        QString text;
        for (int run = 0; run < 25; ++run) {
            text += QChar(u'a' + run % 26);
            QElapsedTimer timer;
            timer.start();
            vm.updateDescription(id, text);
            samples.push_back(timer.nsecsElapsed() / 1e6);
        }
        if (!vm.logMessages().isEmpty())
            return 1;
        out << "description_edit_1000_ms: " << QString::number(median(samples), 'f', 2) << Qt::endl;
    }
    return 0;
}
