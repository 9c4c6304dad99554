#include "singleinstance.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QStandardPaths>
#include <QThread>

#include <unistd.h>

Q_LOGGING_CATEGORY(lcInstance, "velunor.instance")

namespace {

constexpr quint32 kMagic = 0x56454c31; // "VEL1"
constexpr qint64 kMaxMessage = 16 * 1024 * 1024;
// Unix socket paths are limited to 107 bytes.
constexpr qsizetype kMaxSocketPath = 100;

QString userName()
{
    const QString name = qEnvironmentVariable("USER");
    return name.isEmpty() ? QString::number(::getuid()) : name;
}

// The store folder may not exist yet; its nearest existing parent decides where links lead.
QString resolvedFolder(const QString &folder)
{
    QString rest;
    QFileInfo info(QDir::cleanPath(QFileInfo(folder).absoluteFilePath()));
    while (!info.exists() && !info.isRoot() && info.fileName() != info.absoluteFilePath()) {
        rest = u'/' + info.fileName() + rest;
        info = QFileInfo(info.absolutePath());
    }
    const QString base = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    return QDir::cleanPath(base + rest);
}

} // namespace

SingleInstance::SingleInstance(const QString &storeFolder, QObject *parent)
    : QObject(parent), m_path(serverPath(storeFolder)), m_lock(m_path + QStringLiteral(".lock"))
{
    // The lock is held for the whole run; only a dead holder makes it stale.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    m_server.close();
}

QString SingleInstance::serverPath(const QString &storeFolder)
{
    const QByteArray hash =
        QCryptographicHash::hash(resolvedFolder(storeFolder).toUtf8(), QCryptographicHash::Sha256)
            .toHex()
            .left(16);
    const QString name = QStringLiteral("velunor-") + userName() + u'-' + QString::fromLatin1(hash);
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty() || folder.size() + name.size() + 6 > kMaxSocketPath)
        folder = QDir::tempPath();
    return folder + u'/' + name;
}

SingleInstance::Role SingleInstance::start(const QStringList &files, int timeoutMs)
{
    if (m_lock.tryLock(0)) {
        // A socket left by a crashed instance would make listen() fail.
        QLocalServer::removeServer(m_path);
        m_server.setSocketOptions(QLocalServer::UserAccessOption);
        if (!m_server.listen(m_path))
            qCWarning(lcInstance) << "cannot listen on" << m_path << m_server.errorString();
        return Role::Primary;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        qCWarning(lcInstance) << "cannot lock" << m_path << m_lock.error();
        return Role::Alone;
    }
    if (handOver(files, timeoutMs))
        return Role::HandedOver;
    qCWarning(lcInstance) << "the running instance did not answer; starting on our own";
    return Role::Alone;
}

bool SingleInstance::handOver(const QStringList &files, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance takes the lock a moment before it listens.
    for (;;) {
        socket.connectToServer(m_path);
        if (socket.waitForConnected(int(deadline.remainingTime())))
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << files;
    socket.write(message);
    if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
        return false;
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    return socket.read(1) == "1";
}

void SingleInstance::onNewConnection()
{
    while (QLocalSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->bytesAvailable() > kMaxMessage) {
                socket->abort();
                return;
            }
            QDataStream in(socket);
            in.setVersion(QDataStream::Qt_6_0);
            in.startTransaction();
            quint32 magic = 0;
            QStringList files;
            in >> magic >> files;
            if (!in.commitTransaction())
                return; // the rest is still on its way
            if (magic != kMagic) {
                socket->abort();
                return;
            }
            // Answer first: the other process ends at once, whatever the window then asks.
            socket->write("1");
            socket->flush();
            socket->disconnectFromServer();
            emit activated(files);
        });
    }
}
