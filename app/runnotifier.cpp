#include "runnotifier.h"

#include "notifier.h"
#include "pandocviewmodel.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

#include <algorithm>

RunNotifier::RunNotifier(PandocViewModel *viewModel, QWidget *window, QObject *parent)
    : QObject(parent), m_viewModel(viewModel), m_window(window)
{
    connect(m_viewModel, &PandocViewModel::runResultsReady, this, &RunNotifier::runEnded);
}

bool RunNotifier::worthNotifying(const RunResults &results)
{
    if (results.size() > 1)
        return true;
    return std::any_of(results.cbegin(), results.cend(),
                       [](const RunResult &row) { return row.seconds > kLongRunSeconds; });
}

RunNotifier::Message RunNotifier::messageFor(const RunResults &results)
{
    using Outcome = RunResult::Outcome;
    const auto count = [&results](Outcome outcome) {
        return std::count_if(results.cbegin(), results.cend(),
                             [outcome](const RunResult &row) { return row.outcome == outcome; });
    };
    const qsizetype succeeded = count(Outcome::Succeeded);
    const qsizetype failed = count(Outcome::Failed);
    const qsizetype skipped = count(Outcome::Skipped);
    const qsizetype unchanged = count(Outcome::Unchanged);

    if (results.size() == 1) {
        const RunResult &row = results.first();
        const QString input = QFileInfo(row.input).fileName();
        if (row.outcome == Outcome::Succeeded)
            return {QStringLiteral("Konvertierung abgeschlossen"),
                    input + QStringLiteral(" → ") + QFileInfo(row.output).fileName()};
        if (row.outcome == Outcome::Unchanged)
            return {QStringLiteral("Konvertierung abgeschlossen"),
                    input + QStringLiteral(" unverändert")};
        return {row.outcome == Outcome::Skipped ? QStringLiteral("Konvertierung abgebrochen")
                                                : QStringLiteral("Konvertierung fehlgeschlagen"),
                input};
    }
    QString body = QString::number(succeeded) + QStringLiteral(" erfolgreich, ") +
                   QString::number(failed) + QStringLiteral(" Fehler");
    if (skipped > 0)
        body += QStringLiteral(", ") + QString::number(skipped) + QStringLiteral(" übersprungen");
    if (unchanged > 0)
        body += QStringLiteral(", ") + QString::number(unchanged) + QStringLiteral(" unverändert");
    // Skipped files only come from a cancel.
    return {skipped > 0 ? QStringLiteral("Konvertierung abgebrochen")
                        : QStringLiteral("Konvertierung abgeschlossen"),
            body};
}

bool RunNotifier::windowActive() const
{
    // A message box of our own in front counts as the window being in front.
    for (QWidget *w = QApplication::activeWindow(); w; w = w->parentWidget()) {
        if (w == m_window)
            return true;
    }
    return false;
}

void RunNotifier::runEnded()
{
    const RunResults results = m_viewModel->lastRunResults();
    // While watching, every save converts: only a failure is worth a notification.
    const bool watching = m_viewModel->watchSession().isWatching();
    const bool failed = std::any_of(results.cbegin(), results.cend(), [](const RunResult &row) {
        return row.outcome == RunResult::Outcome::Failed;
    });
    if (!m_notifier || windowActive() || (watching ? !failed : !worthNotifying(results)))
        return;
    const Message message = messageFor(results);
    m_notifier->notify(message.summary, message.body);
}
