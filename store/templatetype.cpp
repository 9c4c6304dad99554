#include "templatetype.h"

QString rawValue(TemplateType type)
{
    switch (type) {
    case TemplateType::Html:
        return QStringLiteral("html");
    case TemplateType::Latex:
        return QStringLiteral("latex");
    case TemplateType::DocxReference:
        return QStringLiteral("docx-reference");
    case TemplateType::Css:
        return QStringLiteral("css");
    }
    return {};
}

QString displayName(TemplateType type)
{
    switch (type) {
    case TemplateType::Html:
        return QStringLiteral("HTML-Template");
    case TemplateType::Latex:
        return QStringLiteral("LaTeX-Template");
    case TemplateType::DocxReference:
        return QStringLiteral("DOCX-Referenz");
    case TemplateType::Css:
        return QStringLiteral("CSS-Datei");
    }
    return {};
}

std::optional<TemplateType> templateTypeFromRawValue(const QString &raw)
{
    for (TemplateType type : templateTypeAllCases) {
        if (rawValue(type) == raw)
            return type;
    }
    return std::nullopt;
}
