#include "ProfileMngr.h"

#include <platform/Privilege.h>
#include <platform/Registry.h>
#include <platform/SystemMessage.h>
#include <platform/Win32Error.h>

#include "DebugLog.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "Station.h"
#include "StationMngr.h"

namespace kestrow {

namespace {

// The load scan gives up after this many absent keys, less the number of
// profiles expected (see Load).
constexpr int kScanLimit = 100;

std::string ProfileSection(const std::string &prefix, int index)
{
    return prefix + "Profile " + std::to_string(index);
}

// Shows the system's text for a registry error in an information box.
void ShowSystemMessage(std::uint32_t code)
{
    ShowMessageText(platform::system_message(code), MB_OK | MB_ICONINFORMATION);
}

} // namespace

CProfileRegOpError::CProfileRegOpError() : std::runtime_error(kRegOpUnknownError) {}

CProfileMngr::CProfileMngr(Mode mode) : m_Mode(mode)
{
    Load(false);
}

CProfileMngr::~CProfileMngr()
{
    if (m_Mode == Mode::ReadWrite && !SaveAll())
        DebugWrite("\nThe profiles could not be saved");
    m_pCurrent = nullptr;
    m_pEditStation = nullptr;
    m_Profiles.clear();
}

void CProfileMngr::Load(bool import)
{
    CKestrowApp &app = theApp();
    platform::Registry *registry = platform::Registry::current_user();
    const std::string prefix = import ? std::string(kImportSection) + "\\" : std::string();
    if (!import)
        m_nAutoCount = 0;

    const int n = app.GetProfileInt(import ? kImportSection : "", kNumOfProfiles, 0);
    if (n <= 0 || registry == nullptr)
        return;

    // The keys "Profile 0", "Profile 1", ... are scanned until 100 - n of
    // them were found absent, so gaps left by deleted profiles are skipped.
    // The scan also goes on (up to 100 absent keys) while fewer than n
    // profiles were found: otherwise a store of 100 or more profiles, or one
    // with more gaps than 100 - n, would load nothing or lose its last ones.
    // One snapshot of the registry for the whole scan, and one transaction
    // instead of one per key.
    bool memberSeen = false;
    const auto scan = [&]() -> std::uint32_t {
        int absent = 0;
        int found = 0;
        for (int i = 0; absent < kScanLimit && (absent < kScanLimit - n || found < n); ++i) {
            const std::string section = ProfileSection(prefix, i);
            if (registry->open_key(CKestrowApp::SectionKeyPath(section)) != platform::kErrorSuccess) {
                ++absent;
                continue;
            }
            ++found;
            auto record = std::make_unique<CProfile>(section, true);
            // A key whose name was cleared is one whose deletion did not finish.
            if (record->ProfName.empty())
                continue;
            if (import) {
                record->AutoSelect = false;
                record->Priority = -1;
                const std::string name = MakeUniqueName();
                record->ProfName = name;
                record->Section = name;
            } else if (record->AutoSelect) {
                if (record->Priority > m_nAutoCount)
                    m_nAutoCount = record->Priority;
                memberSeen = true;
            } else {
                record->Priority = -1;
            }
            Insert(std::move(record));
        }
        return platform::kErrorSuccess;
    };
    if (registry->transact(scan) != platform::kErrorSuccess)
        DebugWrite("\nThe profile scan did not complete");
    if (!import && memberSeen)
        ++m_nAutoCount;
}

bool CProfileMngr::SaveAll()
{
    CKestrowApp &app = theApp();
    auto work = [&]() {
        bool ok = app.WriteProfileInt("", kNumOfProfiles, static_cast<int>(m_Profiles.size()));
        for (auto &[name, record] : m_Profiles)
            ok = record->Save(false) && ok;
        return ok;
    };
    return app.InProfileTransaction(work);
}

bool CProfileMngr::SectionInUse(const std::string &section) const
{
    for (const auto &[name, record] : m_Profiles) {
        if (record->Section == section)
            return true;
    }
    return false;
}

const std::string &CProfileMngr::MakeUniqueName()
{
    // A renamed record keeps its section, so a free profile name can still
    // be some record's section: a new record must get neither.
    for (int i = 0;; ++i) {
        std::string name = ProfileSection("", i);
        if (m_Profiles.count(name) == 0 && !SectionInUse(name)) {
            m_strNewName = std::move(name);
            return m_strNewName;
        }
    }
}

void CProfileMngr::Insert(std::unique_ptr<CProfile> record)
{
    auto [it, inserted] = m_Profiles.try_emplace(record->ProfName);
    if (!inserted) {
        // An equal name replaces the earlier record.
        if (m_pCurrent == it->second.get())
            m_pCurrent = nullptr;
        if (m_pEditStation == it->second.get())
            m_pEditStation = nullptr;
    }
    it->second = std::move(record);
}

std::string CProfileMngr::AddNew(const CProfile *source)
{
    const std::string name = MakeUniqueName();
    std::unique_ptr<CProfile> record;
    if (source != nullptr) {
        record = std::make_unique<CProfile>(*source);
        // A station holds the channel number; a profile the list index.
        if (dynamic_cast<const CStation *>(source) != nullptr)
            record->PhyChnl = CProfile::ChannelIndex(record->PhyType, record->PhyChnl);
    } else {
        record = std::make_unique<CProfile>(name, true);
    }
    record->ProfName = name;
    record->Section = name;
    record->Priority = -1;
    Insert(std::move(record));
    return name;
}

void CProfileMngr::Remove(const std::string &name, bool updatePriorities, bool deleteFromRegistry)
{
    const auto it = m_Profiles.find(name);
    if (it == m_Profiles.end())
        return;
    CProfile *record = it->second.get();
    const std::int32_t priority = record->Priority;
    if (m_pCurrent != nullptr && (m_pCurrent == record || m_pCurrent->ProfName == record->ProfName))
        SetCurrent(nullptr, true);
    if (m_pEditStation == record)
        m_pEditStation = nullptr;

    bool failed = false;
    // A record without a section (a station) has no key of its own: its
    // empty section would name the application key itself.
    if (deleteFromRegistry && !record->Section.empty()) {
        if (!record->ClearName())
            DebugTrace("\nThe name of %s could not be cleared", record->Section.c_str());
        try {
            (void)RegOpRecord(RegDeleteOne, std::string(), record);
        } catch (const CProfileRegOpError &) {
            failed = true;
        }
    }
    m_Profiles.erase(it);
    if (updatePriorities && priority >= 0)
        (void)UpdatePriorities(priority);
    // The record is gone from memory either way; the caller learns of the
    // unexpected failure after the store is consistent again.
    if (failed)
        throw CProfileRegOpError();
}

void CProfileMngr::Rename(const std::string &oldName, const std::string &newName)
{
    auto node = m_Profiles.extract(oldName);
    if (node.empty())
        return;
    CProfile *record = node.mapped().get();
    record->ProfName = newName;
    Insert(std::move(node.mapped()));
    if (!record->Save(true))
        DebugTrace("\nRenamed profile %s could not be saved", record->Section.c_str());
}

CProfile *CProfileMngr::Get(const std::string &name) const
{
    if (name == kConnectedStationName) {
        return m_pStations != nullptr ? m_pStations->GetConnectedStation() : nullptr;
    }
    if (name == kEditStationName)
        return m_pEditStation;
    const auto it = m_Profiles.find(name);
    return it == m_Profiles.end() ? nullptr : it->second.get();
}

CProfile *CProfileMngr::FindByPriority(int priority) const
{
    for (const auto &[name, record] : m_Profiles) {
        if (record->Priority == priority)
            return record.get();
    }
    return nullptr;
}

CProfile *CProfileMngr::FindByNetName(const std::string &ssid) const
{
    for (const auto &[name, record] : m_Profiles) {
        if (record->NetName == ssid)
            return record.get();
    }
    return nullptr;
}

int CProfileMngr::UpdatePriorities(int k)
{
    if (k < 0)
        return m_nAutoCount++;
    if (m_nAutoCount > 0)
        --m_nAutoCount;
    for (int i = k; i < m_nAutoCount; ++i) {
        if (CProfile *record = FindByPriority(i + 1))
            record->Priority = i;
    }
    return m_nAutoCount;
}

void CProfileMngr::SetCurrent(CProfile *record, bool resetCursor)
{
    m_pCurrent = record;
    if (record == nullptr && resetCursor)
        m_nCursor = 0;
}

CProfile *CProfileMngr::GetCurrent()
{
    if (m_pCurrent != nullptr)
        return m_pCurrent;
    const CProfile *connected = Get(kConnectedStationName);
    if (connected == nullptr)
        return nullptr;
    for (int slot = 0; slot < m_nAutoCount; ++slot) {
        CProfile *record = FindByPriority(slot);
        if (record != nullptr && record->NetName == connected->NetName)
            m_pCurrent = record;
    }
    return m_pCurrent;
}

CProfile *CProfileMngr::NextAutoSelect()
{
    if (m_nAutoCount <= 0)
        return nullptr;
    const int slot = m_nCursor;
    m_nCursor = static_cast<std::int16_t>((slot + 1) % m_nAutoCount);
    return FindByPriority(slot);
}

bool CProfileMngr::RegOp(RegOpKind op, const std::string &file, const char *name)
{
    CProfile *record = nullptr;
    if (name != nullptr) {
        record = Get(name);
        if (record == nullptr)
            return false;
    }
    return RegOpRecord(op, file, record);
}

bool CProfileMngr::RegOpRecord(RegOpKind op, const std::string &file, const CProfile *record)
{
    try {
        return RegOpBody(op, file, record);
    } catch (const CProfileRegOpError &) {
        throw;
    } catch (...) {
        throw CProfileRegOpError();
    }
}

bool CProfileMngr::RegOpBody(RegOpKind op, const std::string &file, const CProfile *record)
{
    if (op < RegExportOne || op > RegDeleteOne)
        return false;
    // Export one and delete one work on a profile's own key: a record
    // without a section (a station) would name the application key itself.
    if ((op == RegExportOne || op == RegDeleteOne) && (record == nullptr || record->Section.empty()))
        return false;
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        throw CProfileRegOpError();

    const std::string_view privilege =
        op == RegImport ? platform::kSeRestorePrivilege : platform::kSeBackupPrivilege;
    if (platform::enable_privilege(privilege) != platform::kErrorSuccess)
        return false;
    struct PrivilegeGuard {
        ~PrivilegeGuard()
        {
            if (platform::disable_all_privileges() != platform::kErrorSuccess)
                DebugWrite("\nThe privileges could not be disabled");
        }
    } guard;

    if (op != RegExportOne && !DeleteImportTree())
        return false;

    CKestrowApp &app = theApp();
    std::string keyPath;
    switch (op) {
    case RegExportOne:
        keyPath = CKestrowApp::SectionKeyPath(record->Section);
        break;
    case RegImport:
        if (!app.WriteProfileInt(kImportSection, kNumOfProfiles, 0)) {
            ShowSystemMessage(platform::kErrorCantWrite);
            return false;
        }
        keyPath = CKestrowApp::SectionKeyPath(kImportSection);
        break;
    default:
        keyPath = CKestrowApp::AppKeyPath();
        break;
    }

    std::uint32_t error = registry->open_key(keyPath);
    if (error == platform::kErrorSuccess) {
        switch (op) {
        case RegExportOne:
        case RegExportAll:
            error = registry->save_key(keyPath, file);
            break;
        case RegImport:
            error = registry->restore_key(keyPath, file);
            break;
        case RegDeleteOne:
            error = registry->delete_key(CKestrowApp::SectionKeyPath(record->Section));
            break;
        default:
            break;
        }
    }
    if (error != platform::kErrorSuccess) {
        ShowSystemMessage(error);
        if (op == RegImport)
            (void)DeleteImportTree();  // the scratch key goes again
        return false;
    }

    if (op == RegImport) {
        const bool ok = TakeOverImport();
        // The scratch area has served its purpose: the profiles taken over
        // live in memory until the next save.
        (void)DeleteImportTree();
        return ok;
    }
    return true;
}

bool CProfileMngr::TakeOverImport()
{
    CKestrowApp &app = theApp();
    if (app.GetProfileInt(kImportSection, kNumOfProfiles, 0) > 0) {
        Load(true);
        return true;
    }
    // A file of one profile: its values lie directly in the Import key.
    const CProfile imported(kImportSection, true);
    const std::string name = AddNew(&imported);
    CProfile *record = Get(name);
    if (record == nullptr)
        return false;
    record->AutoSelect = false;
    record->Priority = -1;
    return true;
}

bool CProfileMngr::DeleteImportTree()
{
    // Writing the count first makes sure the key exists, so its deletion
    // cannot fail for want of it.
    if (!theApp().WriteProfileInt(kImportSection, kNumOfProfiles, 0))
        DebugWrite("\nThe Import key could not be written");
    return DeleteTree(CKestrowApp::SectionKeyPath(kImportSection));
}

bool CProfileMngr::DeleteTree(const std::string &path)
{
    platform::Registry *registry = platform::Registry::current_user();
    if (registry == nullptr)
        return false;
    std::uint32_t error = registry->delete_key(path);
    if (error == platform::kErrorAccessDenied) {
        // The key still has subkeys: delete them, then try once more.  A key
        // that still answers access denied then is a failure like any other.
        std::vector<std::string> subkeys;
        if (registry->enum_subkeys(path, &subkeys) != platform::kErrorSuccess)
            return false;
        for (const std::string &subkey : subkeys) {
            if (!DeleteTree(path + "\\" + subkey))
                return false;
        }
        error = registry->delete_key(path);
    }
    if (error != platform::kErrorSuccess) {
        ShowSystemMessage(error);
        return false;
    }
    return true;
}

} // namespace kestrow
