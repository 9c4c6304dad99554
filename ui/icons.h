#pragma once

#include <QIcon>
#include <QStyle>

// A freedesktop theme icon, or the style's own when no icon theme has it.
QIcon themedIcon(const QString &themeName, QStyle::StandardPixmap fallback);
