#include "storelocation.h"

#include <QStandardPaths>

StoreLocation::StoreLocation(QString applicationSupportDir)
    : m_root(std::move(applicationSupportDir))
{
}

StoreLocation StoreLocation::standard()
{
    return StoreLocation(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation));
}

QString StoreLocation::storeFolder() const
{
    return m_root + QStringLiteral("/Velunor");
}

QString StoreLocation::presetsFile() const
{
    return storeFolder() + QStringLiteral("/presets.json");
}

QString StoreLocation::templatesFile() const
{
    return storeFolder() + QStringLiteral("/templates.json");
}

QString StoreLocation::templateFolder() const
{
    return m_root + QStringLiteral("/Velunor/Templates");
}

QString StoreLocation::kindFolder(TemplateType type) const
{
    return templateFolder() + u'/' + rawValue(type);
}

QString StoreLocation::cslStylesFile() const
{
    return storeFolder() + QStringLiteral("/csl-styles.json");
}

QString StoreLocation::cslFolder() const
{
    return storeFolder() + QStringLiteral("/CSL");
}
