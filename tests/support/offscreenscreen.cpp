#include "offscreenscreen.h"

#include <QFile>

QString offscreenWithScreen(const QString &folder, int width, int height)
{
    const QString path = folder + QStringLiteral("/screen-%1x%2.json").arg(width).arg(height);
    QFile file(path);
    const QByteArray json = QStringLiteral("{\"screens\":[{\"name\":\"screen\",\"x\":0,\"y\":0,"
                                           "\"width\":%1,\"height\":%2,\"logicalDpi\":96,"
                                           "\"logicalBaseDpi\":96,\"dpr\":1}]}")
                                .arg(width)
                                .arg(height)
                                .toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(json) != json.size())
        qFatal("cannot write %s", qPrintable(path));
    return QStringLiteral("offscreen:configfile=") + path;
}
