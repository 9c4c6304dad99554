#pragma once

#include "templatetype.h"

#include <QString>

// Where the two store files and the template folder live. An empty
// application-support directory means "none reported": store operations then
// do nothing and report nothing.
class StoreLocation final
{
public:
    StoreLocation() = default;
    explicit StoreLocation(QString applicationSupportDir);

    // The platform default: the generic data location.
    static StoreLocation standard();

    bool isAvailable() const { return !m_root.isEmpty(); }
    QString applicationSupportDir() const { return m_root; }
    QString storeFolder() const;
    QString presetsFile() const;
    QString templatesFile() const;
    QString templateFolder() const;
    QString kindFolder(TemplateType type) const;
    // CSL styles live beside the template index, so its closed kind list stays readable.
    QString cslStylesFile() const;
    QString cslFolder() const;

private:
    QString m_root;
};
