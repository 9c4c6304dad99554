#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>
#include <span>
#include <string>
#include <vector>

// The one reader behind all store files. Each kind of record names its keys; the reader
// collects the scalar under each key of an element and hands them over once the element
// closes. A syntax error anywhere wins over a bad element; otherwise the first bad element
// fails the whole file.
struct RecordShape
{
    std::span<const char *const> keys;
    // csl-styles.json has always said "fehlt oder ist kein Text" for a missing, null or
    // mistyped member, named no element and passed the parser's own syntax messages on.
    bool coarseMessages = false;
    // The template and preset files refuse deep nesting, even in keys nobody reads.
    bool limitDepth = true;
};

// One member as read; only scalars are kept, anything nested counts as "other".
struct RecordValue
{
    enum Kind
    {
        Absent,
        Null,
        String,
        Bool,
        Number,
        Other
    };
    Kind kind = Absent;
    std::string text;
    double number = 0;
    bool flag = false;
};

// The members of one element, by the position of their key in the shape. Every accessor
// throws with the wording of the shape when the member does not fit.
class RecordFields
{
public:
    RecordFields(const RecordShape &shape, const std::vector<RecordValue> &values)
        : m_shape(shape), m_values(values)
    {
    }

    QString text(int field) const;
    const std::string &utf8(int field) const;
    std::optional<QString> optionalText(int field) const;
    bool flag(int field) const;
    std::optional<bool> optionalFlag(int field) const;
    double number(int field) const;
    // Only the 8-4-4-4-12 hex form, as written.
    QUuid uuid(int field) const;

    [[noreturn]] void fail(int field, const std::string &what) const;

private:
    const RecordValue &expect(int field, RecordValue::Kind kind, const char *wrongKind) const;
    bool absent(int field) const;

    const RecordShape &m_shape;
    const std::vector<RecordValue> &m_values;
};

// Where the reader puts the records; it may start over once.
class RecordSink
{
public:
    virtual void restart() = 0;
    virtual void add(const RecordFields &fields) = 0;

protected:
    ~RecordSink() = default;
};

bool readRecords(const QByteArray &data, const RecordShape &shape, RecordSink &sink,
                 QString *error);

// On failure `error` says why and `out` is left untouched.
template <typename T, typename Make>
bool readRecords(const QByteArray &data, const RecordShape &shape, Make make, QList<T> *out,
                 QString *error)
{
    struct List final : RecordSink
    {
        explicit List(Make &m) : make(m) {}
        void restart() override { records.clear(); }
        void add(const RecordFields &fields) override { records.append(make(fields)); }
        Make &make;
        QList<T> records;
    } list(make);
    if (!readRecords(data, shape, list, error))
        return false;
    *out = std::move(list.records);
    return true;
}
