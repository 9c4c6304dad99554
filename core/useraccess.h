#pragma once

#include <QString>

// Folders that belong to the user running this process and to nobody else, as the single
// instance needs them for its socket.
namespace UserAccess {

// True when `path` itself (not a link) is a folder owned by this user that nobody else may
// enter or change: mode 0700 exactly, and a parent that others cannot swap it out of.
bool isPrivateFolder(const QString &path);

// `path` as a private folder, created with mode 0700 when missing; empty when what is there
// (or what got there first) is not one.
QString makePrivateFolder(const QString &path);

// A new private folder with a name nobody can predict: `prefix` plus a random part.
QString makeUniquePrivateFolder(const QString &prefix);

} // namespace UserAccess
