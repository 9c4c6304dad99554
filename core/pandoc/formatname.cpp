#include "formatname.h"

#include <QFileInfo>

QString converterFormatName(const QString &pickerValue)
{
    const qsizetype blank = pickerValue.indexOf(u' ');
    return blank < 0 ? pickerValue : pickerValue.left(blank);
}

QString baseNameWithoutLastExtension(const QString &fileName)
{
    const qsizetype dot = fileName.lastIndexOf(u'.');
    return dot <= 0 ? fileName : fileName.left(dot);
}

QString replaceLastExtension(const QString &path, const QString &extension)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = path.left(slash + 1);
    return folder + baseNameWithoutLastExtension(path.mid(slash + 1)) + u'.' + extension;
}
