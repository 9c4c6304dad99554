#include "conversionjob.h"

#include "citations.h"

#include "converterprocess.h"
#include "outputkeeper.h"
#include "pandocviewmodel.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

} // namespace

ConversionJob::ConversionJob(PlannedJob plan, ConverterSearch converter, int cancelGraceMs,
                             QObject *parent)
    : QObject(parent), m_plan(std::move(plan)), m_converter(std::move(converter)),
      m_graceMs(cancelGraceMs)
{
}

ConversionJob::~ConversionJob()
{
    // The converter must be gone before its temporary file is removed.
    m_process.reset();
    m_keeper.reset();
    m_tempFolder.reset();
}

void ConversionJob::start()
{
    if (const auto &refusal = m_plan.refusal) {
        emit logLine(refusal->line);
        emit finished({refusal->outcome, refusal->status, false, 0.0});
        return;
    }
    emit logLine(QStringLiteral("\nStarte Konvertierung: ") + lastComponent(m_plan.input) +
                 QStringLiteral(" → ") + lastComponent(m_plan.output));
    emit logLine(QStringLiteral("Befehl: pandoc ") + m_plan.arguments.join(u' '));
    for (const QString &note : std::as_const(m_plan.notes))
        emit logLine(note);

    const std::optional<QString> converter = m_converter.locate();
    if (!converter) {
        fail(QStringLiteral("❌ Pandoc nicht gefunden. Bitte installieren: ") +
                 PandocViewModel::kInstallPage,
             QStringLiteral("❌ Pandoc nicht gefunden"));
        return;
    }
    if (!prepareOutput())
        return;
    launch(*converter);
}

bool ConversionJob::prepareOutput()
{
    m_keeper = std::make_unique<OutputKeeper>(m_plan.output);
    QString reason;
    if (!m_keeper->prepare(&reason)) {
        m_keeper.reset();
        fail((somethingAt(m_plan.output)
                  ? QStringLiteral("❌ Vorhandene Ausgabedatei kann nicht sicher ersetzt werden: ")
                  : QStringLiteral("❌ Ausgabedatei kann nicht angelegt werden: ")) +
                 reason,
             QStringLiteral("❌ Fehler"));
        return false;
    }
    return true;
}

QStringList ConversionJob::converterArguments() const
{
    // The log shows the real name; the converter writes to the temporary one.
    QStringList arguments = m_plan.arguments;
    for (qsizetype i = 0; i + 1 < arguments.size(); ++i) {
        if (arguments.at(i) == u"-o" && arguments.at(i + 1) == m_plan.output) {
            arguments[i + 1] = m_keeper->writePath();
            break;
        }
    }
    return arguments;
}

void ConversionJob::launch(const QString &converter)
{
    // pandoc and a PDF engine leave their scratch files here; it goes when the job ends.
    m_tempFolder =
        std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/velunor-XXXXXX"));
    const QString tempPath = m_tempFolder->isValid() ? m_tempFolder->path() : QString();

    m_process = std::make_unique<ConverterProcess>();
    connect(m_process.get(), &ConverterProcess::finished, this, &ConversionJob::processEnded);
    m_clock.start();
    m_process->start(converter, converterArguments(), m_plan.workingFolder, tempPath);
}

void ConversionJob::cancel()
{
    if (m_process)
        m_process->cancel(m_graceMs);
}

void ConversionJob::fail(const QString &line, const QString &status)
{
    emit logLine(line);
    emit finished({RunResult::Outcome::Failed, status, false, 0.0});
}

void ConversionJob::processEnded(const ConverterProcess::Outcome &outcome)
{
    using Kind = ConverterProcess::Kind;
    const QString errorText = m_process->errorText();
    const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
    m_process.release()->deleteLater();
    m_tempFolder.reset();

    End end{RunResult::Outcome::Failed, {}, false, seconds};
    std::optional<QString> replaceFailure;
    QStringList replaceNotes;
    if (outcome.kind == Kind::Exited && outcome.code == 0) {
        replaceFailure = m_keeper->commit();
        replaceNotes = m_keeper->notes();
    } else {
        m_keeper->discard();
    }
    m_keeper.reset();

    if (outcome.kind == Kind::FailedToStart) {
        emit logLine(QStringLiteral("❌ Fehler beim Ausführen von Pandoc: ") + outcome.error);
        end.failureStatus = QStringLiteral("❌ Fehler");
        emit finished(end);
        return;
    }
    if (!errorText.isEmpty())
        emit logLine(errorText);
    if (outcome.kind == Kind::Cancelled) {
        emit logLine(QStringLiteral("⚠ Konvertierung abgebrochen"));
        end.outcome = RunResult::Outcome::Skipped;
        end.cancelled = true;
    } else if (outcome.kind == Kind::Crashed) {
        emit logLine(QStringLiteral("✗ Konvertierung fehlgeschlagen (Signal: ") +
                     QString::number(outcome.code) + u')');
        end.failureStatus = QStringLiteral("✗ Konvertierung fehlgeschlagen");
    } else if (outcome.code != 0) {
        emit logLine(QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: ") +
                     QString::number(outcome.code) + u')');
        const QString hint = exitHint(outcome.code);
        if (!hint.isEmpty())
            emit logLine(QStringLiteral("⚠ ") + hint);
        end.failureStatus = QStringLiteral("✗ Konvertierung fehlgeschlagen");
    } else if (replaceFailure) {
        // Exit 0 without a file (pandoc -v, a filter calling os.exit(0)) is no success.
        emit logLine(*replaceFailure);
        end.failureStatus = QStringLiteral("❌ Keine Ausgabe");
    } else {
        for (const QString &note : std::as_const(replaceNotes))
            emit logLine(note);
        emit logLine(QStringLiteral("✓ Konvertierung erfolgreich: ") +
                     lastComponent(m_plan.output));
        end.outcome = RunResult::Outcome::Succeeded;
    }
    // Unknown citation keys are easy to miss in pandoc's own text above.
    if (outcome.kind == Kind::Exited) {
        for (const QString &line : citationWarnings(errorText))
            emit logLine(line);
    }
    emit finished(end);
}

QString exitHint(int exitCode)
{
    switch (exitCode) {
    case 47:
        return QStringLiteral("Keine PDF-Engine gefunden: Für PDF braucht Pandoc LaTeX, unter "
                              "Debian zum Beispiel das Paket texlive-latex-recommended.");
    case 43:
        return QStringLiteral("PDF-Erstellung fehlgeschlagen. Häufigster Grund: Zeichen, die die "
                              "PDF-Engine nicht setzen kann (etwa Griechisch, Kyrillisch, "
                              "Chinesisch oder Emoji). Bitte unter „PDF-Engine“ „Automatisch“ "
                              "oder lualatex wählen.");
    case 21:
        return QStringLiteral("Pandoc kennt das gewählte Eingabeformat nicht.");
    case 22:
        return QStringLiteral("Pandoc kennt das gewählte Ausgabeformat nicht.");
    case 6:
        return QStringLiteral("Pandoc kennt eine der Zusatzoptionen nicht oder ihr Wert ist "
                              "ungültig; bitte die Zusatzoptionen prüfen.");
    case 1:
    case 99:
        return QStringLiteral("Eine Datei konnte nicht gelesen oder geschrieben werden; bitte "
                              "Pfade und Zugriffsrechte prüfen.");
    default:
        return {};
    }
}
