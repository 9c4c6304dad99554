// The yardstick for Velunor's startup: a Qt Widgets window with one label and nothing else,
// started and timed by bench_window exactly as Velunor's window is.
#include "firstframe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    FirstFrameProbe probe;
    app.installEventFilter(&probe);
    QLabel window(QStringLiteral("Velunor"));
    window.show();
    return app.exec();
}
