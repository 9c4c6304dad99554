#include "mainwindow.h"

#include "commandline.h"
#include "contentview.h"
#include "conversion/conversionview.h"

#include <QAction>
#include <QMenuBar>

MainWindow::MainWindow(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtDialogs>(this)),
      m_desktop(std::make_unique<QtDesktop>()), m_panels(std::make_unique<QtFilePanels>())
{
    setObjectName(QStringLiteral("mainWindow"));
    if (!environment.dialogs)
        environment.dialogs = m_dialogs.get();
    if (!environment.desktop)
        environment.desktop = m_desktop.get();
    m_content = new ContentView(std::move(environment), panels ? panels : m_panels.get(), this);
    setCentralWidget(m_content);
    buildMenu();
}

MainWindow::~MainWindow()
{
    // The view model refers to the dialogs; it must go first.
    delete m_content;
}

PandocViewModel *MainWindow::viewModel() const
{
    return m_content->viewModel();
}

void MainWindow::takeHandedOverFiles(const QStringList &files)
{
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
    openHandedOverFiles(*viewModel(), files);
}

void MainWindow::buildMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("Konvertierung"));
    menu->setObjectName(QStringLiteral("conversionMenu"));
    auto add = [this, menu](const QString &text, QKeyCombination key, const QString &name) {
        QAction *action = menu->addAction(text);
        action->setObjectName(name);
        action->setShortcut(QKeySequence(key));
        return action;
    };
    // The entries act on this window's conversion tab, under the rules of its buttons.
    ConversionView *view = m_content->conversionView();
    QAction *convert =
        add(QStringLiteral("Konvertieren"), Qt::CTRL | Qt::Key_R, QStringLiteral("convertAction"));
    connect(convert, &QAction::triggered, view, &ConversionView::requestConvert);
    menu->addSeparator();
    QAction *input = add(QStringLiteral("Eingabedatei wählen..."), Qt::CTRL | Qt::Key_O,
                         QStringLiteral("chooseInputAction"));
    connect(input, &QAction::triggered, view, &ConversionView::chooseInput);
    QAction *output = add(QStringLiteral("Ausgabedatei wählen..."), Qt::CTRL | Qt::Key_S,
                          QStringLiteral("chooseOutputAction"));
    connect(output, &QAction::triggered, view, &ConversionView::chooseOutput);
    menu->addSeparator();
    QAction *clear =
        add(QStringLiteral("Log löschen"), Qt::CTRL | Qt::Key_L, QStringLiteral("clearLogAction"));
    connect(clear, &QAction::triggered, this, [this] { viewModel()->clearLog(); });
}
