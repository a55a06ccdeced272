// CProfileMngr: the profile store.  Owns every profile record, keyed by
// profile name; loads and saves them under the application's registry key,
// keeps the auto-selection order, and exports and imports profiles as
// registry hive files.
//
// The store has no lock of its own: the user-interface thread changes it
// under the application's main lock, and the polling thread uses it only
// while it holds that lock.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>

#include "Profile.h"

namespace kestrow {
class CStationMngr;
}

namespace kestrow {

// Raised by RegOp when something other than a registry error code went wrong.
class CProfileRegOpError : public std::runtime_error {
public:
    CProfileRegOpError();
};

inline constexpr const char *kRegOpUnknownError =
    "Unknown error while performing profile registry operation";

// Sections and value names shared with the rest of the program.
inline constexpr const char *kImportSection = "Import";
inline constexpr const char *kNumOfProfiles = "NumOfProfiles";
inline constexpr const char *kConnectedStationName = "ConnectedStation";
inline constexpr const char *kEditStationName = "EditStation";
// The site survey's view: 1 the network view, 0 the AP view.
inline constexpr const char *kViewPreference = "View AP or NET";

class CProfileMngr {
public:
    // RegOp operations.
    enum RegOpKind : int { RegExportOne = 0, RegImport = 1, RegExportAll = 2, RegDeleteOne = 3 };

    using ProfileMap = std::map<std::string, std::unique_ptr<CProfile>>;

    // Whether the store writes its records back when it goes: the window's
    // and a changing command's store do; a reading command's does not.
    enum class Mode { ReadWrite, ReadOnly };
    // Loads every profile of the registry (Load(false)).
    explicit CProfileMngr(Mode mode = Mode::ReadWrite);
    // SaveAll (ReadWrite only), then frees the records (the registry keeps
    // them).
    ~CProfileMngr();
    // A reading store becomes a writing one (a command that read first and
    // then claimed the registry for a change).
    void SetMode(Mode mode) { m_Mode = mode; }

    CProfileMngr(const CProfileMngr &) = delete;
    CProfileMngr &operator=(const CProfileMngr &) = delete;

    // Reads the profiles of the application key, or of the Import key when
    // `import` is set (those arrive under fresh "Profile %d" names, outside
    // auto-selection).
    void Load(bool import);
    // "NumOfProfiles" and every record, in one transaction.  False when a
    // write failed.
    bool SaveAll();
    // The first "Profile %d" that is neither a profile name nor the section
    // of a record; kept in the new-name buffer and returned.
    const std::string &MakeUniqueName();
    // A new record (a copy of `source`, or the defaults) named and placed on
    // a fresh section, outside auto-selection.  A CStation source gives its
    // channel number back as a list index.  Nothing is written.
    std::string AddNew(const CProfile *source);
    void Remove(const std::string &name, bool updatePriorities, bool deleteFromRegistry);
    void Rename(const std::string &oldName, const std::string &newName);
    // "ConnectedStation": the station list's connected station; "EditStation":
    // the edit-station record; otherwise the record of that name.  Null when
    // there is none.
    CProfile *Get(const std::string &name) const;
    CProfile *FindByPriority(int priority) const;
    CProfile *FindByNetName(const std::string &ssid) const;
    // k >= 0 releases slot k (later members move up); k < 0 allocates the
    // next slot and returns it.  Otherwise returns the new count.
    int UpdatePriorities(int k);
    void SetCurrent(CProfile *record, bool resetCursor);
    CProfile *GetCurrent();
    CProfile *NextAutoSelect();
    void SetEditStation(CProfile *record) { m_pEditStation = record; }
    // The station list whose connected station "ConnectedStation" names
    // (null: none).  The application sets it when it creates the list.
    void SetStationList(const CStationMngr *stations) { m_pStations = stations; }

    // Export one (0), import (1), export all (2), delete one key (3).  False
    // after a failure, which is shown with the system's text; raises
    // CProfileRegOpError on an unexpected failure.
    bool RegOp(RegOpKind op, const std::string &file, const char *name);

    // Number of records; iteration in name order.
    std::size_t GetCount() const { return m_Profiles.size(); }
    const ProfileMap &Profiles() const { return m_Profiles; }
    int GetAutoSelectCount() const { return m_nAutoCount; }

private:
    bool RegOpRecord(RegOpKind op, const std::string &file, const CProfile *record);
    bool RegOpBody(RegOpKind op, const std::string &file, const CProfile *record);
    bool DeleteImportTree();
    bool DeleteTree(const std::string &path);
    bool TakeOverImport();
    void Insert(std::unique_ptr<CProfile> record);
    bool SectionInUse(const std::string &section) const;

    Mode m_Mode;
    const CStationMngr *m_pStations = nullptr;
    std::string m_strNewName;
    ProfileMap m_Profiles;
    std::int32_t m_nAutoCount = 0;
    CProfile *m_pEditStation = nullptr;
    CProfile *m_pCurrent = nullptr;
    std::int16_t m_nCursor = 0;
};

} // namespace kestrow
