#pragma once

#include <QString>

// A file path the user typed or pasted into a field, as a file manager or terminal hands it
// over: surrounding blanks and one pair of quotes go, a file:// URL and a leading "~/" are
// understood. Only an existing, readable regular file passes; a folder or a FIFO would make
// the converter fail or wait.
struct TypedPath
{
    QString path;    // absolute, when accepted
    QString problem; // a German sentence naming the path; "" when accepted
};

TypedPath checkTypedFile(const QString &typed);
