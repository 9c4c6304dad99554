#pragma once

#include <QLockFile>
#include <QObject>
#include <QStringList>

class QSocketNotifier;

// One running Velunor per user and store folder. Two windows over one store would each
// keep their own copy of it, so a later start hands its files to the running one instead.
// The lock lives in the store folder itself, so every start on that folder finds it whatever
// its environment says; the socket lives in a folder only this user can enter, and its path
// is recorded beside the lock.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    enum class Role
    {
        // This process runs the window and answers later starts.
        Primary,
        // The running instance took the files; this process should end.
        HandedOver,
        // Another instance holds the store but did not take the files; run on our own,
        // without a server, and tell the user.
        Alone
    };

    explicit SingleInstance(const QString &storeFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Either becomes the running instance or hands `files` (absolute paths) to it, waiting
    // at most `timeoutMs` for its answer.
    Role start(const QStringList &files, int timeoutMs = 3000);

    // Where this instance listens; empty when it does not.
    QString serverPath() const { return m_listener >= 0 ? m_socketPath : QString(); }

    // The lock the running instance holds, inside the store folder.
    static QString lockPath(const QString &storeFolder);
    // Where the running instance listens, as it recorded it in the store folder.
    static QString recordedServer(const QString &storeFolder);
    // The log line of a window that runs beside an instance that did not answer.
    static QString notAnsweringWarning();

signals:
    // Another start asked to be shown, with the files it was given (possibly none).
    void activated(const QStringList &files);

private:
    void listen();
    void acceptConnections();
    bool handOver(const QStringList &files, int timeoutMs);

    QString m_store;
    QLockFile m_lock;
    QString m_socketPath;
    // A folder made for this run only, removed at the end.
    QString m_ownFolder;
    // Plain local sockets: the network library would cost every start its loading time.
    int m_listener = -1;
};
