#pragma once

#include <QObject>
#include <QString>
#include <memory>

class PandocViewModel;
class QSettings;

// Conversion preferences that outlive the window: read once into the view model, written back
// whenever they change.
class ConversionPreferences final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(ConversionPreferences)

public:
    static inline const QString kParallelJobsKey = QStringLiteral("conversion/parallelJobs");

    ConversionPreferences(PandocViewModel *viewModel, std::unique_ptr<QSettings> settings,
                          QObject *parent = nullptr);
    ~ConversionPreferences() override;

private:
    PandocViewModel *m_viewModel;
    std::unique_ptr<QSettings> m_settings;
};
