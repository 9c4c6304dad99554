#include "extraoptions.h"

#include "defaultsfile.h"
#include "fileidentity.h"
#include "optioncatalog.h"
#include "shellwords.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

using namespace PandocOptions;

std::optional<QString> findOutputOption(const QStringList &words)
{
    if (const auto use = firstWith(parse(words), NamesOutput))
        return words[use->firstWord];
    return std::nullopt;
}

ExtraOptions parseExtraOptions(const QString &text)
{
    const ShellWords split = splitShellWords(text);
    if (split.error)
        return {{}, split.error};
    if (const auto option = findOutputOption(split.words))
        return {{},
                option.value() + QStringLiteral(" ist nicht erlaubt, die Ausgabedatei wird im "
                                                "Feld \u201EAusgabedatei\u201C gewählt")};
    return {split.words, std::nullopt};
}

namespace {

// Where pandoc finds `-d NAME` run in `workingFolder`: there, with ".yaml" added when the
// name has no suffix, then in the user data folder's "defaults". Empty when not found.
QString locateDefaultsFile(const QString &name, const QString &workingFolder)
{
    const QString expanded =
        name.startsWith(QStringLiteral("~/")) ? QDir::homePath() + name.mid(1) : name;
    const auto find = [&expanded](const QString &folder) -> QString {
        const QString path = QDir(folder).absoluteFilePath(expanded);
        if (QFileInfo(path).isFile())
            return path;
        if (QFileInfo(expanded).suffix().isEmpty() &&
            QFileInfo(path + QStringLiteral(".yaml")).isFile())
            return path + QStringLiteral(".yaml");
        return {};
    };
    if (const QString here = find(workingFolder); !here.isEmpty())
        return here;
    if (QFileInfo(expanded).isAbsolute())
        return {};
    return find(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                QStringLiteral("/pandoc/defaults"));
}

// The protected file a written path would replace, if any.
std::optional<QString> overwrites(const QString &written, const QString &workingFolder,
                                  const ProtectedFiles &protect)
{
    if (written.isEmpty())
        return std::nullopt;
    const QString identity = fileIdentity(QDir(workingFolder).absoluteFilePath(written));
    const auto found = protect.constFind(identity);
    if (identity.isEmpty() || found == protect.cend())
        return std::nullopt;
    return found.value();
}

QString overwriteError(const QString &what, const QString &file)
{
    return what + QStringLiteral(" würde ") + file + QStringLiteral(" überschreiben");
}

} // namespace

ProtectedFiles protectedFiles(const QStringList &paths)
{
    ProtectedFiles files;
    for (const QString &path : paths) {
        if (const QString identity = fileIdentity(path); !identity.isEmpty())
            files.insert(identity, QFileInfo(path).fileName());
    }
    return files;
}

std::optional<QString> checkOptionFiles(const QStringList &words, const QString &workingFolder,
                                        const ProtectedFiles &protect)
{
    const Parsed parsed = parse(words);
    for (const Use &use : parsed.uses) {
        if (!use.option || !use.value)
            continue;
        if (use.option->effects & ReadsDefaults) {
            const QString path = locateDefaultsFile(*use.value, workingFolder);
            const QString name = QFileInfo(*use.value).fileName();
            if (path.isEmpty())
                return QStringLiteral("Defaults-Datei nicht gefunden: ") + *use.value;
            const DefaultsImport read = readDefaults(path);
            if (read.error)
                return QStringLiteral("Defaults-Datei ") + name + QStringLiteral(": ") +
                       *read.error;
            for (const DefaultsEffect &effect : read.effects) {
                if (effect.effects & NamesOutput)
                    return QStringLiteral("Defaults-Datei ") + name +
                           QStringLiteral(" bestimmt die Ausgabedatei (output-file); sie wird im "
                                          "Feld \u201EAusgabedatei\u201C gewählt");
                if (!(effect.effects & Writes))
                    continue;
                if (const auto file = overwrites(effect.value, workingFolder, protect))
                    return overwriteError(
                        QStringLiteral("Defaults-Datei ") + name + u' ' + effect.key, *file);
            }
        } else if (use.option->effects & Writes) {
            if (const auto file = overwrites(*use.value, workingFolder, protect))
                return overwriteError(use.written, *file);
        }
    }
    return std::nullopt;
}
