#include "conversionjob.h"

#include "citations.h"
#include "jobsources.h"

#include "converterprocess.h"
#include "converterservice.h"
#include "outputkeeper.h"
#include "textprobe.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

// A log line without its leading marker ("❌ ", "✗ "): the results list marks the row itself.
QString withoutMarker(const QString &line)
{
    const qsizetype blank = line.indexOf(u' ');
    const bool marked = blank > 0 && blank <= 2 && !line.front().isLetterOrNumber();
    return (marked ? line.mid(blank + 1) : line).trimmed();
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
    m_probe.reset();
    m_process.reset();
    m_keeper.reset();
    m_tempFolder.reset();
}

void ConversionJob::start()
{
    if (const auto &refusal = m_plan.refusal) {
        emit logLine(refusal->line);
        emit finished({refusal->outcome, refusal->status, false, 0.0, false,
                       failureReason(withoutMarker(refusal->line))});
        return;
    }
    if (m_plan.textProbe && !m_probed) {
        startTextProbe();
        return;
    }
    const QString from = m_plan.inputs.size() > 1
                             ? QString::number(m_plan.inputs.size()) + QStringLiteral(" Dateien")
                             : lastComponent(m_plan.input);
    emit logLine(QStringLiteral("\nStarte Konvertierung: ") + from + QStringLiteral(" → ") +
                 lastComponent(m_plan.output));
    emit logLine(QStringLiteral("Befehl: pandoc ") + m_plan.arguments.join(u' '));
    for (const QString &note : std::as_const(m_plan.notes))
        emit logLine(note);

    const std::optional<QString> converter = m_converter.locate();
    if (!converter) {
        fail(QStringLiteral("❌ Pandoc nicht gefunden. Bitte installieren: ") +
                 ConverterService::kInstallPage,
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
    // First, so that a "--" among the extra options cannot make it an input.
    if (m_plan.logResources && m_tempFolder && m_tempFolder->isValid())
        arguments.prepend(QStringLiteral("--log=") + m_tempFolder->filePath(kResourceLogName));
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

void ConversionJob::startTextProbe()
{
    m_probed = true;
    const std::optional<QString> converter = m_converter.locate();
    if (!converter) {
        start(); // which says that it is missing
        return;
    }
    m_probe = std::make_unique<TextProbe>();
    connect(m_probe.get(), &TextProbe::finished, this, [this](const std::optional<QString> &text) {
        m_probe.release()->deleteLater();
        const QStringList pdf = m_plan.pdfForText(text);
        m_plan.arguments << pdf;
        if (!pdf.isEmpty())
            m_automaticEngine = QFileInfo(pdf.first().section(u'=', 1)).fileName();
        emit logLine(
            QStringLiteral("PDF-Engine (Automatisch): ") + m_automaticEngine +
            (text ? QString() : QStringLiteral(" (Text nicht lesbar, daher für jede Schrift)")));
        start();
    });
    m_probe->start(*converter, *m_plan.textProbe, m_plan.workingFolder, 120000);
}

void ConversionJob::cancel()
{
    if (m_probe) {
        m_probe.reset();
        // Later, as a converter's end would be: the caller may be walking its running jobs.
        QMetaObject::invokeMethod(
            this,
            [this] {
                emit logLine(QStringLiteral("⚠ Konvertierung abgebrochen"));
                emit finished({RunResult::Outcome::Skipped, {}, true, 0.0, false, {}});
            },
            Qt::QueuedConnection);
        return;
    }
    if (m_process)
        m_process->cancel(m_graceMs);
}

void ConversionJob::fail(const QString &line, const QString &status)
{
    emit logLine(line);
    emit finished({RunResult::Outcome::Failed, status, false, 0.0, false,
                   failureReason(withoutMarker(line))});
}

void ConversionJob::processEnded(const ConverterProcess::Outcome &outcome)
{
    using Kind = ConverterProcess::Kind;
    const QString errorText = m_process->errorText();
    const double seconds = double(m_clock.nsecsElapsed()) / 1e9;
    m_process.release()->deleteLater();
    End end{RunResult::Outcome::Failed, {}, false, seconds, false, {}};
    if (m_plan.logResources && m_tempFolder && m_tempFolder->isValid())
        end.resources =
            loadedResources(m_tempFolder->filePath(kResourceLogName), m_plan.workingFolder);
    m_tempFolder.reset();

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
        end.reason = failureReason(outcome.error);
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
        end.reason = failureReason(errorText);
        if (end.reason.isEmpty())
            end.reason = QStringLiteral("Signal ") + QString::number(outcome.code);
    } else if (outcome.code != 0) {
        emit logLine(QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: ") +
                     QString::number(outcome.code) + u')');
        for (const QString &line : fileErrorLines(errorText))
            emit logLine(line);
        const QString hint = exitHint(outcome.code, m_automaticEngine, errorText);
        if (!hint.isEmpty())
            emit logLine(QStringLiteral("⚠ ") + hint);
        end.failureStatus = QStringLiteral("✗ Konvertierung fehlgeschlagen");
        end.reason = failureReason(errorText);
        if (end.reason.isEmpty())
            end.reason = QStringLiteral("Exit Code ") + QString::number(outcome.code);
    } else if (replaceFailure) {
        // Exit 0 without a file (pandoc -v, a filter calling os.exit(0)) is no success.
        emit logLine(*replaceFailure);
        end.failureStatus = QStringLiteral("❌ Keine Ausgabe");
        end.reason = failureReason(withoutMarker(*replaceFailure));
    } else {
        for (const QString &note : std::as_const(replaceNotes))
            emit logLine(note);
        emit logLine(QStringLiteral("✓ Konvertierung erfolgreich: ") +
                     lastComponent(m_plan.output));
        end.outcome = RunResult::Outcome::Succeeded;
        // Only what leaves the document short; pandoc also warns about a missing title.
        end.warnings = !citationWarnings(errorText).isEmpty() ||
                       errorText.contains(QStringLiteral("Could not fetch resource"));
    }
    // Unknown citation keys are easy to miss in pandoc's own text above.
    if (outcome.kind == Kind::Exited) {
        for (const QString &line : citationWarnings(errorText))
            emit logLine(line);
    }
    emit finished(end);
}

QString failureReason(const QString &errorText)
{
    // A row and a tool tip, not a page: a converter may print megabytes on one line.
    constexpr qsizetype kMaxLength = 300;
    QString first;
    for (QStringView line : QStringView(errorText).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        if (first.isEmpty())
            first = line.toString();
        // Warnings come before the error that ended the run.
        if (!line.startsWith(u"[WARNING]") && !line.startsWith(u"[INFO]")) {
            first = line.toString();
            break;
        }
    }
    if (first.size() > kMaxLength)
        first = first.left(kMaxLength - 1) + u'…';
    return first;
}

namespace {

// What LaTeX said, when it says something a user can act on.
QString latexHint(const QString &errorText)
{
    static const QRegularExpression missingFile(
        QStringLiteral(R"(! LaTeX Error: File `([^']+)' not found)"));
    if (const auto found = missingFile.match(errorText); found.hasMatch())
        return QStringLiteral("PDF-Erstellung fehlgeschlagen: Das LaTeX-Paket „") +
               found.captured(1) +
               QStringLiteral("“ fehlt (unter Debian in einem der Pakete texlive-*).");
    if (errorText.contains(QStringLiteral("! Undefined control sequence")))
        return QStringLiteral("PDF-Erstellung fehlgeschlagen: LaTeX kennt einen Befehl aus dem "
                              "Dokument oder der LaTeX-Vorlage nicht (die Meldung oben nennt "
                              "ihn). Bitte den Befehl oder die Vorlage prüfen.");
    if (errorText.contains(QStringLiteral("not set up for use with LaTeX")) ||
        errorText.contains(QStringLiteral("Missing character")) ||
        errorText.contains(QStringLiteral("Unicode character")))
        return QStringLiteral("PDF-Erstellung fehlgeschlagen. Grund: Zeichen, die die "
                              "PDF-Engine nicht setzen kann (etwa Griechisch, Kyrillisch, "
                              "Chinesisch oder Emoji). Bitte unter „PDF-Engine“ „Automatisch“ "
                              "oder lualatex wählen.");
    if (errorText.contains(QStringLiteral("! ")))
        return QStringLiteral("PDF-Erstellung fehlgeschlagen; den Grund nennt die "
                              "LaTeX-Meldung oben (die Zeile mit „!“).");
    return {};
}

} // namespace

QStringList fileErrorLines(const QString &errorText)
{
    // pandoc: NAME: openBinaryFile: does not exist (No such file or directory)
    static const QRegularExpression fileError(
        QStringLiteral(R"(^pandoc: (.+): (?:openFile|openBinaryFile|withFile|withBinaryFile|)"
                       R"(createDirectory|removeLink|getDirectoryContents): )"
                       R"((does not exist|permission denied|resource busy|)"
                       R"(inappropriate type|resource exhausted))"),
        QRegularExpression::MultilineOption);
    QStringList lines;
    auto it = fileError.globalMatch(errorText);
    while (it.hasNext()) {
        const auto match = it.next();
        const QString file = match.captured(1);
        const QString what = match.captured(2);
        if (what == u"does not exist")
            lines << QStringLiteral("❌ Datei nicht gefunden: ") + file;
        else if (what == u"permission denied")
            lines << QStringLiteral("❌ Keine Berechtigung für: ") + file;
        else if (what == u"resource exhausted")
            lines << QStringLiteral("❌ Kein Platz mehr auf dem Datenträger beim Schreiben von: ") +
                         file;
        else
            lines << QStringLiteral("❌ Datei nicht verwendbar: ") + file;
    }
    return lines;
}

QString exitHint(int exitCode, const QString &automaticEngine, const QString &errorText)
{
    if (exitCode == 43) {
        if (const QString hint = latexHint(errorText); !hint.isEmpty())
            return hint;
    }
    if (exitCode == 43 && !automaticEngine.isEmpty())
        return QStringLiteral("PDF-Erstellung mit ") + automaticEngine +
               QStringLiteral(" fehlgeschlagen, obwohl „Automatisch“ die Engine nach dem Text "
                              "des Dokuments gewählt hat. Den Grund nennt die LaTeX-Meldung "
                              "oben; oft fehlt eine Schrift oder ein LaTeX-Paket (unter Debian "
                              "etwa fonts-noto-cjk, fonts-symbola oder texlive-lang-*). Unter "
                              "„PDF-Engine“ lässt sich auch eine andere Engine wählen.");
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
