// The PATH splitter: pieces are never empty, never hold a ':', and keep every other character.
#include "convertersearch.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString value = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const QStringList pieces = ConverterSearch::splitPath(value);
    qsizetype kept = 0;
    for (const QString &piece : pieces) {
        if (piece.isEmpty() || piece.contains(u':'))
            std::abort();
        kept += piece.size();
    }
    if (kept != value.size() - value.count(u':'))
        std::abort();
    const QStringList candidates = ConverterSearch({}, value).candidates();
    if (candidates.size() != pieces.size())
        std::abort();
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        if (candidates.at(i) != pieces.at(i) + QStringLiteral("/pandoc"))
            std::abort();
    }
    return 0;
}
