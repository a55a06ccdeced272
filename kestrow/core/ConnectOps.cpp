#include "ConnectOps.h"

#include <memory>
#include <thread>

#include "CommVarList.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "Poll.h"
#include "ProfileMngr.h"
#include "SectionLock.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"
#include "VarCodes.h"

namespace kestrow {

namespace {
constexpr std::chrono::milliseconds kAssociationPoll{100};
// Refresh period (ticks) after a join, so the new connection shows soon.
constexpr std::int32_t kJoinRefreshTicks = 2;
} // namespace

CConnectOps::CConnectOps(CKestrowApp &app, std::chrono::milliseconds associateWait,
                         std::chrono::milliseconds lockWait)
    : m_App(app), m_AssociateWait(associateWait), m_LockWait(lockWait)
{
}

bool CConnectOps::Associated()
{
    CCommVarList batch;
    CCommVar *var = batch.Add(VAR_CONNECTED, nullptr, nullptr);
    return var != nullptr && batch.Exec(false, false) && var->m_Records[0].u8(0) != 0;
}

bool CConnectOps::WaitForAssociation(std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        if (Associated())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kAssociationPoll);
    }
}

std::optional<bool> CConnectOps::AwaitAssociation() const
{
    if (m_AssociateWait <= std::chrono::milliseconds::zero())
        return std::nullopt;
    // An ad hoc network this program started reports no association.
    return m_App.AdHocConnected() || WaitForAssociation(m_AssociateWait);
}

bool CConnectOps::ApplyConnect(CStation &station, std::optional<bool> &associated)
{
    if (IMainWindow *window = m_App.GetMainWindow())
        window->NoteUserConnect(station.NetName);
    bool connected = station.Apply(CStation::Connect);
    if (connected) {
        associated = AwaitAssociation();
        connected = associated.value_or(true);
    }
    if (!connected) {
        // The adapter is on no known connection now.
        if (CStationMngr *stations = m_App.StationMngr())
            stations->SetConnected(nullptr);
        if (CProfileMngr *store = m_App.ProfileMngr())
            store->SetCurrent(nullptr, true);
    }
    return connected;
}

CConnectOps::Outcome CConnectOps::ConnectProfile(const std::string &name)
{
    CSectionLock lock(m_App, Section::Main, m_LockWait);
    if (!lock)
        return {COpResult::Busy(), std::nullopt};
    CProfileMngr *store = m_App.ProfileMngr();
    CProfile *profile = store != nullptr ? store->Get(name) : nullptr;
    if (profile == nullptr)
        return {COpResult::NotFound(), std::nullopt};
    CStationMngr *stations = m_App.StationMngr();

    // A station record built from the profile, applied in connect mode.
    auto station = std::make_unique<CStation>(*profile, nullptr, 0);
    Outcome outcome;
    if (!ApplyConnect(*station, outcome.associated)) {
        outcome.result = COpResult::Message(IDS_PROFILE_CONNECT_FAILED);
        return outcome;
    }
    m_App.SetReadBackCountdown(CPoll::kReadBackTicks);
    if (stations != nullptr)
        stations->SetConnected(station.get());
    store->SetCurrent(m_App.AdHocConnected() ? profile : nullptr, true);
    if (CPoll *poll = m_App.Poll())
        poll->ResetStats();
    m_App.RequestFullRefresh();
    return outcome;
}

CConnectOps::JoinOutcome CConnectOps::JoinStation(const CStation &target)
{
    CSectionLock lock(m_App, Section::Main, m_LockWait);
    if (!lock)
        return {COpResult::Busy(), std::nullopt, {}, {}};
    return JoinHeld(target);
}

CConnectOps::JoinOutcome CConnectOps::JoinHidden(const CStation &target, const std::string &netName)
{
    CSectionLock lock(m_App, Section::Main, m_LockWait);
    if (!lock)
        return {COpResult::Busy(), std::nullopt, {}, {}};
    // The connection to go back to: a copy, since the join rebuilds the list.
    std::unique_ptr<CStation> previous;
    if (CStationMngr *stations = m_App.StationMngr()) {
        if (const CStation *connected = stations->GetConnectedStation(); connected != nullptr && Associated())
            previous = std::make_unique<CStation>(*connected);
    }
    CStation named(target);
    named.NetName = netName;
    JoinOutcome outcome = JoinHeld(named);
    if (outcome.result.Ok() || previous == nullptr)
        return outcome;
    std::optional<bool> associated;
    if (ApplyConnect(*previous, associated)) {
        if (CStationMngr *stations = m_App.StationMngr())
            stations->SetConnected(previous.get());
        m_App.RequestFullRefresh();
    }
    return outcome;
}

CConnectOps::JoinOutcome CConnectOps::JoinHeld(const CStation &target)
{
    CProfileMngr *store = m_App.ProfileMngr();
    CStationMngr *stations = m_App.StationMngr();
    if (store == nullptr)
        return {COpResult::NotFound(), std::nullopt, {}, {}};

    JoinOutcome outcome;
    CStation station(target);
    if (!ApplyConnect(station, outcome.associated)) {
        outcome.result = COpResult::Message(IDS_STATION_CONNECT_FAILED);
        return outcome;
    }

    m_App.SetReadBackCountdown(CPoll::kReadBackTicks);
    station.NetName = target.NetName;
    if (stations != nullptr)
        stations->SetConnected(&station);
    store->SetCurrent(nullptr, true);
    if (CPoll *poll = m_App.Poll())
        poll->SetInterval(kJoinRefreshTicks);

    // The network becomes an auto-selection profile.  One with the same name
    // is replaced and its place in the order kept; one outside the order
    // had no place, so the new one takes the next free slot.
    int priority = -1;
    if (const CProfile *old = store->FindByNetName(station.NetName)) {
        priority = old->AutoSelect ? old->Priority : -1;
        const std::string oldName = old->ProfName;
        try {
            store->Remove(oldName, false, true);
        } catch (const CProfileRegOpError &) {
            outcome.recordError = kRegOpUnknownError;
        }
    }
    outcome.profileName = store->AddNew(&station);
    if (CProfile *profile = store->Get(outcome.profileName)) {
        profile->AutoSelect = true;
        profile->Priority = priority >= 0 ? priority : store->UpdatePriorities(-1);
    }
    if (!store->SaveAll() && outcome.recordError.empty())
        outcome.recordError = "The profiles could not be saved.";
    m_App.RequestFullRefresh();
    return outcome;
}

COpResult CConnectOps::EditConnectionSecurity(CStation &station)
{
    return station.Apply(CStation::SecurityOnly) ? COpResult::Done() : COpResult::Message(IDS_DRIVER_ERROR);
}

} // namespace kestrow
