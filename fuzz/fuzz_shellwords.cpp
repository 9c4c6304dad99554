// The extra-options splitter: words it produces, quoted again, must split back to themselves.
#include "shellwords.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const ShellWords split = splitShellWords(text);
    if (split.error) {
        if (!split.words.isEmpty() || split.error->isEmpty())
            std::abort();
        return 0;
    }
    QStringList quoted;
    for (const QString &word : split.words)
        quoted << shellQuote(word);
    const ShellWords again = splitShellWords(quoted.join(u' '));
    if (again.error || again.words != split.words)
        std::abort();
    return 0;
}
