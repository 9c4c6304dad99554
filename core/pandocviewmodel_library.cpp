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
    if (!file.isLocalFile()) {
        const QString error = QStringLiteral("Keine lokale Datei: ") + source;
        printLine(QStringLiteral("Failed to import template: ") + error);
        appendLog(QStringLiteral("❌ Template konnte nicht importiert werden (") +
                  QFileInfo(source).fileName() + QStringLiteral("): ") + error);
        return;
    }
    const StoredFile stored = storeIntoLibrary(templateNameForFile(source), *type, source, {});
    if (!stored.ok && !stored.error.isEmpty()) {
        printLine(QStringLiteral("Failed to import template: ") + stored.error);
        appendLog(QStringLiteral("❌ Template konnte nicht importiert werden (") +
                  QFileInfo(source).fileName() + QStringLiteral("): ") + stored.error);
    }
}

StoredFile PandocViewModel::storeIntoLibrary(const QString &name, TemplateType type,
                                             const QString &source, const QString &description)
{
    StoredFile stored;
    const QString folder = m_env.store.kindFolder(type);
    // Name choice, copy and the listing happen under the index's lock, so that a second
    // window importing a file of the same name cannot take the same stored file.
    const bool written = updateStore(
        templateBinding(), m_templates,
        [&](QList<Template> &list) {
            stored = storeTemplateFile(source, folder, filePathsOf(list));
            if (stored.ok)
                list.append(newRecord(name, type, stored.path, description));
            return stored.ok;
        },
        [&stored](bool ok) {
            if (!ok && stored.copied)
                QFile::remove(stored.path);
        });
    // The failed save has been logged already.
    stored.ok = written;
    return stored;
}

bool PandocViewModel::addTemplate(const QString &name, TemplateType type, const QString &filePath,
                                  const QString &description)
{
    if (!m_env.store.isAvailable())
        return false;
    const StoredFile stored = storeIntoLibrary(name, type, filePath, description);
    if (!stored.ok && !stored.error.isEmpty()) {
        printLine(QStringLiteral("Failed to add template: ") + stored.error);
        appendLog(QStringLiteral("❌ Template konnte nicht hinzugefügt werden (") + name +
                  QStringLiteral("): ") + stored.error);
    }
    return stored.ok;
}

bool PandocViewModel::deleteTemplate(const Template &record)
{
    return deleteStoredRecord(
        templateBinding(), record, isTemplateInLibrary(record),
        {QStringLiteral("Template löschen?"),
         QStringLiteral("⚠ Templates können während einer Konvertierung nicht gelöscht werden"),
         QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek und bleibt erhalten."),
         QStringLiteral("Die Datei wird noch von einem anderen Template verwendet und bleibt "
                        "erhalten.")});
}

template <typename T>
bool PandocViewModel::deleteStoredRecord(const StoreBinding<T> &binding, const T &record,
                                         bool inLibrary, const DeleteTexts &texts)
{
    // A running conversion may still need the file.
    if (m_isConverting) {
        appendLog(texts.busy);
        return false;
    }
    const auto othersOf = [&record](const QList<T> &list) {
        QList<T> others;
        others.reserve(list.size());
        for (const T &r : list) {
            if (r.id != record.id)
                others.append(r);
        }
        return others;
    };
    const auto pathsOf = [](const QList<T> &list) {
        QStringList paths;
        for (const T &r : list)
            paths.append(r.filePath);
        return paths;
    };
    // Another record may share the stored file; it must not lose it.
    bool shared = inLibrary && isAnyOf(record.filePath, pathsOf(othersOf((this->*binding.list)())));
    QString consequence = QStringLiteral("Die Datei wird ebenfalls gelöscht!");
    if (!inLibrary)
        consequence = texts.outside;
    else if (shared)
        consequence = texts.shared;
    const QString question = QStringLiteral("Möchten Sie '") + record.name +
                             QStringLiteral("' wirklich löschen?\n\n") + consequence;
    if (!m_env.dialogs ||
        !m_env.dialogs->showWarningQuestion(texts.title, question, QStringLiteral("Löschen"),
                                            QStringLiteral("Abbrechen")))
        return false;

    // Another process may have given the file to a record of its own meanwhile: decided on
    // the merged list, and the file goes only once the list without the record is written.
    return updateStore(
        binding, (this->*binding.list)(),
        [&](QList<T> &list) {
            list = othersOf(list);
            shared = inLibrary && isAnyOf(record.filePath, pathsOf(list));
            return true;
        },
        [&](bool written) {
            if (written && inLibrary && !shared)
                QFile::remove(record.filePath);
        });
}

template bool PandocViewModel::deleteStoredRecord(const StoreBinding<CslStyle> &, const CslStyle &,
                                                  bool, const DeleteTexts &);

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
