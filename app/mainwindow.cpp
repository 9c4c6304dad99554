#include "mainwindow.h"

#include "conversion/moreoptionssection.h"

#include "commandline.h"
#include "contentview.h"
#include "conversion/conversionview.h"
#include "dbusnotifier.h"
#include "runnotifier.h"
#include "windowplacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>
#include <QSettings>

namespace {
const QString kGeometryKey = QStringLiteral("window/geometry");
const QString kScreenKey = QStringLiteral("window/screen");
const QString kSplitterKey = QStringLiteral("templates/splitter");
const QString kMoreOptionsKey = QStringLiteral("conversion/moreOptions");
// Wide enough for the conversion form beside its log, and the library beside its details.
constexpr int kPreferredWidth = 1180;
// Rows that come with a choice (a second template picker, say) should not need scrolling.
constexpr int kGrowthRoom = 80;
} // namespace

MainWindow::MainWindow(ViewModelEnvironment environment, FilePanels *panels, QWidget *parent)
    : QMainWindow(parent), m_dialogs(std::make_unique<QtDialogs>(this)),
      m_desktop(std::make_unique<QtDesktop>()), m_panels(std::make_unique<QtFilePanels>()),
      m_notifier(std::make_unique<DBusNotifier>())
{
    setObjectName(QStringLiteral("mainWindow"));
    if (!environment.dialogs)
        environment.dialogs = m_dialogs.get();
    if (!environment.desktop)
        environment.desktop = m_desktop.get();
    m_content = new ContentView(std::move(environment), panels ? panels : m_panels.get(), this);
    setCentralWidget(m_content);
    m_runNotifier = new RunNotifier(m_content->viewModel(), this, this);
    m_runNotifier->setNotifier(m_notifier.get());
    buildMenu();
    // Ctrl+Q quits, as everywhere on Linux; the menu keeps its four entries.
    auto *quit = new QAction(QStringLiteral("Beenden"), this);
    quit->setObjectName(QStringLiteral("quitAction"));
    quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    quit->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit, &QAction::triggered, this, &QWidget::close);
    addAction(quit);
    restoreWindowState();
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

void MainWindow::setNotifier(Notifier *notifier)
{
    m_runNotifier->setNotifier(notifier);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    PandocViewModel *vm = viewModel();
    if (!vm->isConverting()) {
        saveWindowState();
        QMainWindow::closeEvent(event);
        return;
    }
    // Never block here: the converters are stopped and the window goes when the run reports
    // its end.
    event->ignore();
    if (m_closeWhenIdle)
        return;
    Dialogs *dialogs = vm->environment().dialogs;
    const bool quit =
        dialogs &&
        dialogs->showWarningQuestion(
            QStringLiteral("Konvertierung läuft"),
            QStringLiteral("Eine Konvertierung läuft noch. Abbrechen und beenden?"),
            QStringLiteral("Abbrechen und beenden"), QStringLiteral("Weiter konvertieren"));
    if (!quit)
        return;
    closeWhenIdle();
}

void MainWindow::closeWhenIdle()
{
    PandocViewModel *vm = viewModel();
    // A question's own event loop may have seen the run end meanwhile.
    if (!vm->isConverting()) {
        close();
        return;
    }
    if (m_closeWhenIdle)
        return;
    m_closeWhenIdle = true;
    // The run ends once every process of it is gone (SIGKILL after the grace time).
    connect(vm, &PandocViewModel::conversionFinished, this, &MainWindow::close,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
    vm->cancelConversion();
}

void MainWindow::buildMenu()
{
    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Konvertierung"));
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
    convert->setEnabled(view->canConvert());
    connect(view, &ConversionView::canConvertChanged, convert, &QAction::setEnabled);
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

void MainWindow::restoreWindowState()
{
    const QSettings settings;
    QList<WindowPlacement::Screen> screens;
    for (const QScreen *screen : QGuiApplication::screens())
        screens.append({screen->name(), screen->availableGeometry()});
    const QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    const QString screenName = settings.value(kScreenKey).toString();
    // restoreGeometry() would move a window from a vanished screen onto another one at the
    // old size; such a window opens at the default place instead.
    const bool restored = !geometry.isEmpty() && restoreGeometry(geometry) &&
                          WindowPlacement::canRestore(frameGeometry(), screenName, screens);
    if (!restored) {
        setWindowState(Qt::WindowNoState);
        const QScreen *screen = QGuiApplication::primaryScreen();
        const QRect available = screen ? screen->availableGeometry() : QRect(0, 0, 1366, 768);
        ensurePolished();
        const QSize wanted =
            (sizeHint() + QSize(0, kGrowthRoom)).expandedTo(QSize(kPreferredWidth, 0));
        setGeometry(WindowPlacement::initialGeometry(wanted, minimumSizeHint(), available));
    }
    m_content->setTemplatesSplitterState(settings.value(kSplitterKey).toByteArray());
    m_content->conversionView()->moreOptions()->restoreState(
        settings.value(kMoreOptionsKey, -1).toInt());
}

void MainWindow::saveWindowState() const
{
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    if (const QScreen *current = screen())
        settings.setValue(kScreenKey, current->name());
    settings.setValue(kSplitterKey, m_content->templatesSplitterState());
    settings.setValue(kMoreOptionsKey, m_content->conversionView()->moreOptions()->state());
}
