#include "singleinstance.h"

#include "atomicwrite.h"
#include "platform.h"
#include "useraccess.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QThread>

#include <cstring>
#include <optional>

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

// One start's message arriving at the running instance: read as it comes, answered once whole.
class Connection final : public QObject
{
public:
    Connection(int socket, QObject *parent)
        : QObject(parent), m_socket(socket), m_notifier(socket, QSocketNotifier::Read, this)
    {
    }
    ~Connection() override { Platform::closeLocal(m_socket); }

    // Reads what is there; the files once the message is complete and valid. A broken or
    // oversized message, or a peer that left, ends the connection.
    std::optional<QStringList> receive()
    {
        bool open = true;
        m_message += Platform::readLocal(m_socket, 64 * 1024, &open);
        if (!open || m_message.size() > kMaxMessage) {
            finish();
            return std::nullopt;
        }
        QDataStream in(m_message);
        in.setVersion(QDataStream::Qt_6_0);
        quint32 magic = 0;
        QStringList files;
        in >> magic >> files;
        const bool magicIncomplete = m_message.size() < qsizetype(sizeof kMagic);
        if (in.status() == QDataStream::ReadPastEnd && (magicIncomplete || magic == kMagic))
            return std::nullopt; // the rest is still on its way
        if (in.status() != QDataStream::Ok || magic != kMagic) {
            finish();
            return std::nullopt;
        }
        // Answer first: the other process ends at once, whatever the window then asks.
        Platform::writeLocal(m_socket, "1", 1000);
        finish();
        return files;
    }

    QSocketNotifier *notifier() { return &m_notifier; }

private:
    void finish()
    {
        m_notifier.setEnabled(false);
        deleteLater();
    }

    int m_socket;
    QSocketNotifier m_notifier;
    QByteArray m_message;
};

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
}

SingleInstance::~SingleInstance()
{
    if (m_listener >= 0) {
        if (recordedServer(m_store) == m_socketPath)
            QFile::remove(addressPath(m_store));
        Platform::closeLocal(m_listener);
        QFile::remove(m_socketPath);
    }
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
    // A socket left by a crashed instance is replaced.
    int error = 0;
    m_listener = Platform::listenLocal(m_socketPath, &error);
    if (m_listener < 0) {
        qCWarning(lcInstance) << "cannot listen on" << m_socketPath << std::strerror(error);
        return;
    }
    auto *incoming = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(incoming, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    writeAddress(addressPath(m_store), m_socketPath);
}

bool SingleInstance::handOver(const QStringList &files, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    auto remaining = [&deadline] { return int(deadline.remainingTime()); };
    int socket = -1;
    // The running instance takes the lock a moment before it listens and records where.
    for (;;) {
        const QString path = recordedServer(m_store);
        if (!path.isEmpty() && (socket = Platform::connectLocal(path)) >= 0)
            break;
        if (deadline.hasExpired())
            return false;
        QThread::msleep(50);
    }
    const auto closeSocket = qScopeGuard([socket] { Platform::closeLocal(socket); });
    if (Platform::peerUserId(socket) != Platform::currentUserId()) {
        qCWarning(lcInstance) << "refusing a server of another user" << recordedServer(m_store);
        return false;
    }
    QByteArray message;
    QDataStream out(&message, QIODevice::WriteOnly);
    out.setVersion(QDataStream::Qt_6_0);
    out << kMagic << files;
    if (!Platform::writeLocal(socket, message, remaining()))
        return false;
    while (Platform::waitReadableLocal(socket, remaining())) {
        bool open = true;
        const QByteArray answer = Platform::readLocal(socket, 1, &open);
        if (!answer.isEmpty())
            return answer == "1";
        if (!open)
            return false;
    }
    return false;
}

void SingleInstance::acceptConnections()
{
    int socket;
    while ((socket = Platform::acceptLocal(m_listener)) >= 0) {
        if (Platform::peerUserId(socket) != Platform::currentUserId()) {
            qCWarning(lcInstance) << "dropping a connection from another user";
            Platform::closeLocal(socket);
            continue;
        }
        auto *connection = new Connection(socket, this);
        connect(connection->notifier(), &QSocketNotifier::activated, this, [this, connection] {
            if (const std::optional<QStringList> files = connection->receive())
                emit activated(*files);
        });
    }
}
