#include "conversionplan.h"

#include "fileidentity.h"
#include "filepaths.h"

#include <QFileInfo>
#include <QHash>

namespace {

QString fileName(const QString &path)
{
    return QFileInfo(path).fileName();
}

// One key per file, whichever path or spelling reaches it.
QString clashKey(const QString &path)
{
    const QString identity = fileIdentity(path);
    return identity.isEmpty() ? comparablePath(path) : identity;
}

} // namespace

void refuseClashes(QList<PlannedJob> &jobs)
{
    QHash<QString, qsizetype> inputs;
    QList<QString> inputKeys(jobs.size());
    QList<QString> outputKeys(jobs.size());
    QHash<QString, QList<qsizetype>> outputs;
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        inputKeys[i] = clashKey(jobs[i].input);
        inputs.insert(inputKeys[i], i);
        if (jobs[i].refusal || jobs[i].output.isEmpty())
            continue;
        outputKeys[i] = clashKey(jobs[i].output);
        outputs[outputKeys[i]].append(i);
    }
    const QString overwritesInput = QStringLiteral("❌ Ausgabe überschreibt Eingabe");
    for (qsizetype i = 0; i < jobs.size(); ++i) {
        PlannedJob &job = jobs[i];
        if (outputKeys[i].isEmpty())
            continue;
        const auto input = inputs.constFind(outputKeys[i]);
        if (input != inputs.cend() && inputKeys[i] == outputKeys[i]) {
            job.refusal =
                Refusal{QStringLiteral("❌ Ausgabedatei wäre die Eingabedatei selbst: ") + job.input,
                        overwritesInput};
        } else if (input != inputs.cend()) {
            job.refusal =
                Refusal{QStringLiteral("❌ Ausgabedatei wäre eine andere Eingabedatei: ") +
                            fileName(job.input) + QStringLiteral(" → ") + jobs[input.value()].input,
                        overwritesInput};
        } else if (const QList<qsizetype> &same = outputs[outputKeys[i]]; same.size() > 1) {
            // No winner by position: every file that would write there is refused.
            const qsizetype other = same.first() == i ? same.at(1) : same.first();
            job.refusal = Refusal{QStringLiteral("❌ Ausgabedatei kollidiert: ") +
                                      fileName(job.input) + QStringLiteral(" → ") + job.output +
                                      QStringLiteral(" (auch Ausgabe von ") +
                                      fileName(jobs[other].input) + u')',
                                  QStringLiteral("❌ Ausgabedateien kollidieren")};
        }
    }
}

std::optional<Refusal> mergedClash(const QStringList &inputs, const QString &output)
{
    const QString outputKey = clashKey(output);
    for (const QString &input : inputs) {
        if (clashKey(input) == outputKey)
            return Refusal{QStringLiteral("❌ Ausgabedatei wäre eine der Eingabedateien: ") + input,
                           QStringLiteral("❌ Ausgabe überschreibt Eingabe")};
    }
    return std::nullopt;
}

bool somethingAt(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}
