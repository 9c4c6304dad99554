#pragma once

#include <QString>

// A key that is equal for two paths exactly when they name one file: the device and
// inode of the file, or of its folder plus the name where the file does not exist yet.
// Catches a folder reached by two paths (a bind mount, a link) and, on file systems
// that fold case, names that differ only in case. "" when not even the folder exists.
QString fileIdentity(const QString &path);
