#include "syncedrecords.h"

namespace StoreLog {

void saveResult(const Log &log, const RecordFile::SaveResult &result, const QString &failure)
{
    if (!result.keptAside.isEmpty())
        log(QStringLiteral("⚠ Unlesbare Datei aufbewahrt als: ") + result.keptAside);
    if (!result.ok)
        log(failure + result.error);
}

void merged(const Log &log, const QString &what, int conflicts)
{
    QString line = QStringLiteral("⚠ ") + what +
                   QStringLiteral(" wurden inzwischen von einem anderen Velunor geändert; "
                                  "beide Änderungen wurden zusammengeführt.");
    if (conflicts > 0)
        line += QStringLiteral(" Bei %1 gleichzeitig geänderten Einträgen gilt die Fassung "
                               "dieses Fensters.")
                    .arg(conflicts);
    log(line);
}

void droppedEdits(const Log &log, const QStringList &names)
{
    for (const QString &name : names)
        log(QStringLiteral("⚠ Inzwischen in einem anderen Velunor gelöscht, die Änderung "
                           "wurde verworfen: ") +
            name);
}

void renewedIds(const Log &log, qsizetype count, const QString &what)
{
    if (count > 0)
        log(QStringLiteral("⚠ Doppelte IDs in den ") + what + QStringLiteral(": ") +
            (count == 1 ? QStringLiteral("1 Eintrag hat")
                        : QString::number(count) + QStringLiteral(" Einträge haben")) +
            QStringLiteral(" eine neue ID erhalten"));
}

} // namespace StoreLog
