// What the window does with the last run's per-file results.
#include "pandocviewmodel.h"

#include "conversionplan.h"

void PandocViewModel::retryFailedConversions()
{
    if (m_isConverting)
        return;
    QList<QUrl> inputs;
    QList<std::pair<QString, QString>> files;
    for (const RunResult &row : std::as_const(m_lastRunResults)) {
        if (row.outcome != RunResult::Outcome::Failed)
            continue;
        inputs << QUrl::fromLocalFile(row.input);
        files.append({row.input, row.output});
    }
    if (inputs.isEmpty())
        return;
    setInputFiles(inputs);
    if (inputs.size() > 1) {
        setOutputFile(kBatchPlaceholder);
    } else if (files.first().second.isEmpty()) {
        // Nothing was planned for it: a fresh start with today's settings.
        autoSetOutputFile();
        convert();
        return;
    } else {
        // The place the failed run meant to write, which for a batch file is the derived one.
        setOutputFile(files.first().second);
    }
    // The failed run's own settings and outputs, as they were: today's format must not
    // be written into yesterday's output name.
    const ConversionSettings settings = m_lastRunSettings.value_or(runSettings());
    setIsConverting(true);
    setProgress(0.0);
    setStatus(QStringLiteral("Konvertierung läuft..."), StatusColor::Blue);
    runFiles(settings, files, files.size() > 1);
}
