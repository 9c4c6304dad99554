#include "extraoptions.h"

#include "shellwords.h"

namespace {

// Short options that take no value, so more options may follow in the same word.
const QString kShortFlags = QStringLiteral("sNpiCvh");

bool namesOutputLong(const QString &word)
{
    // The converter accepts any unambiguous prefix of a long option.
    const QString name = word.section(u'=', 0, 0);
    return name.size() >= 3 && QStringLiteral("--output").startsWith(name);
}

} // namespace

std::optional<QString> findOutputOption(const QStringList &words)
{
    bool valueFollows = false;
    for (const QString &word : words) {
        if (valueFollows) {
            valueFollows = false;
            continue;
        }
        if (word == u"--")
            break; // only file names after this
        if (word.startsWith(u"--")) {
            if (namesOutputLong(word))
                return word;
            continue;
        }
        if (!word.startsWith(u'-') || word.size() < 2)
            continue;
        // A bundle of short options such as -so: flags, then maybe one that takes a value.
        for (qsizetype i = 1; i < word.size(); ++i) {
            const QChar c = word.at(i);
            if (c == u'o')
                return word;
            if (kShortFlags.contains(c))
                continue;
            valueFollows = i + 1 == word.size();
            break;
        }
    }
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
