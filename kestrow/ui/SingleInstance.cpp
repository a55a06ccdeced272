#include "SingleInstance.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>

#include <sys/stat.h>
#include <unistd.h>

namespace kestrow {

namespace {
constexpr char kRestoreRequest[] = "restore\n";
constexpr char kRestoreReply[] = "ok\n";
} // namespace

CSingleInstance::CSingleInstance(QString socketPath, QObject *parent)
    : QObject(parent), m_strPath(std::move(socketPath))
{
}

CSingleInstance::~CSingleInstance()
{
    if (m_pServer) {
        m_pServer->close();  // removes the socket file
    }
}

QString CSingleInstance::DefaultSocketPath(const QString &registryPath)
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) {
        dir = QStringLiteral("/tmp/kestrow-%1").arg(getuid());
    } else {
        dir += QStringLiteral("/kestrow");
    }
    const QByteArray key = QCryptographicHash::hash(
        QFileInfo(registryPath).absoluteFilePath().toUtf8(), QCryptographicHash::Sha256);
    return dir + QStringLiteral("/instance-") + QString::fromLatin1(key.toHex().left(16));
}

bool CSingleInstance::Listen()
{
    // No socket options: with them Qt replaces an existing socket file
    // instead of failing, and two copies would both serve.  The folder is
    // private to the user instead.
    auto server = std::make_unique<QLocalServer>();
    if (!server->listen(m_strPath)) {
        return false;
    }
    connect(server.get(), &QLocalServer::newConnection, this, &CSingleInstance::OnNewConnection);
    m_pServer = std::move(server);
    return true;
}

CSingleInstance::Claim CSingleInstance::TryClaim()
{
    const QString dir = QFileInfo(m_strPath).absolutePath();
    if (!QDir().mkpath(dir)) {
        return Claim::Failed;
    }
    // The folder holds sockets of this user only.
    if (::chmod(QFile::encodeName(dir).constData(), S_IRWXU) != 0 &&
        QFileInfo(dir).ownerId() != getuid()) {
        return Claim::Failed;
    }
    if (Listen()) {
        return Claim::Primary;
    }
    // Somebody's socket file is there: is a running copy behind it?
    QLocalSocket probe;
    probe.connectToServer(m_strPath);
    if (probe.waitForConnected(1000)) {
        probe.disconnectFromServer();
        return Claim::Secondary;
    }
    // Left behind by a copy that ended without cleaning up.
    QLocalServer::removeServer(m_strPath);
    return Listen() ? Claim::Primary : Claim::Failed;
}

bool CSingleInstance::AskPrimaryToRestore(int timeoutMs)
{
    QLocalSocket socket;
    socket.connectToServer(m_strPath);
    if (!socket.waitForConnected(timeoutMs)) {
        return false;
    }
    socket.write(kRestoreRequest);
    if (!socket.waitForBytesWritten(timeoutMs)) {
        return false;
    }
    QByteArray reply;
    while (!reply.contains('\n') && reply.size() < 64) {
        if (!socket.waitForReadyRead(timeoutMs)) {
            break;
        }
        reply += socket.readAll();
    }
    socket.disconnectFromServer();
    return reply == kRestoreReply;
}

void CSingleInstance::OnNewConnection()
{
    while (QLocalSocket *socket = m_pServer->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            // A request is one short line; anything longer is not ours.
            if (socket->bytesAvailable() > 64) {
                socket->abort();
                return;
            }
            if (!socket->canReadLine()) {
                return;
            }
            const QByteArray line = socket->readLine(64);
            if (line == kRestoreRequest) {
                emit RestoreRequested();
                socket->write(kRestoreReply);
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

} // namespace kestrow
