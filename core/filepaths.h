#pragma once

#include <QString>

// An absolute, clean path for comparing two locations: canonical where the file
// exists, else the canonical folder plus the file name.
QString comparablePath(const QString &path);
