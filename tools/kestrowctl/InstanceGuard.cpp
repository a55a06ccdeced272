#include "InstanceGuard.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace kestrowctl {

namespace {

// The socket address of `path`; false when the path does not fit.
bool MakeAddress(const std::string &path, sockaddr_un *address)
{
    std::memset(address, 0, sizeof *address);
    address->sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address->sun_path)
        return false;
    std::memcpy(address->sun_path, path.data(), path.size());
    return true;
}

// Creates every missing folder of `dir` (mode 0700 for the last one).
bool MakeDirs(const std::string &dir)
{
    for (std::size_t pos = 1; pos <= dir.size(); ++pos) {
        if (pos != dir.size() && dir[pos] != '/')
            continue;
        const std::string part = dir.substr(0, pos);
        if (::mkdir(part.c_str(), S_IRWXU) != 0 && errno != EEXIST)
            return false;
    }
    return true;
}

} // namespace

std::string CInstanceGuard::SocketPath(const std::string &registryPath)
{
    // Kept identical to the graphical program's own computation.
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QFileInfo(dir).isDir())
        dir = QStringLiteral("/tmp/kestrow-%1").arg(::getuid());
    else
        dir += QStringLiteral("/kestrow");
    const QByteArray key = QCryptographicHash::hash(
        QFileInfo(QFile::decodeName(QByteArray::fromStdString(registryPath))).absoluteFilePath().toUtf8(),
        QCryptographicHash::Sha256);
    const QString path = dir + QStringLiteral("/instance-") + QString::fromLatin1(key.toHex().left(16));
    return QFile::encodeName(path).toStdString();
}

bool CInstanceGuard::Answers(const std::string &socketPath)
{
    sockaddr_un address{};
    if (!MakeAddress(socketPath, &address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    int rc = 0;
    do {
        rc = ::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address);
    } while (rc != 0 && errno == EINTR);
    const bool answered = rc == 0;
    ::close(fd);
    return answered;
}

CInstanceGuard::CInstanceGuard(std::string socketPath) : m_strPath(std::move(socketPath)) {}

CInstanceGuard::~CInstanceGuard()
{
    if (m_nFd >= 0) {
        // Unlink before closing: a Kestrow starting now finds either our
        // live socket or no file at all.
        (void)::unlink(m_strPath.c_str());
        ::close(m_nFd);
    }
}

bool CInstanceGuard::Bind()
{
    sockaddr_un address{};
    if (!MakeAddress(m_strPath, &address)) {
        errno = ENAMETOOLONG;
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0 ||
        ::listen(fd, 8) != 0) {
        const int saved = errno;
        ::close(fd);
        errno = saved;
        return false;
    }
    m_nFd = fd;
    return true;
}

CInstanceGuard::Result CInstanceGuard::Claim()
{
    if (m_nFd >= 0)
        return Result::Claimed;
    const std::size_t slash = m_strPath.rfind('/');
    if (slash != std::string::npos && slash > 0) {
        const std::string dir = m_strPath.substr(0, slash);
        // The folder holds sockets of this user only, as Kestrow keeps it.
        if (MakeDirs(dir))
            (void)::chmod(dir.c_str(), S_IRWXU);
    }
    if (Bind())
        return Result::Claimed;
    if (errno == EADDRINUSE) {
        if (Answers(m_strPath))
            return Result::Running;
        // Left behind by a copy that ended without cleaning up: Kestrow
        // itself takes such a file over the same way.
        (void)::unlink(m_strPath.c_str());
        if (Bind())
            return Result::Claimed;
    }
    return Answers(m_strPath) ? Result::Running : Result::Unguarded;
}

} // namespace kestrowctl
