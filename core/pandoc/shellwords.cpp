#include "shellwords.h"

namespace {

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

// Nothing runs when the text cannot be split, so no words half-way through either.
ShellWords failed(const QString &why)
{
    return {{}, why};
}

} // namespace

ShellWords splitShellWords(const QString &text)
{
    ShellWords result;
    QString word;
    bool inWord = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (isBlank(c)) {
            if (inWord) {
                result.words.append(word);
                word.clear();
                inWord = false;
            }
            continue;
        }
        inWord = true;
        if (c == u'\\') {
            if (i + 1 >= n) {
                word += c; // a lone trailing backslash stays what it is
            } else if (text[i + 1] == u'\n') {
                ++i; // line continuation
            } else {
                word += text[++i];
            }
        } else if (c == u'\'') {
            const qsizetype close = text.indexOf(u'\'', i + 1);
            if (close < 0) {
                return failed(QStringLiteral("einfaches Anführungszeichen nicht geschlossen"));
            }
            word += QStringView(text).sliced(i + 1, close - i - 1);
            i = close;
        } else if (c == u'"') {
            qsizetype j = i + 1;
            for (; j < n && text[j] != u'"'; ++j) {
                // Inside double quotes a backslash escapes only these.
                if (text[j] == u'\\' && j + 1 < n &&
                    QStringView(u"$`\"\\\n").contains(text[j + 1])) {
                    ++j;
                    if (text[j] == u'\n')
                        continue;
                }
                word += text[j];
            }
            if (j >= n) {
                return failed(QStringLiteral("doppeltes Anführungszeichen nicht geschlossen"));
            }
            i = j;
        } else {
            word += c;
        }
    }
    if (inWord)
        result.words.append(word);
    return result;
}

QString shellQuote(const QString &argument)
{
    if (argument.isEmpty())
        return QStringLiteral("''");
    static const QString safe = QStringLiteral("@%+=:,./-_");
    bool plain = true;
    for (QChar c : argument) {
        if (!(c.isLetterOrNumber() && c.unicode() < 0x80) && !safe.contains(c)) {
            plain = false;
            break;
        }
    }
    if (plain)
        return argument;
    QString quoted = argument;
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return u'\'' + quoted + u'\'';
}
