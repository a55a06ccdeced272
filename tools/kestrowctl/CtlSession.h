// CCtlSession: what one run of kestrowctl sets up of kestrow/core, and tears
// down again in the right order: the registry, the adapter connection, the
// station list, the profile store (writing only for commands that change
// profiles, and only while no Kestrow runs; read-only otherwise), and the
// message sink that turns the core's message boxes into text.  The profile
// operations of the core take the main lock, whose gate the session creates.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <MessageSink.h>

#include "CtlArgs.h"
#include "InstanceGuard.h"

namespace kestrow {
class CKestrowSession;
class CProfileMngr;
class CStationMngr;
} // namespace kestrow

namespace kestrowctl {

// Collects the texts of the message boxes the core shows.
class CCapturedMessages : public kestrow::IMessageSink {
public:
    int ShowMessageBox(const std::string &text, unsigned type) override;
    // The texts shown since the last call, joined by "; ".
    std::string Take();

private:
    std::vector<std::string> m_Texts;
};

class CCtlSession {
public:
    // Opens the registry; a failure to open it is kept for RequireRegistry.
    explicit CCtlSession(const CGlobalOptions &options);
    ~CCtlSession();
    CCtlSession(const CCtlSession &) = delete;
    CCtlSession &operator=(const CCtlSession &) = delete;

    const CGlobalOptions &Options() const { return m_Options; }
    const std::string &RegistryPath() const { return m_strRegistry; }
    // Throws a failure naming the registry and the reason when it could not
    // be opened.
    void RequireRegistry() const;

    // Opens the adapter (--adapter NAME, else the first that answers);
    // throws a failure when there is none.
    void ConnectAdapter();
    // The same for commands that can do without the adapter: false when
    // there is none.
    bool ConnectAdapterIfPresent();
    // The station list; created (which starts a scan) on first use.
    kestrow::CStationMngr &Stations();
    // The profile store for a changing command.  Refused with a failure
    // while Kestrow runs on the same registry; loaded only after this
    // process holds Kestrow's single-copy socket.
    kestrow::CProfileMngr &Store();
    // The profile store for reading: loaded without claiming anything and
    // never written back (the changing store when there is one).
    kestrow::CProfileMngr &ReadStore();
    // Writes every profile now; throws a failure when that did not work.
    void SaveStore();
    // Refuses a change of the preferences while Kestrow runs, and keeps
    // Kestrow from starting until this process ends.
    void ClaimForChange();

    // The text of the message boxes shown since the last call.
    std::string TakeMessages() { return m_Messages.Take(); }

private:
    CGlobalOptions m_Options;
    std::string m_strRegistry;
    std::string m_strRegistryError;  // empty when the registry is open
    CCapturedMessages m_Messages;
    kestrow::IMessageSink *m_pPreviousSink = nullptr;
    std::unique_ptr<CInstanceGuard> m_pGuard;
    std::unique_ptr<kestrow::CKestrowSession> m_pSession;
    bool m_bAdapterOpen = false;
    bool m_bClaimed = false;  // this process holds Kestrow's single-copy socket
};

} // namespace kestrowctl
