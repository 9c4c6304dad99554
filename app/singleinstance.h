#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QStringList>

// One running Velunor per user and store folder. Two windows over one store would each
// keep their own copy of it, so a later start hands its files to the running one instead.
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
        // The running instance did not answer in time; run on our own, without a server.
        Alone
    };

    explicit SingleInstance(const QString &storeFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Either becomes the running instance or hands `files` (absolute paths) to it, waiting
    // at most `timeoutMs` for its answer.
    Role start(const QStringList &files, int timeoutMs = 3000);

    // The socket's path: the user's runtime folder, the user's name and a hash of the store folder.
    static QString serverPath(const QString &storeFolder);

signals:
    // Another start asked to be shown, with the files it was given (possibly none).
    void activated(const QStringList &files);

private:
    void onNewConnection();
    bool handOver(const QStringList &files, int timeoutMs);

    QString m_path;
    QLockFile m_lock;
    QLocalServer m_server;
};
