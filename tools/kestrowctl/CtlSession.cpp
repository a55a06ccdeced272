#include "CtlSession.h"

#include <DeviceOps.h>
#include <KestrowApp.h>
#include <KestrowSession.h>
#include <Preferences.h>
#include <ProfileMngr.h>
#include <StationMngr.h>
#include <platform/Registry.h>

#include "CtlError.h"

namespace kestrowctl {

using kestrow::theApp;

int CCapturedMessages::ShowMessageBox(const std::string &text, unsigned /*type*/)
{
    m_Texts.push_back(text);
    return kestrow::IDOK;
}

std::string CCapturedMessages::Take()
{
    std::string all;
    for (const std::string &text : m_Texts) {
        if (!all.empty())
            all += "; ";
        all += text;
    }
    m_Texts.clear();
    // System message texts end in a line break; the error is one line.
    while (!all.empty() && (all.back() == '\n' || all.back() == '\r' || all.back() == ' '))
        all.pop_back();
    for (char &c : all) {
        if (c == '\n' || c == '\r')
            c = ' ';
    }
    return all;
}

CCtlSession::CCtlSession(const CGlobalOptions &options) : m_Options(options)
{
    // A registry that cannot be opened fails only the commands that need it
    // (RequireRegistry); the adapter's status works without it.
    if (!m_Options.registry.empty()) {
        (void)platform::Registry::set_current_user_path(m_Options.registry);
        m_strRegistry = m_Options.registry;
    } else {
        m_strRegistry = platform::Registry::default_path();
    }
    if (const auto failure = platform::Registry::current_user_failure())
        m_strRegistryError = "cannot open the registry " + failure->path + ": " + failure->reason;
    m_pPreviousSink = kestrow::SetMessageSink(&m_Messages);
    m_pSession = std::make_unique<kestrow::CKestrowSession>(theApp(), kestrow::CKestrowSession::Kind::Command);
    if (!theApp().HasMainLock() && !theApp().CreateMainLock())
        throw Failure("the lock of the profile store cannot be set up");
}

void CCtlSession::RequireRegistry() const
{
    if (!m_strRegistryError.empty())
        throw Failure(m_strRegistryError);
}

CCtlSession::~CCtlSession()
{
    // The core's session shuts down first (station list, store, adapter);
    // the message sink and the single-copy socket go last, once everything
    // is written.
    m_pSession.reset();
    (void)kestrow::SetMessageSink(m_pPreviousSink);
    m_pGuard.reset();
}

void CCtlSession::ConnectAdapter()
{
    if (m_bAdapterOpen)
        return;
    kestrow::CKestrowApp &app = theApp();
    if (!m_Options.adapter.empty()) {
        // A name opens that adapter without the probe; a request that finds
        // no such adapter fails, and nothing falls back to a search.
        const bool opened = kestrow::CurrentDeviceOps().connect(m_Options.adapter.c_str()) == 0;
        app.SetDriverConnected(opened);
        if (!opened)
            throw Failure("cannot open adapter '" + m_Options.adapter + "'");
    } else {
        // The adapter chosen in the preferences, when one is (and the
        // registry can be read); else the first that answers.
        app.SetAdapterChoice(m_strRegistryError.empty() ? kestrow::CPreferences::ReadAdapter(app) : "");
        if (!app.ConnectDriver()) {
            const std::string choice = app.AdapterChoice();
            throw Failure(choice.empty() ? "no adapter found: no installed adapter answers"
                                         : "cannot open adapter '" + choice + "' (chosen in the preferences)");
        }
    }
    m_bAdapterOpen = true;
}

bool CCtlSession::ConnectAdapterIfPresent()
{
    try {
        ConnectAdapter();
        return true;
    } catch (const CCtlError &) {
        return false;
    }
}

kestrow::CStationMngr &CCtlSession::Stations()
{
    kestrow::CKestrowApp &app = theApp();
    if (app.StationMngr() == nullptr) {
        ConnectAdapter();
        // Only a changing command records the connected station, as the
        // window does when it closes; a reading command leaves the registry
        // as it found it.
        const auto persist = m_bClaimed ? kestrow::CStationMngr::Persist::ConnectedKey
                                        : kestrow::CStationMngr::Persist::Nothing;
        app.SetStationMngr(std::make_unique<kestrow::CStationMngr>(app, ReadStore(), persist));
    }
    return *app.StationMngr();
}

void CCtlSession::ClaimForChange()
{
    if (!m_pGuard)
        m_pGuard = std::make_unique<CInstanceGuard>(CInstanceGuard::SocketPath(m_strRegistry));
    if (m_pGuard->Claim() == CInstanceGuard::Result::Running)
        throw Failure("Kestrow is running: make this change in its window, or close it and try again "
                      "(reading commands work while it runs)");
    m_bClaimed = true;
}

kestrow::CProfileMngr &CCtlSession::Store()
{
    kestrow::CKestrowApp &app = theApp();
    ClaimForChange();
    if (app.ProfileMngr() == nullptr)
        app.SetProfileMngr(std::make_unique<kestrow::CProfileMngr>());
    else
        app.ProfileMngr()->SetMode(kestrow::CProfileMngr::Mode::ReadWrite);
    return *app.ProfileMngr();
}

kestrow::CProfileMngr &CCtlSession::ReadStore()
{
    kestrow::CKestrowApp &app = theApp();
    if (app.ProfileMngr() == nullptr)
        app.SetProfileMngr(std::make_unique<kestrow::CProfileMngr>(kestrow::CProfileMngr::Mode::ReadOnly));
    return *app.ProfileMngr();
}

void CCtlSession::SaveStore()
{
    if (!Store().SaveAll())
        throw Failure("the profiles could not be saved to the registry " + m_strRegistry);
}

} // namespace kestrowctl
