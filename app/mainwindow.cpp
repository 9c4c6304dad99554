#include "mainwindow.h"

#include "contentview.h"

#include <QAction>
#include <QMenuBar>

MainWindow::MainWindow(ViewModelEnvironment environment, QWidget *parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtDialogs>(this)),
      m_desktop(std::make_unique<QtDesktop>()), m_panels(std::make_unique<QtFilePanels>())
{
    setObjectName(QStringLiteral("mainWindow"));
    if (!environment.dialogs)
        environment.dialogs = m_dialogs.get();
    if (!environment.desktop)
        environment.desktop = m_desktop.get();
    m_content = new ContentView(std::move(environment), m_panels.get(), this);
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
    add(QStringLiteral("Konvertieren"), Qt::CTRL | Qt::Key_R, QStringLiteral("convertAction"));
    menu->addSeparator();
    add(QStringLiteral("Eingabedatei wählen..."), Qt::CTRL | Qt::Key_O,
        QStringLiteral("chooseInputAction"));
    add(QStringLiteral("Ausgabedatei wählen..."), Qt::CTRL | Qt::Key_S,
        QStringLiteral("chooseOutputAction"));
    menu->addSeparator();
    QAction *clear =
        add(QStringLiteral("Log löschen"), Qt::CTRL | Qt::Key_L, QStringLiteral("clearLogAction"));
    connect(clear, &QAction::triggered, this, [this] { viewModel()->clearLog(); });
}
