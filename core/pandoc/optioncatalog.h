#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <span>

// Everything Velunor knows about pandoc's command-line options, in one table: the defaults
// writer and reader, the checks of the extra options and the command preview all read it.
namespace PandocOptions {

enum class Arg
{
    None,     // --flag
    Required, // --opt VALUE, --opt=VALUE, -xVALUE, -x VALUE
    Optional, // --opt or --opt=VALUE, never the next word
};

// How an option appears in a defaults file.
enum class Key
{
    None,   // no key, or only as a comment
    Flag,   // key: true
    Text,   // key: VALUE
    Number, // key: N
    List,   // key: [A, B], one item per use
    Map,    // key: {K: V}, one member per use
    Own,    // a form of its own, handled by name in the reader and writer
};

// What an option does beyond shaping the document.
enum Effect : unsigned
{
    Reads = 1u << 0,         // reads a file
    Writes = 1u << 1,        // writes a file or folder
    Runs = 1u << 2,          // runs a program
    ReadsDefaults = 1u << 3, // reads a defaults file, which may set any option
    NamesOutput = 1u << 4,   // chooses the output file
};

struct Option
{
    const char *name; // long name without "--"
    char shortName;   // 0 for none
    Arg arg;
    const char *key; // defaults-file key; "" for none
    Key keyType;
    unsigned effects;
    const char *canonical; // for aliases (--read, --toc): the option they stand for
};

std::span<const Option> all();
const Option *byName(QStringView name);
const Option *byShortName(QChar shortName);
const Option *byKey(QStringView key);
// The option a written long name means: exact, or the one option it is a prefix of, as
// pandoc accepts. Null when unknown or ambiguous.
const Option *byWrittenName(QStringView written);
QString canonicalName(const Option &option);

// One option as pandoc reads it from a list of words.
struct Use
{
    const Option *option = nullptr; // null for an unknown option
    QString written;                // "--metadata", "-M", "-sN"
    std::optional<QString> value;
    qsizetype firstWord = 0;
    qsizetype wordCount = 1;
};

struct Parsed
{
    QList<Use> uses;
    QStringList operands; // words that are not options (input files for pandoc)
    // Unknown or ambiguous options, missing values: pandoc stops with an error on these.
    QStringList problems;
};

// Splits like pandoc's own option parser: a value may be attached ("--css=a", "-Ma=b") or
// the next word, whatever it looks like ("--metadata --"); "--" ends the options; short
// flags bundle ("-sN").
Parsed parse(const QStringList &words);

// The first use of an option with one of these effects.
std::optional<Use> firstWith(const Parsed &parsed, unsigned effects);
bool uses(const Parsed &parsed, QStringView canonicalName);
// Takes every use of a known option that `pick` chooses out of `words` (with its value) and
// returns those uses; the other words stay in order.
QList<Use> takeUses(QStringList &words, const std::function<bool(const Option &)> &pick);

} // namespace PandocOptions
