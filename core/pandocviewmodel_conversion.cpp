// Single and batch conversion: an asynchronous state machine on the UI thread.
#include "pandocviewmodel.h"

#include "converterprocess.h"
#include "filepaths.h"
#include "formatname.h"
#include "shellwords.h"

#include <QFileInfo>

namespace {

const QString kSeparator = QString(60, u'=');

QString lastComponent(const QString &path)
{
    return QFileInfo(path).fileName();
}

QString absolutePath(const QString &path)
{
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

void PandocViewModel::showAlert(const QString &title, const QString &message)
{
    if (m_env.dialogs)
        m_env.dialogs->showAlert(title, message);
}

bool PandocViewModel::showConfirmation(const QString &title, const QString &message)
{
    return m_env.dialogs && m_env.dialogs->showConfirmation(title, message);
}

QStringList PandocViewModel::buildArguments(const QString &input, const QString &output,
                                            const QStringList &options,
                                            QList<Template> *passed) const
{
    QStringList args;
    const QString from = converterFormatName(m_inputFormat);
    if (from != u"auto")
        args << QStringLiteral("-f") << from;
    args << QStringLiteral("-t") << converterFormatName(m_outputFormat);
    args << input << QStringLiteral("-o") << output;
    if (m_standalone)
        args << QStringLiteral("--standalone");
    if (m_tableOfContents)
        args << QStringLiteral("--toc");
    if (m_numberSections)
        args << QStringLiteral("--number-sections");

    const std::pair<const std::optional<Template> &, QString> selections[] = {
        {m_selectedHtmlTemplate, QStringLiteral("--template")},
        {m_selectedCssTemplate, QStringLiteral("--css")},
        {m_selectedLatexTemplate, QStringLiteral("--template")},
        {m_selectedDocxTemplate, QStringLiteral("--reference-doc")},
    };
    for (const auto &[selection, option] : selections) {
        // Only a regular file: a FIFO would leave the converter waiting for ever.
        if (!selection || !QFileInfo(selection->filePath).isFile())
            continue;
        args << option << selection->filePath;
        if (passed)
            passed->append(*selection);
    }
    args << options;
    return args;
}

QString PandocViewModel::commandPreview() const
{
    if (m_inputFiles.isEmpty())
        return {};
    const ShellWords options = splitShellWords(m_additionalOptions);
    if (options.error)
        return QStringLiteral("(Zusatzoptionen fehlerhaft: ") + *options.error + u')';
    const QString input = m_inputFiles.first().toLocalFile();
    const QString output = m_inputFiles.size() == 1
                               ? (m_outputFile.isEmpty() ? QString() : absolutePath(m_outputFile))
                               : replaceLastExtension(input, converterFormatName(m_outputFormat));
    const QStringList args = buildArguments(input, output, options.words, nullptr);
    QStringList line{shellQuote(m_env.converter.locate().value_or(QStringLiteral("pandoc")))};
    for (const QString &arg : args)
        line << shellQuote(arg);
    return line.join(u' ');
}

void PandocViewModel::convert()
{
    if (m_inputFiles.isEmpty()) {
        appendLog(QStringLiteral("❌ Keine Eingabedatei ausgewählt"));
        return;
    }
    m_cancelRequested = false;
    setIsConverting(true);
    setProgress(0.0);
    setStatus(QStringLiteral("Konvertierung läuft..."), StatusColor::Blue);
    if (m_inputFiles.size() > 1) {
        convertBatch();
        return;
    }
    const QUrl output =
        m_outputFile.isEmpty() ? QUrl() : QUrl::fromLocalFile(absolutePath(m_outputFile));
    convertSingle(m_inputFiles.first(), output, true, [this](bool) { finishConversion(); });
}

void PandocViewModel::finishConversion()
{
    setIsConverting(false);
    emit conversionFinished();
}

void PandocViewModel::cancelConversion()
{
    if (!m_isConverting || !m_process)
        return;
    m_cancelRequested = true;
    m_process->cancel(m_env.cancelGraceMs);
}

void PandocViewModel::convertBatch()
{
    appendLog(u'\n' + kSeparator);
    appendLog(QStringLiteral("Batch-Konvertierung gestartet: ") +
              QString::number(m_inputFiles.size()) + QStringLiteral(" Dateien"));
    appendLog(kSeparator);
    m_batch = BatchRun{m_inputFiles};
    convertNextBatchFile();
}

void PandocViewModel::convertNextBatchFile()
{
    BatchRun &run = *m_batch;
    if (run.index >= run.files.size()) {
        finishBatch();
        return;
    }
    if (m_cancelRequested) {
        // Skipped files count as failures.
        run.failed += int(run.files.size() - run.index);
        run.index = run.files.size();
        finishBatch();
        return;
    }
    const qsizetype count = m_inputFiles.size();
    const QUrl input = run.files.at(run.index);
    const QString inputPath = input.toLocalFile();
    setProgress(double(run.index) / double(count));
    setStatusMessage(QStringLiteral("Konvertierung ") + QString::number(run.index + 1) + u'/' +
                     QString::number(count) + QStringLiteral(": ") + lastComponent(inputPath));
    const QString output = replaceLastExtension(inputPath, converterFormatName(m_outputFormat));
    convertSingle(input, QUrl::fromLocalFile(output), false, [this](bool ok) {
        BatchRun &current = *m_batch;
        ok ? ++current.succeeded : ++current.failed;
        ++current.index;
        convertNextBatchFile();
    });
}

void PandocViewModel::finishBatch()
{
    const BatchRun run = *m_batch;
    m_batch.reset();
    const QString succeeded = QString::number(run.succeeded);
    const QString failed = QString::number(run.failed);
    if (!m_cancelRequested) {
        setProgress(1.0);
        setStatus(QStringLiteral("Batch-Konvertierung abgeschlossen! Erfolg: ") + succeeded +
                      QStringLiteral(", Fehler: ") + failed,
                  run.failed > 0 ? StatusColor::Orange : StatusColor::Green);
    }
    appendLog(u'\n' + kSeparator);
    appendLog(QStringLiteral("Batch-Konvertierung abgeschlossen: ") + succeeded +
              QStringLiteral(" erfolgreich, ") + failed + QStringLiteral(" Fehler"));
    appendLog(kSeparator);
    if (!m_cancelRequested)
        showAlert(QStringLiteral("Batch-Konvertierung"),
                  QStringLiteral("Batch-Konvertierung abgeschlossen!\n\n✅ Erfolgreich: ") +
                      succeeded + QStringLiteral("\n❌ Fehler: ") + failed);
    finishConversion();
}

void PandocViewModel::convertSingle(const QUrl &input, const QUrl &output, bool showSuccess,
                                    std::function<void(bool)> done)
{
    const QString inputPath = input.toLocalFile();
    const QString outputPath = output.toLocalFile();
    const auto fail = [this, &done](const QString &line, const QString &status) {
        appendLog(line);
        setStatus(status, StatusColor::Red);
        done(false);
    };

    // Refused before anything runs: the converter would overwrite its own input.
    if (outputPath.isEmpty() || QFileInfo(outputPath).fileName().isEmpty()) {
        fail(QStringLiteral("❌ Keine Ausgabedatei angegeben für: ") + lastComponent(inputPath),
             QStringLiteral("❌ Keine Ausgabedatei"));
        return;
    }
    if (comparablePath(inputPath) == comparablePath(outputPath)) {
        fail(QStringLiteral("❌ Ausgabedatei wäre die Eingabedatei selbst: ") + inputPath,
             QStringLiteral("❌ Ausgabe überschreibt Eingabe"));
        return;
    }
    const ShellWords options = splitShellWords(m_additionalOptions);
    if (options.error) {
        fail(QStringLiteral("❌ Zusatzoptionen fehlerhaft: ") + *options.error,
             QStringLiteral("❌ Zusatzoptionen fehlerhaft"));
        return;
    }

    QList<Template> passed;
    const QStringList args = buildArguments(inputPath, outputPath, options.words, &passed);
    // Stamped before the converter is even located, whatever the outcome.
    for (const Template &t : passed)
        updateTemplateLastUsed(t);
    appendLog(QStringLiteral("\nStarte Konvertierung: ") + lastComponent(inputPath) +
              QStringLiteral(" → ") + lastComponent(outputPath));
    appendLog(QStringLiteral("Befehl: pandoc ") + args.join(u' '));

    const std::optional<QString> converter = m_env.converter.locate();
    if (!converter) {
        fail(QStringLiteral("❌ Pandoc nicht gefunden. Bitte installieren: ") + kInstallPage,
             QStringLiteral("❌ Pandoc nicht gefunden"));
        return;
    }

    m_process = std::make_unique<ConverterProcess>();
    connect(
        m_process.get(), &ConverterProcess::finished, this,
        [this, outputPath, showSuccess, done](const ConverterProcess::Outcome &outcome) {
            using Kind = ConverterProcess::Kind;
            const QString errorText = m_process->errorText();
            m_process.release()->deleteLater();
            if (outcome.kind == Kind::FailedToStart) {
                appendLog(QStringLiteral("❌ Fehler beim Ausführen von Pandoc: ") + outcome.error);
                setStatus(QStringLiteral("❌ Fehler"), StatusColor::Red);
                done(false);
                return;
            }
            if (!errorText.isEmpty())
                appendLog(errorText);
            if (outcome.kind == Kind::Cancelled) {
                appendLog(QStringLiteral("⚠ Konvertierung abgebrochen"));
                setStatus(QStringLiteral("⚠ Konvertierung abgebrochen"), StatusColor::Orange);
                done(false);
                return;
            }
            if (outcome.kind == Kind::Crashed) {
                appendLog(QStringLiteral("✗ Konvertierung fehlgeschlagen (Signal: ") +
                          QString::number(outcome.code) + u')');
                setStatus(QStringLiteral("✗ Konvertierung fehlgeschlagen"), StatusColor::Red);
                done(false);
                return;
            }
            if (outcome.code != 0) {
                appendLog(QStringLiteral("✗ Konvertierung fehlgeschlagen (Exit Code: ") +
                          QString::number(outcome.code) + u')');
                logExitHint(outcome.code);
                setStatus(QStringLiteral("✗ Konvertierung fehlgeschlagen"), StatusColor::Red);
                done(false);
                return;
            }
            appendLog(QStringLiteral("✓ Konvertierung erfolgreich: ") + lastComponent(outputPath));
            if (showSuccess) {
                setStatus(QStringLiteral("✓ Konvertierung erfolgreich!"), StatusColor::Green);
                if (showConfirmation(QStringLiteral("Konvertierung erfolgreich!"),
                                     QStringLiteral("Datei: ") + lastComponent(outputPath) +
                                         QStringLiteral("\n\nMöchten Sie die Ausgabedatei "
                                                        "öffnen?")) &&
                    m_env.desktop)
                    m_env.desktop->openFile(outputPath);
            }
            done(true);
        });
    m_process->start(*converter, args);
}

void PandocViewModel::logExitHint(int exitCode)
{
    QString hint;
    switch (exitCode) {
    case 47:
        hint = QStringLiteral("Keine PDF-Engine gefunden: Für PDF braucht Pandoc LaTeX, unter "
                              "Debian zum Beispiel das Paket texlive-latex-recommended.");
        break;
    case 21:
        hint = QStringLiteral("Pandoc kennt das gewählte Eingabeformat nicht.");
        break;
    case 22:
        hint = QStringLiteral("Pandoc kennt das gewählte Ausgabeformat nicht.");
        break;
    case 6:
        hint = QStringLiteral("Pandoc kennt eine der Zusatzoptionen nicht oder ihr Wert ist "
                              "ungültig; bitte die Zusatzoptionen prüfen.");
        break;
    case 1:
    case 99:
        hint = QStringLiteral("Eine Datei konnte nicht gelesen oder geschrieben werden; bitte "
                              "Pfade und Zugriffsrechte prüfen.");
        break;
    default:
        return;
    }
    appendLog(QStringLiteral("⚠ ") + hint);
}
