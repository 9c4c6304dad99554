#pragma once

#include "filepanels.h"
#include "pandocviewmodel.h"
#include "qtdesktopservices.h"

#include <QMainWindow>
#include <memory>

class ContentView;
class Notifier;
class QAction;
class RunNotifier;

class MainWindow final : public QMainWindow
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(MainWindow)

public:
    // `environment` may leave dialogs and desktop unset, and `panels` may be null; the window
    // fills in its own.
    explicit MainWindow(ViewModelEnvironment environment = {}, FilePanels *panels = nullptr,
                        QWidget *parent = nullptr);
    ~MainWindow() override;

    ContentView *contentView() const { return m_content; }
    PandocViewModel *viewModel() const;

    // Another start of Velunor handed over its files: come to the front and take them as
    // if they were dropped here.
    void takeHandedOverFiles(const QStringList &files);

    // Replaces the desktop notifications; null turns them off.
    void setNotifier(Notifier *notifier);

    // Closes as the user's "Abbrechen und beenden" does, without asking: a running
    // conversion is cancelled and the window goes once it has ended (a logout, SIGTERM).
    void closeWhenIdle();

    // Geometry and the library's divider, kept in QSettings between runs.
    void saveWindowState() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildMenu();
    void restoreWindowState();

    std::unique_ptr<QtDialogs> m_dialogs;
    std::unique_ptr<QtDesktop> m_desktop;
    std::unique_ptr<QtFilePanels> m_panels;
    std::unique_ptr<Notifier> m_notifier;
    ContentView *m_content = nullptr;
    RunNotifier *m_runNotifier = nullptr;
    // The user chose to cancel and quit; the window closes once the run has ended.
    bool m_closeWhenIdle = false;
};
