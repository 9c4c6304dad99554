// Velunor's window built the way main() builds it (German translations loaded, the real
// store and converter search), reporting its first frame for bench_window. Linked like the
// velunor executable, without the test library the benches use.
#include "appsetup.h"
#include "firstframe.h"
#include "mainwindow.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpApplication(app);
    FirstFrameProbe probe;
    app.installEventFilter(&probe);
    MainWindow window;
    window.show();
    return app.exec();
}
