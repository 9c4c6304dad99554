#include "icons.h"

#include <QApplication>

QIcon themedIcon(const QString &themeName, QStyle::StandardPixmap fallback)
{
    return QIcon::fromTheme(themeName, QApplication::style()->standardIcon(fallback));
}
