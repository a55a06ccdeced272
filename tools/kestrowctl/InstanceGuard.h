// CInstanceGuard: keeps kestrowctl from changing profiles or preferences
// behind the back of a running Kestrow.  Kestrow holds its profile store in
// memory and saves it when it ends, so such a change would be lost (or
// would overwrite the user's edits in the window).
//
// A running Kestrow listens on a per-user local socket whose path is derived
// from the registry file.  Claim() takes that same socket for the length of
// a changing command: while kestrowctl holds it, a Kestrow that starts finds
// a running copy and ends instead of loading a store that is being changed.
#pragma once

#include <string>

namespace kestrowctl {

class CInstanceGuard {
public:
    // The graphical program's socket for the registry at `registryPath`:
    // $XDG_RUNTIME_DIR/kestrow (or /tmp/kestrow-<uid>) and "instance-" with
    // the first 16 hexadecimal digits of the SHA-256 of the registry file's
    // absolute path.
    static std::string SocketPath(const std::string &registryPath);
    // True when something answers on the socket.
    static bool Answers(const std::string &socketPath);

    explicit CInstanceGuard(std::string socketPath);
    ~CInstanceGuard();
    CInstanceGuard(const CInstanceGuard &) = delete;
    CInstanceGuard &operator=(const CInstanceGuard &) = delete;

    enum class Result {
        Claimed,     // this process now holds the socket
        Running,     // Kestrow answers on it
        Unguarded,   // the socket cannot be set up, and nobody answers on it
    };
    Result Claim();
    const std::string &Path() const { return m_strPath; }

private:
    bool Bind();

    std::string m_strPath;
    int m_nFd = -1;
};

} // namespace kestrowctl
