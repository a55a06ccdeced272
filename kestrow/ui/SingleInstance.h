// One running copy of the program per user and registry: the first copy
// listens on a per-user local socket; a later copy finds it there, asks it
// to show its window restored and ends.  A copy that crashed leaves a socket
// file that nobody answers; the next start removes it and takes over.
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

#include <memory>

namespace kestrow {

class CSingleInstance : public QObject {
    Q_OBJECT
public:
    // `socketPath`: the full path of the socket file.
    explicit CSingleInstance(QString socketPath, QObject *parent = nullptr);
    ~CSingleInstance() override;

    // The socket of this user for the registry at `registryPath`, in the
    // per-user runtime directory ($XDG_RUNTIME_DIR/kestrow, else
    // /tmp/kestrow-<uid>), which is created private to the user.
    static QString DefaultSocketPath(const QString &registryPath);

    enum class Claim { Primary, Secondary, Failed };
    // Becomes the running copy, or finds that another copy runs.  Failed when
    // the socket can be neither served nor reached (the caller may run on
    // without the guard).
    Claim TryClaim();

    // Secondary copy: asks the running copy to show itself restored.  True
    // when it confirmed.  Waits at most `timeoutMs` for each step.
    bool AskPrimaryToRestore(int timeoutMs = 3000);

    const QString &SocketPath() const { return m_strPath; }
    bool IsPrimary() const { return m_pServer != nullptr && m_pServer->isListening(); }

signals:
    // A later copy asked this one to show its window restored.
    void RestoreRequested();

private:
    void OnNewConnection();
    bool Listen();

    QString m_strPath;
    std::unique_ptr<QLocalServer> m_pServer;
};

} // namespace kestrow
