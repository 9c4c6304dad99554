// What the window does with the last run's per-file results.
#include "pandocviewmodel.h"

void PandocViewModel::retryFailedConversions()
{
    if (m_isConverting)
        return;
    QList<QUrl> inputs;
    QString output;
    for (const RunResult &row : std::as_const(m_lastRunResults)) {
        if (row.outcome != RunResult::Outcome::Failed)
            continue;
        inputs << QUrl::fromLocalFile(row.input);
        output = row.output;
    }
    if (inputs.isEmpty())
        return;
    setInputFiles(inputs);
    if (inputs.size() > 1) {
        setOutputFile(kBatchPlaceholder);
    } else if (output.isEmpty()) {
        autoSetOutputFile();
    } else {
        // The place the failed run meant to write, which for a batch file is the derived one.
        setOutputFile(output);
    }
    convert();
}
