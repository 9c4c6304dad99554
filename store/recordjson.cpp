#include "recordjson.h"

#include "recordread.h"

#include <charconv>
#include <cmath>

namespace {

constexpr qint64 kReferenceOffsetSeconds = 978307200; // 2001-01-01 minus 1970-01-01
// Far beyond any real date, but small enough that the millisecond value cannot overflow.
constexpr double kMaxAbsSeconds = 1.0e13;

QDateTime dateFromSeconds(const RecordFields &fields, int field)
{
    const double seconds = fields.number(field);
    if (!std::isfinite(seconds) || std::fabs(seconds) > kMaxAbsSeconds)
        fields.fail(field, "liegt außerhalb des gültigen Bereichs");
    return fromReferenceSeconds(seconds);
}

constexpr const char *kTemplateKeys[] = {"id",         "name",     "type",       "filePath",
                                         "isFavorite", "lastUsed", "description"};

Template makeTemplate(const RecordFields &f)
{
    enum
    {
        Id,
        Name,
        Type,
        FilePath,
        IsFavorite,
        LastUsed,
        Description
    };
    Template r;
    r.id = f.uuid(Id);
    r.name = f.text(Name);
    const auto type = templateTypeFromRawValue(f.text(Type));
    if (!type)
        f.fail(Type, "ist keine bekannte Template-Art");
    r.type = *type;
    r.filePath = f.text(FilePath);
    r.isFavorite = f.flag(IsFavorite);
    r.lastUsed = dateFromSeconds(f, LastUsed);
    r.description = f.text(Description);
    return r;
}

constexpr const char *kPresetKeys[] = {"id",
                                       "name",
                                       "inputFormat",
                                       "outputFormat",
                                       "htmlTemplate",
                                       "cssFile",
                                       "latexTemplate",
                                       "docxReference",
                                       "standalone",
                                       "tableOfContents",
                                       "numberSections",
                                       "additionalOptions",
                                       "pdfEngine",
                                       "bibliography",
                                       "csl",
                                       "citeproc",
                                       "options",
                                       "inputExtensions",
                                       "outputExtensions",
                                       "mergeInputs"};

Preset makePreset(const RecordFields &f)
{
    enum
    {
        Id,
        Name,
        InputFormat,
        OutputFormat,
        HtmlTemplate,
        CssFile,
        LatexTemplate,
        DocxReference,
        Standalone,
        TableOfContents,
        NumberSections,
        AdditionalOptions,
        PdfEngine,
        Bibliography,
        Csl,
        Citeproc,
        Options,
        InputExtensions,
        OutputExtensions,
        MergeInputs
    };
    Preset r;
    r.id = f.uuid(Id);
    r.name = f.text(Name);
    r.inputFormat = f.text(InputFormat);
    r.outputFormat = f.text(OutputFormat);
    r.htmlTemplate = f.optionalText(HtmlTemplate);
    r.cssFile = f.optionalText(CssFile);
    r.latexTemplate = f.optionalText(LatexTemplate);
    r.docxReference = f.optionalText(DocxReference);
    r.standalone = f.flag(Standalone);
    r.tableOfContents = f.flag(TableOfContents);
    r.numberSections = f.flag(NumberSections);
    r.additionalOptions = f.text(AdditionalOptions);
    r.pdfEngine = f.optionalText(PdfEngine);
    r.bibliography = f.optionalText(Bibliography);
    r.csl = f.optionalText(Csl);
    r.citeproc = f.optionalFlag(Citeproc);
    r.options = f.optionalText(Options);
    r.inputExtensions = f.optionalText(InputExtensions);
    r.outputExtensions = f.optionalText(OutputExtensions);
    r.mergeInputs = f.optionalFlag(MergeInputs);
    return r;
}

// Writes the pretty-printed array directly; building a JSON tree first made saving
// a large index several times slower.
class Writer
{
public:
    explicit Writer(qsizetype expectedRecords) { m_out.reserve(expectedRecords * 360 + 8); }

    void beginRecord()
    {
        m_out.append(m_records++ == 0 ? "[\n  {" : ",\n  {");
        m_members = 0;
    }
    void endRecord() { m_out.append("\n  }"); }
    QByteArray finish()
    {
        m_out.append(m_records == 0 ? "[]" : "\n]");
        return std::move(m_out);
    }

    void string(const char *key, const QString &value)
    {
        beginMember(key);
        appendEscaped(value.toUtf8());
    }
    void ascii(const char *key, const QByteArray &value)
    {
        beginMember(key);
        m_out.append('"').append(value).append('"');
    }
    void boolean(const char *key, bool value)
    {
        beginMember(key);
        m_out.append(value ? "true" : "false");
    }
    void number(const char *key, double value)
    {
        beginMember(key);
        // Shortest text that reads back as the same double.
        char buffer[32];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
        m_out.append(buffer, qsizetype(result.ptr - buffer));
    }

private:
    void beginMember(const char *key)
    {
        m_out.append(m_members++ == 0 ? "\n    \"" : ",\n    \"").append(key).append("\": ");
    }

    // JSON escaping as the platform encoder does it, forward slashes included.
    void appendEscaped(const QByteArray &utf8)
    {
        m_out.append('"');
        const char *p = utf8.constData();
        const char *const end = p + utf8.size();
        const char *run = p;
        for (; p != end; ++p) {
            const auto c = static_cast<unsigned char>(*p);
            if (c >= 0x20 && c != '"' && c != '\\' && c != '/')
                continue;
            m_out.append(run, qsizetype(p - run));
            run = p + 1;
            switch (c) {
            case '"':
                m_out.append("\\\"");
                break;
            case '\\':
                m_out.append("\\\\");
                break;
            case '/':
                m_out.append("\\/");
                break;
            case '\b':
                m_out.append("\\b");
                break;
            case '\f':
                m_out.append("\\f");
                break;
            case '\n':
                m_out.append("\\n");
                break;
            case '\r':
                m_out.append("\\r");
                break;
            case '\t':
                m_out.append("\\t");
                break;
            default: {
                static const char hex[] = "0123456789abcdef";
                const char escaped[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xf]};
                m_out.append(escaped, sizeof escaped);
            }
            }
        }
        m_out.append(run, qsizetype(end - run));
        m_out.append('"');
    }

    QByteArray m_out;
    qsizetype m_records = 0;
    int m_members = 0;
};

QByteArray uuidText(const QUuid &id)
{
    return id.toByteArray(QUuid::WithoutBraces).toUpper();
}

void write(Writer &w, const Template &r)
{
    w.ascii("id", uuidText(r.id));
    w.string("name", r.name);
    w.ascii("type", rawValue(r.type).toLatin1());
    w.string("filePath", r.filePath);
    w.boolean("isFavorite", r.isFavorite);
    w.number("lastUsed", referenceSeconds(r.lastUsed));
    w.string("description", r.description);
}

void write(Writer &w, const Preset &r)
{
    w.ascii("id", uuidText(r.id));
    w.string("name", r.name);
    w.string("inputFormat", r.inputFormat);
    w.string("outputFormat", r.outputFormat);
    // Absent names are left out, never written as null.
    if (r.htmlTemplate)
        w.string("htmlTemplate", *r.htmlTemplate);
    if (r.cssFile)
        w.string("cssFile", *r.cssFile);
    if (r.latexTemplate)
        w.string("latexTemplate", *r.latexTemplate);
    if (r.docxReference)
        w.string("docxReference", *r.docxReference);
    w.boolean("standalone", r.standalone);
    w.boolean("tableOfContents", r.tableOfContents);
    w.boolean("numberSections", r.numberSections);
    w.string("additionalOptions", r.additionalOptions);
    // Written only when an engine was chosen, so older readers see the familiar object.
    if (r.pdfEngine)
        w.string("pdfEngine", *r.pdfEngine);
    // Written only when set, so files stay as they were for presets without citations.
    if (r.bibliography)
        w.string("bibliography", *r.bibliography);
    if (r.csl)
        w.string("csl", *r.csl);
    if (r.citeproc)
        w.boolean("citeproc", *r.citeproc);
    if (r.options)
        w.string("options", *r.options);
    if (r.inputExtensions)
        w.string("inputExtensions", *r.inputExtensions);
    if (r.outputExtensions)
        w.string("outputExtensions", *r.outputExtensions);
    if (r.mergeInputs)
        w.boolean("mergeInputs", *r.mergeInputs);
}

template <typename T> QByteArray encode(const QList<T> &records)
{
    Writer w(records.size());
    for (const T &record : records) {
        w.beginRecord();
        write(w, record);
        w.endRecord();
    }
    return w.finish();
}

} // namespace

double referenceSeconds(const QDateTime &time)
{
    return double(time.toMSecsSinceEpoch()) / 1000.0 - double(kReferenceOffsetSeconds);
}

QDateTime fromReferenceSeconds(double seconds)
{
    const auto msecs = qint64(std::llround((seconds + double(kReferenceOffsetSeconds)) * 1000.0));
    return QDateTime::fromMSecsSinceEpoch(msecs, Qt::UTC);
}

QByteArray encodeRecords(const QList<Template> &records)
{
    return encode(records);
}

QByteArray encodeRecords(const QList<Preset> &records)
{
    return encode(records);
}

bool decodeRecords(const QByteArray &data, QList<Template> *out, QString *error)
{
    return readRecords(data, RecordShape{kTemplateKeys}, makeTemplate, out, error);
}

bool decodeRecords(const QByteArray &data, QList<Preset> *out, QString *error)
{
    return readRecords(data, RecordShape{kPresetKeys}, makePreset, out, error);
}
