// Template library operations of the view model: import, add, delete, favourites, descriptions.
#include "pandocviewmodel.h"

#include "templatelibrary.h"
#include "templateorder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

namespace {

// Import and add failures are reported on standard output as well as in the log.
void printLine(const QString &line)
{
    QTextStream out(stdout);
    out << line << Qt::endl;
}

QStringList filePathsOf(const QList<Template> &templates)
{
    QStringList paths;
    paths.reserve(templates.size());
    for (const Template &t : templates)
        paths.append(t.filePath);
    return paths;
}

Template newRecord(const QString &name, TemplateType type, const QString &filePath,
                   const QString &description)
{
    Template record;
    record.id = QUuid::createUuid();
    record.name = name;
    record.type = type;
    record.filePath = filePath;
    record.isFavorite = false;
    record.lastUsed = QDateTime::currentDateTimeUtc();
    record.description = description;
    return record;
}

} // namespace

void PandocViewModel::handleTemplateImport(const PanelResult &outcome)
{
    if (outcome.error) {
        printLine(QStringLiteral("Import failed: ") + *outcome.error);
        appendLog(QStringLiteral("❌ Import fehlgeschlagen: ") + *outcome.error);
        return;
    }
    for (const QUrl &url : outcome.urls)
        importTemplate(url);
}

void PandocViewModel::importTemplate(const QUrl &file)
{
    const QString source = file.isLocalFile() ? file.toLocalFile() : file.toString();
    // Citation styles have a list of their own beside the template index.
    if (file.isLocalFile() && lowerCaseExtension(source) == u"csl") {
        importCslStyle(source);
        return;
    }
    const std::optional<TemplateType> type = templateTypeForFile(source);
    if (!type) {
        printLine(QStringLiteral("Unsupported file type: ") + lowerCaseExtension(source));
        QStringList kinds;
        for (TemplateType kind : templateTypeAllCases)
            kinds << u'.' + importExtension(kind) + QStringLiteral(" (") + displayName(kind) + u')';
        appendLog(QStringLiteral("❌ Nicht unterstützter Dateityp: ") +
                  QFileInfo(source).fileName() + QStringLiteral(" – importiert werden können ") +
                  kinds.join(QStringLiteral(", ")));
        return;
    }
    if (!m_env.store.isAvailable())
        return;
    refreshTemplatesFromDisk();

    StoredFile stored;
    if (file.isLocalFile())
        stored = storeTemplateFile(source, m_env.store.kindFolder(*type), filePathsOf(m_templates));
    else
        stored.error = QStringLiteral("Keine lokale Datei: ") + source;
    if (!stored.ok) {
        printLine(QStringLiteral("Failed to import template: ") + stored.error);
        appendLog(QStringLiteral("❌ Template konnte nicht importiert werden (") +
                  QFileInfo(source).fileName() + QStringLiteral("): ") + stored.error);
        return;
    }
    m_templates.append(newRecord(templateNameForFile(source), *type, stored.path, QString()));
    emit templatesChanged();
    saveTemplates();
}

bool PandocViewModel::addTemplate(const QString &name, TemplateType type, const QString &filePath,
                                  const QString &description)
{
    if (!m_env.store.isAvailable())
        return false;
    refreshTemplatesFromDisk();
    const StoredFile stored =
        storeTemplateFile(filePath, m_env.store.kindFolder(type), filePathsOf(m_templates));
    if (!stored.ok) {
        printLine(QStringLiteral("Failed to add template: ") + stored.error);
        appendLog(QStringLiteral("❌ Template konnte nicht hinzugefügt werden (") + name +
                  QStringLiteral("): ") + stored.error);
        return false;
    }
    m_templates.append(newRecord(name, type, stored.path, description));
    emit templatesChanged();
    saveTemplates();
    return true;
}

bool PandocViewModel::deleteTemplate(const Template &record)
{
    // A running conversion may still need the file.
    if (m_isConverting) {
        appendLog(QStringLiteral("⚠ Templates können während einer Konvertierung nicht gelöscht "
                                 "werden"));
        return false;
    }
    const auto othersOf = [this, &record] {
        QList<Template> others;
        others.reserve(m_templates.size());
        for (const Template &t : std::as_const(m_templates)) {
            if (t.id != record.id)
                others.append(t);
        }
        return others;
    };
    const bool inLibrary = isTemplateInLibrary(record);
    // Another record may share the stored file; it must not lose it.
    bool shared = inLibrary && isAnyOf(record.filePath, filePathsOf(othersOf()));
    QString consequence = QStringLiteral("Die Datei wird ebenfalls gelöscht!");
    if (!inLibrary)
        consequence = QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek und "
                                     "bleibt erhalten.");
    else if (shared)
        consequence = QStringLiteral("Die Datei wird noch von einem anderen Template verwendet "
                                     "und bleibt erhalten.");
    const QString question = QStringLiteral("Möchten Sie '") + record.name +
                             QStringLiteral("' wirklich löschen?\n\n") + consequence;
    if (!m_env.dialogs ||
        !m_env.dialogs->showWarningQuestion(QStringLiteral("Template löschen?"), question,
                                            QStringLiteral("Löschen"), QStringLiteral("Abbrechen")))
        return false;

    // Another process may have given the file to a record of its own.
    refreshTemplatesFromDisk();
    QList<Template> remaining = othersOf();
    shared = inLibrary && isAnyOf(record.filePath, filePathsOf(remaining));
    if (inLibrary && !shared)
        QFile::remove(record.filePath);
    m_templates = std::move(remaining);
    emit templatesChanged();
    saveTemplates();
    return true;
}

void PandocViewModel::toggleFavorite(const std::optional<Template> &selected)
{
    if (!selected)
        return;
    for (Template &t : m_templates) {
        if (t.id == selected->id) {
            t.isFavorite = !t.isFavorite;
            emit templatesChanged();
            saveTemplates();
            return;
        }
    }
}

void PandocViewModel::updateDescription(const QUuid &id, const QString &text)
{
    for (Template &t : m_templates) {
        if (t.id == id) {
            t.description = text;
            // Rewriting a large index per keystroke stalls typing; the save waits for a pause.
            m_editedDescription = id;
            emit templatesChanged();
            m_editedDescription.reset();
            m_descriptionSave.start();
            return;
        }
    }
}

void PandocViewModel::openTemplateFolder()
{
    if (!m_env.store.isAvailable())
        return;
    const QString folder = m_env.store.templateFolder();
    QDir().mkpath(folder);
    if (m_env.desktop)
        m_env.desktop->openFolder(folder);
}

bool PandocViewModel::exportTemplate(const Template &record, const QString &destination)
{
    if (!isTemplateInLibrary(record)) {
        appendLog(QStringLiteral("❌ Export abgelehnt (") + record.name +
                  QStringLiteral("): Die Datei liegt außerhalb der Template-Bibliothek: ") +
                  record.filePath);
        return false;
    }
    // Exporting a file onto itself would truncate it.
    if (isSameFile(record.filePath, destination) && QFileInfo::exists(destination))
        return true;
    QString error;
    if (!copyFileReplacing(record.filePath, destination, &error)) {
        appendLog(QStringLiteral("❌ Export fehlgeschlagen (") + record.name +
                  QStringLiteral("): ") + error);
        return false;
    }
    return true;
}

QList<Template> PandocViewModel::filteredTemplates(std::optional<TemplateType> type,
                                                   bool favoritesOnly) const
{
    QList<Template> kept;
    kept.reserve(m_templates.size());
    for (const Template &t : m_templates) {
        if ((!type || t.type == *type) && (!favoritesOnly || t.isFavorite))
            kept.append(t);
    }
    return sortedTemplates(std::move(kept));
}

bool PandocViewModel::isTemplateInLibrary(const Template &record) const
{
    return isInKindFolder(record.filePath, m_env.store, record.type);
}

QStringList PandocViewModel::outsideTemplateWarnings(const QList<Template> &passed) const
{
    QStringList lines;
    for (const Template &t : passed) {
        if (!isTemplateInLibrary(t))
            lines << QStringLiteral("⚠ Template außerhalb der Bibliothek verwendet: ") + t.name +
                         QStringLiteral(" (") + t.filePath + u')';
    }
    return lines;
}
