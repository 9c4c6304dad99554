#include "singleinstance.h"

#include "atomicwrite.h"
#include "platform.h"
#include "useraccess.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QLoggingCategory>
#include <QThread>

Q_LOGGING_CATEGORY(lcInstance, "velunor.instance")

namespace {

constexpr quint32 kMagic = 0x56454c31; // "VEL1"
constexpr qint64 kMaxMessage = 16 * 1024 * 1024;
// Unix socket paths are limited to 107 bytes.
constexpr qsizetype kMaxSocketPath = 100;

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

QString addressPath(const QString &store)
{
    return store + QStringLiteral("/instance.address");
}

// The user id and the store folder name the socket; the folder keeps other users out.
QString socketName(const QString &store)
{
    const QByteArray hash =
        QCryptographicHash::hash(store.toUtf8(), QCryptographicHash::Sha256).toHex().left(16);
    return QStringLiteral("velunor-%1-").arg(Platform::currentUserId()) + QString::fromLatin1(hash);
}

bool fits(const QString &folder, const QString &name)
{
    return !folder.isEmpty() && QFile::encodeName(folder + u'/' + name).size() <= kMaxSocketPath;
}

bool writeAddress(const QString &path, const QString &socketPath)
{
    QString error;
    if (!writeFileAtomically(path, socketPath.toUtf8() + '\n', &error)) {
        qCWarning(lcInstance) << "cannot record the socket in" << path << error;
        return false;
    }
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return true;
}

} // namespace

SingleInstance::SingleInstance(const QString &storeFolder, QObject *parent)
    : QObject(parent), m_store(resolvedFolder(storeFolder)), m_lock(lockPath(m_store))
{
    // The lock is held for the whole run; only a dead holder makes it stale.
    m_lock.setStaleLockTime(0);
    connect(&m_server, &QLocalServer::newConnection, this, &SingleInstance::onNewConnection);
}

SingleInstance::~SingleInstance()
{
    if (m_server.isListening() && recordedServer(m_store) == m_socketPath)
        QFile::remove(addressPath(m_store));
    m_server.close();
    if (!m_ownFolder.isEmpty())
        QDir().rmdir(m_ownFolder);
}

QString SingleInstance::lockPath(const QString &storeFolder)
{
    return resolvedFolder(storeFolder) + QStringLiteral("/instance.lock");
}

QString SingleInstance::recordedServer(const QString &storeFolder)
{
    QFile file(addressPath(resolvedFolder(storeFolder)));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString path = QString::fromUtf8(file.read(4096)).trimmed();
    return QFileInfo(path).isAbsolute() ? path : QString();
}

QString SingleInstance::notAnsweringWarning()
{
    return QStringLiteral("⚠ Velunor läuft schon mit diesem Datenordner, antwortet aber nicht. "
                          "Dieses Fenster arbeitet daneben; beim Speichern werden die Änderungen "
                          "beider Fenster zusammengeführt.");
}

SingleInstance::Role SingleInstance::start(const QStringList &files, int timeoutMs)
{
    QDir().mkpath(m_store);
    if (m_lock.tryLock(0)) {
        listen();
        return Role::Primary;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        // Nobody can hold a lock we cannot make, and the stores cannot be written either.
        qCWarning(lcInstance) << "cannot lock" << m_lock.fileName() << m_lock.error();
        return Role::Primary;
    }
    if (handOver(files, timeoutMs))
        return Role::HandedOver;
    qCWarning(lcInstance) << "the running instance did not answer; starting on our own";
    return Role::Alone;
}

void SingleInstance::listen()
{
    const QString name = socketName(m_store);
    // The runtime folder counts only when it is really ours; a shared temp folder gets a
    // private folder of our own, and one that another user got to first is never used.
    QString folder = QDir::cleanPath(qEnvironmentVariable("XDG_RUNTIME_DIR"));
    if (!fits(folder, name) || !UserAccess::isPrivateFolder(folder)) {
        const QString base =
            QDir::tempPath() + QStringLiteral("/velunor-%1").arg(Platform::currentUserId());
        folder = UserAccess::makePrivateFolder(base);
        if (folder.isEmpty()) {
            qCWarning(lcInstance) << "refusing" << base << "as it is not a private folder";
            m_ownFolder = folder = UserAccess::makeUniquePrivateFolder(base);
        }
    }
    if (!fits(folder, name)) {
        qCWarning(lcInstance) << "no private folder for the socket; later starts cannot reach us";
        return;
    }
    m_socketPath = folder + u'/' + name;
    // A socket left by a crashed instance would make listen() fail.
    QLocalServer::removeServer(m_socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_socketPath)) {
        qCWarning(lcInstance) << "cannot listen on" << m_socketPath << m_server.errorString();
        return;
    }
    writeAddress(addressPath(m_store), m_socketPath);
}

bool SingleInstance::handOver(const QStringList &files, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    // The running instance takes the lock a moment before it listens and records where.
    for (;;) {
        const QString path = recordedServer(m_store);
        if (!path.isEmpty()) {
            socket.connectToServer(path);
            if (socket.waitForConnected(int(deadline.remainingTime())))
                break;
        }
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    const auto peer = Platform::peerUserId(socket.socketDescriptor());
    if (peer != Platform::currentUserId()) {
        qCWarning(lcInstance) << "refusing a server of another user" << socket.fullServerName();
        return false;
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
        if (Platform::peerUserId(socket->socketDescriptor()) != Platform::currentUserId()) {
            qCWarning(lcInstance) << "dropping a connection from another user";
            socket->abort();
            socket->deleteLater();
            continue;
        }
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
