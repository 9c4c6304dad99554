#include "conversionpreferences.h"

#include "pandocviewmodel.h"

#include <QSettings>

ConversionPreferences::ConversionPreferences(PandocViewModel *viewModel,
                                             std::unique_ptr<QSettings> settings, QObject *parent)
    : QObject(parent), m_viewModel(viewModel), m_settings(std::move(settings))
{
    // A hand-edited or foreign value falls back to the default instead of a nonsense count.
    bool ok = false;
    const int stored = m_settings->value(kParallelJobsKey).toInt(&ok);
    if (ok)
        m_viewModel->setParallelJobs(stored);

    connect(m_viewModel, &PandocViewModel::parallelJobsChanged, this, [this] {
        m_settings->setValue(kParallelJobsKey, m_viewModel->parallelJobs());
        m_settings->sync();
    });
}

ConversionPreferences::~ConversionPreferences() = default;
