#pragma once

#include <QString>

// Whether a folder may hold files that programs we start will trust: a real folder (not a
// link) owned by this user and writable by nobody else. `reason` says why not.
bool isPrivateFolder(const QString &path, QString *reason);
