#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velunor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Velunor"));
    QApplication::setApplicationVersion(QStringLiteral(VELUNOR_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("velunor"));

    MainWindow window;
    window.show();
    return app.exec();
}
