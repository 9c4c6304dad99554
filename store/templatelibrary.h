#pragma once

#include "storelocation.h"
#include "templatetype.h"

#include <QString>
#include <QStringList>
#include <optional>

// File-system steps of the template library, free of the view model so they can be tested alone.

// The last extension of a file name, lower-cased; empty when there is none.
QString lowerCaseExtension(const QString &fileName);
// The one extension (lower case, without the dot) an imported file of this kind has.
QString importExtension(TemplateType type);
// The kind an imported file's extension stands for; only html, tex, docx and css count.
std::optional<TemplateType> templateTypeForFile(const QString &fileName);
// The record name for a chosen file: its last component without the last extension.
QString templateNameForFile(const QString &fileName);
// "a.tex" with n = 2 gives "a (2).tex"; the number goes before the last extension.
QString numberedFileName(const QString &fileName, int n);

// True when both paths name the same file, also through links or "..".
bool isSameFile(const QString &a, const QString &b);
bool isAnyOf(const QString &path, const QStringList &paths);

struct StoredFile
{
    bool ok = false;
    QString path;
    QString error;
    // A new file was written at `path` (not a source that already lay there).
    bool copied = false;
};

// Copies `source` into `folder` under its own name. A name whose file belongs to one of
// `referencedPaths` is never replaced: the copy gets the first free numbered name instead.
// A source that already lies at the destination is kept as it is and not copied. A link at the
// destination is replaced, never written through; `folder` or one of `realFolders` being a
// link refuses. Another process choosing names in the same folder must be kept out (the store
// lock) until the new file is listed.
StoredFile storeLibraryFile(const QString &source, const QString &folder,
                            const QStringList &realFolders, const QStringList &referencedPaths);
// The same for a template's kind folder, which lies in the template folder.
StoredFile storeTemplateFile(const QString &source, const QString &kindFolder,
                             const QStringList &referencedPaths);

// True when `filePath` lies directly in `folder` (given relative to the store folder), also
// after resolving links; the store folder may be reached through a link, nothing below it.
// Velunor reads, writes and deletes no library file elsewhere.
bool isInLibraryFolder(const QString &filePath, const StoreLocation &store, const QString &folder);
// The store's own folder for `type`.
bool isInKindFolder(const QString &filePath, const StoreLocation &store, TemplateType type);

// Writes a copy of `source` over `destination` in one step; on failure an existing
// destination stays as it was.
bool copyFileReplacing(const QString &source, const QString &destination, QString *error);

// The start of a text file for a preview, decoded as UTF-8.
struct TextPreview
{
    enum class State
    {
        Ok,
        Truncated,
        Unreadable
    };
    State state = State::Unreadable;
    QString text;
};
TextPreview readTextPreview(const QString &path, qint64 maxBytes);
