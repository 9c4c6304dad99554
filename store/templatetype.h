#pragma once

#include <QString>
#include <array>
#include <optional>

enum class TemplateType { Html, Latex, DocxReference, Css };

// Declaration order is the order of every kind picker.
inline constexpr std::array<TemplateType, 4> templateTypeAllCases{
    TemplateType::Html, TemplateType::Latex, TemplateType::DocxReference, TemplateType::Css};

QString rawValue(TemplateType type);
QString displayName(TemplateType type);
// Exact, case-sensitive match of one of the four raw values.
std::optional<TemplateType> templateTypeFromRawValue(const QString &raw);
