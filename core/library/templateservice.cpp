#include "templateservice.h"

#include "templatelibrary.h"
#include "templateorder.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
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

TemplateService::TemplateService(const StoreLocation &store, Dialogs *dialogs, Desktop *desktop,
                                 StoreLog::Log log, QObject *parent)
    : QObject(parent), m_store(store), m_dialogs(dialogs), m_desktop(desktop), m_log(log),
      m_records(store.isAvailable(), store.templatesFile(),
                {QStringLiteral("Die Templates"),
                 QStringLiteral("❌ Fehler beim Speichern der Templates: "),
                 QStringLiteral("⚠ Fehler beim Laden der Templates: "),
                 QStringLiteral("Templates")},
                log, [this] { emit changed(); })
{
    m_descriptionSave.setSingleShot(true);
    m_descriptionSave.setInterval(kDescriptionSaveDelayMs);
    connect(&m_descriptionSave, &QTimer::timeout, this, &TemplateService::save);
}

TemplateService::~TemplateService()
{
    // The last description edit must not be lost with the window.
    flushPendingSaves();
}

void TemplateService::save()
{
    m_descriptionSave.stop();
    m_records.save();
}

void TemplateService::flushPendingSaves()
{
    if (m_descriptionSave.isActive())
        save();
}

void TemplateService::updateLastUsed(const Template &record)
{
    for (Template &t : m_records.edit()) {
        if (t.id == record.id) {
            t.lastUsed = QDateTime::currentDateTimeUtc();
            m_records.announce();
            save();
            return;
        }
    }
}

void TemplateService::importFile(const QUrl &file)
{
    const QString source = file.isLocalFile() ? file.toLocalFile() : file.toString();
    const std::optional<TemplateType> type = templateTypeForFile(source);
    if (!type) {
        printLine(QStringLiteral("Unsupported file type: ") + lowerCaseExtension(source));
        QStringList kinds;
        for (TemplateType kind : templateTypeAllCases)
            kinds << u'.' + importExtension(kind) + QStringLiteral(" (") + displayName(kind) + u')';
        m_log(QStringLiteral("❌ Nicht unterstützter Dateityp: ") + QFileInfo(source).fileName() +
              QStringLiteral(" – importiert werden können ") + kinds.join(QStringLiteral(", ")));
        return;
    }
    if (!m_store.isAvailable())
        return;
    QString error;
    if (!file.isLocalFile()) {
        error = QStringLiteral("Keine lokale Datei: ") + source;
    } else {
        const StoredFile stored = storeIntoLibrary(templateNameForFile(source), *type, source, {});
        if (stored.ok || stored.error.isEmpty())
            return;
        error = stored.error;
    }
    printLine(QStringLiteral("Failed to import template: ") + error);
    m_log(QStringLiteral("❌ Template konnte nicht importiert werden (") +
          QFileInfo(source).fileName() + QStringLiteral("): ") + error);
}

StoredFile TemplateService::storeIntoLibrary(const QString &name, TemplateType type,
                                             const QString &source, const QString &description)
{
    StoredFile stored;
    const QString folder = m_store.kindFolder(type);
    // Name choice, copy and the listing happen under the index's lock, so that a second
    // window importing a file of the same name cannot take the same stored file.
    const bool written = m_records.update(
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

bool TemplateService::add(const QString &name, TemplateType type, const QString &filePath,
                          const QString &description)
{
    if (!m_store.isAvailable())
        return false;
    const StoredFile stored = storeIntoLibrary(name, type, filePath, description);
    if (!stored.ok && !stored.error.isEmpty()) {
        printLine(QStringLiteral("Failed to add template: ") + stored.error);
        m_log(QStringLiteral("❌ Template konnte nicht hinzugefügt werden (") + name +
              QStringLiteral("): ") + stored.error);
    }
    return stored.ok;
}

bool TemplateService::remove(const Template &record)
{
    return m_records.remove(
        record, isInLibrary(record),
        {QStringLiteral("Template löschen?"),
         QStringLiteral("Die Datei liegt außerhalb der Template-Bibliothek und bleibt erhalten."),
         QStringLiteral("Die Datei wird noch von einem anderen Template verwendet und bleibt "
                        "erhalten.")},
        m_dialogs);
}

void TemplateService::toggleFavorite(const std::optional<Template> &selected)
{
    if (!selected)
        return;
    for (Template &t : m_records.edit()) {
        if (t.id == selected->id) {
            t.isFavorite = !t.isFavorite;
            m_records.announce();
            save();
            return;
        }
    }
}

void TemplateService::updateDescription(const QUuid &id, const QString &text)
{
    for (Template &t : m_records.edit()) {
        if (t.id == id) {
            t.description = text;
            // Rewriting a large index per keystroke stalls typing; the save waits for a pause.
            m_editedDescription = id;
            m_records.announce();
            m_editedDescription.reset();
            m_descriptionSave.start();
            return;
        }
    }
}

void TemplateService::openFolder()
{
    if (!m_store.isAvailable())
        return;
    const QString folder = m_store.templateFolder();
    QDir().mkpath(folder);
    if (m_desktop)
        m_desktop->openFolder(folder);
}

bool TemplateService::exportTo(const Template &record, const QString &destination)
{
    if (!isInLibrary(record)) {
        m_log(QStringLiteral("❌ Export abgelehnt (") + record.name +
              QStringLiteral("): Die Datei liegt außerhalb der Template-Bibliothek: ") +
              record.filePath);
        return false;
    }
    // Exporting a file onto itself would truncate it.
    if (isSameFile(record.filePath, destination) && QFileInfo::exists(destination))
        return true;
    QString error;
    if (!copyFileReplacing(record.filePath, destination, &error)) {
        m_log(QStringLiteral("❌ Export fehlgeschlagen (") + record.name + QStringLiteral("): ") +
              error);
        return false;
    }
    return true;
}

QList<Template> TemplateService::filtered(std::optional<TemplateType> type,
                                          bool favoritesOnly) const
{
    QList<Template> kept;
    kept.reserve(templates().size());
    for (const Template &t : templates()) {
        if ((!type || t.type == *type) && (!favoritesOnly || t.isFavorite))
            kept.append(t);
    }
    return sortedTemplates(std::move(kept));
}

bool TemplateService::isInLibrary(const Template &record) const
{
    return isInKindFolder(record.filePath, m_store, record.type);
}

QStringList TemplateService::outsideWarnings(const QList<Template> &passed) const
{
    QStringList lines;
    for (const Template &t : passed) {
        if (!isInLibrary(t))
            lines << QStringLiteral("⚠ Template außerhalb der Bibliothek verwendet: ") + t.name +
                         QStringLiteral(" (") + t.filePath + u')';
    }
    return lines;
}

void TemplateService::stamp(const QSet<QUuid> &ids)
{
    QSet<QUuid> used = ids;
    if (used.isEmpty())
        return;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    bool stamped = false;
    for (Template &t : m_records.edit()) {
        if (used.remove(t.id)) {
            t.lastUsed = now;
            stamped = true;
        }
    }
    if (!stamped)
        return;
    m_records.announce();
    m_stampSavePending = true;
}

void TemplateService::saveStamps()
{
    if (std::exchange(m_stampSavePending, false))
        QTimer::singleShot(0, this, &TemplateService::save);
}
