#include "SiteCommands.h"

#include <QInputDialog>
#include <QLineEdit>

#include <QDialog>

#include "ConnectOps.h"
#include "CoreTask.h"
#include "EditProfile.h"
#include "IMainWindow.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "ProfileMngr.h"
#include "ProfileOps.h"
#include "SectionLock.h"
#include "Station.h"
#include "StationMngr.h"
#include "StringTable.h"

namespace kestrow {

namespace {

// Takes the main lock for work that runs on the device worker (bounded
// wait) or, without a worker, at once on this thread (try form).  True when
// the work may use the station list, also when there is no main lock.
bool HoldMainLock(std::optional<CSectionLock> &lock)
{
    CKestrowApp &app = theApp();
    if (!app.HasMainLock()) {
        return true;
    }
    if (app.Worker() != nullptr) {
        lock.emplace(app, Section::Main, CConnectOps::kLockWait);
    } else {
        lock.emplace(app, Section::Main);
    }
    return lock->Owns();
}

void ShowFailure(const COpResult &result)
{
    if (result.status != OpStatus::Failed) {
        return;
    }
    if (result.messageId != 0) {
        ShowMessage(result.messageId);
    } else if (!result.text.empty()) {
        ShowMessageText(result.text, MB_OK | MB_ICONERROR);
    }
}

} // namespace

CSiteCommands::CSiteCommands(QWidget &owner) : m_Owner(owner) {}

std::optional<std::vector<CSurveyRow>> CSiteCommands::BuildRows(bool updateFromScan)
{
    CKestrowApp &app = theApp();
    std::optional<CSectionLock> lock;
    if (!HoldMainLock(lock)) {
        // The next main timer routine brings the rows instead.
        app.RequestFullRefresh();
        return std::nullopt;
    }
    CStationMngr *stations = app.StationMngr();
    if (stations == nullptr) {
        return std::vector<CSurveyRow>();
    }
    if (updateFromScan && !stations->UpdateFromScan()) {
        app.SetScanActive(false);
    }
    return CSurveyTable::Rows(*stations, false, 0, true);
}

void CSiteCommands::SetBusy(bool busy)
{
    if (m_Busy.Set(busy)) {
        emit BusyChanged();
    }
}

void CSiteCommands::Rescan()
{
    RunCoreTask<int>(
        this,
        [] {
            std::optional<CSectionLock> lock;
            CStationMngr *stations = theApp().StationMngr();
            return HoldMainLock(lock) && stations != nullptr ? stations->StartScan() : 0;
        },
        [this](int) { emit StationsChanged(); });
}

void CSiteCommands::WithStationCopy(const std::string &key, std::function<void(std::shared_ptr<CStation>)> next)
{
    SetBusy(true);
    RunCoreTask<std::shared_ptr<CStation>>(
        this,
        [key] {
            std::optional<CSectionLock> lock;
            const CStationMngr *stations = theApp().StationMngr();
            const CStation *station = HoldMainLock(lock) && stations != nullptr ? stations->Lookup(key) : nullptr;
            return station != nullptr ? std::make_shared<CStation>(*station) : std::shared_ptr<CStation>();
        },
        [this, next = std::move(next)](std::shared_ptr<CStation> station) {
            SetBusy(false);
            if (station) {
                next(std::move(station));
            }
        });
}

int CSiteCommands::RunSheet(CEditProfile &sheet)
{
    return m_SheetRunner ? m_SheetRunner(sheet) : sheet.exec();
}

bool CSiteCommands::EditStation(CStation &station, EditMode mode)
{
    CKestrowApp &app = theApp();
    CSectionLock lock(app, Section::Main);
    CProfileMngr *store = app.ProfileMngr();
    if ((app.HasMainLock() && !lock) || store == nullptr) {
        return false;
    }
    store->SetEditStation(&station);
    const QString caption = QStr(LoadString(mode == EDIT_CONNECTION ? IDS_EDIT_CONNECTION : IDS_ENTER_SECURITY));
    bool accepted = false;
    {
        CEditProfile sheet(caption, kEditStationName, &m_Owner);
        accepted = RunSheet(sheet) == QDialog::Accepted;
    }
    store->SetEditStation(nullptr);
    return accepted;
}

void CSiteCommands::Connect(const CSurveyRow &row)
{
    if (Busy() || row.connected) {
        return;
    }
    const bool wep = row.cells[CSurveyTable::kSecurityColumn].starts_with("WEP");
    const bool hidden = row.cells[1].empty();
    WithStationCopy(row.stationKey, [this, wep, hidden](std::shared_ptr<CStation> station) {
        // A hidden network's name comes first: the key belongs to it.
        std::optional<std::string> name;
        if (hidden && !(name = AskNetworkName())) {
            return;
        }
        // A WEP network without a key asks for one.
        if (wep && station->ActiveSecKey < 0 && !EditStation(*station, EDIT_SECURITY)) {
            return;
        }
        Join(std::move(station), std::move(name));
    });
}

std::optional<std::string> CSiteCommands::AskNetworkName()
{
    for (;;) {
        std::optional<std::string> name;
        if (m_NamePrompt) {
            name = m_NamePrompt();
        } else {
            bool ok = false;
            const QString text = QInputDialog::getText(&m_Owner, QStringLiteral("Hidden Network"),
                                                       QStringLiteral("Network Name (SSID):"), QLineEdit::Normal,
                                                       QString(), &ok);
            if (ok) {
                name = text.toStdString();
            }
        }
        if (!name) {
            return std::nullopt;
        }
        if (!name->empty() && name->size() <= 32) {
            return name;
        }
        ShowMessage(IDS_INVALID_SSID, MB_OK | MB_ICONERROR);
        if (m_NamePrompt) {
            return std::nullopt;  // a scripted prompt would answer the same again
        }
    }
}

void CSiteCommands::Join(std::shared_ptr<CStation> station, std::optional<std::string> hiddenName)
{
    SetBusy(true);
    RunCoreTask<CConnectOps::JoinOutcome>(
        this,
        [station, hiddenName] {
            CConnectOps ops(theApp());
            return hiddenName ? ops.JoinHidden(*station, *hiddenName) : ops.JoinStation(*station);
        },
        [this](CConnectOps::JoinOutcome outcome) {
            SetBusy(false);
            emit StationsChanged();
            if (outcome.result.status == OpStatus::Failed) {
                ShowFailure(outcome.result);
            } else if (!outcome.recordError.empty()) {
                ShowMessageText(outcome.recordError, MB_OK | MB_ICONERROR);
            }
        });
}

void CSiteCommands::SaveProfile(const std::string &stationKey)
{
    if (Busy() || stationKey.empty()) {
        return;
    }
    WithStationCopy(stationKey, [this](std::shared_ptr<CStation> station) {
        // A profile operation: no device work, the lock in its try form.
        const QString caption = QStr(LoadString(IDS_SAVE_CONNECTION));
        const CProfileOpResult result =
            CProfileOps(theApp()).SaveStation(*station, [this, &caption](std::string &name) {
                CEditProfile sheet(caption, name, &m_Owner);
                const bool accepted = RunSheet(sheet) == QDialog::Accepted;
                name = sheet.ProfileName();
                return accepted;
            });
        if (result.status == OpStatus::Busy) {
            return;
        }
        emit StationsChanged();
        if (const std::string text = result.Describe(); !text.empty()) {
            ShowMessageText(text, MB_OK | MB_ICONERROR);
        }
        if (result.Ok() && result.changed) {
            if (IMainWindow *window = theApp().GetMainWindow()) {
                window->UpdatePages(true);
            }
        }
    });
}

void CSiteCommands::EditConnection(const CSurveyRow &row)
{
    // Only the connected station's security can be edited.
    if (Busy() || !row.connected) {
        return;
    }
    WithStationCopy(row.stationKey, [this](std::shared_ptr<CStation> station) {
        if (EditStation(*station, EDIT_CONNECTION)) {
            ApplyConnectionEdit(std::move(station));
        } else {
            emit StationsChanged();
        }
    });
}

void CSiteCommands::ApplyConnectionEdit(std::shared_ptr<CStation> station)
{
    SetBusy(true);
    RunCoreTask<COpResult>(
        this,
        [station] {
            CKestrowApp &app = theApp();
            std::optional<CSectionLock> lock;
            if (!HoldMainLock(lock)) {
                return COpResult::Busy();
            }
            CStationMngr *stations = app.StationMngr();
            const std::string key = station->Key();
            if (stations == nullptr || stations->ConnectedKey != key) {
                return COpResult::NotFound();
            }
            // The edited copy becomes the connected station's record.
            stations->AddStation(std::make_unique<CStation>(*station));
            return CConnectOps(app).EditConnectionSecurity(*stations->Lookup(key));
        },
        [this](COpResult result) {
            SetBusy(false);
            ShowFailure(result);
            emit StationsChanged();
        });
}

} // namespace kestrow
