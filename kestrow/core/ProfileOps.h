// CProfileOps: the user-level profile operations, shared by the Profiles
// page, the site survey's "save as profile" and kestrowctl.  Each one works
// on the application's profile store and returns what it did.
//
// Locking: every operation takes the main lock itself (CSectionLock, try
// form).  When the lock is held elsewhere the operation returns Busy and
// changes nothing.  The operations that edit a record (New, Duplicate,
// SaveStation, Edit) call the caller's editor in the middle, on the calling
// thread, while they still hold the lock: the edit sheet writes into the
// store's record in place, so the polling thread must stay out of the store
// until the operation has settled the record.  An editor therefore must not
// call another operation (it would find the lock busy) and must not wait
// for the polling thread.
//
// Registry failures: a failure with a system error code is shown by the
// store with the system's text (through the message sink) and the result is
// Failed without a text of its own.  An unexpected failure
// (CProfileRegOpError) never leaves an operation: the result carries
// kRegOpUnknownError, the store stays consistent and the lock is released.
#pragma once

#include <functional>
#include <string>

#include "ProfileMngr.h"
#include "ProfileOpResult.h"

namespace kestrow {

class CKestrowApp;
class CProfile;


class CProfileOps {
public:
    // Edits the store's record named `name` in place and may rename it
    // (through the store), setting `name` to the new name.  Returns whether
    // the edit was accepted (OK) or cancelled.
    using Editor = std::function<bool(std::string &name)>;

    // "The profile could not be saved." / "The profiles could not be saved."
    static constexpr const char *kProfileNotSaved = "The profile could not be saved.";
    static constexpr const char *kProfilesNotSaved = "The profiles could not be saved.";

    explicit CProfileOps(CKestrowApp &app) : m_App(app) {}

    // A new record with the defaults, edited; accepted: it takes the next
    // auto-selection slot when it is a member and is saved; cancelled: it
    // goes again (its key too).  `name` of the result is its final name.
    CProfileOpResult New(const Editor &edit);
    // The same for a copy of profile `source` (outside auto-selection).
    CProfileOpResult Duplicate(const std::string &source, const Editor &edit);
    // The same for a copy of a station record of the site survey (its
    // channel number becomes a list index).  The caller keeps `station`
    // alive; it is read under the lock.
    CProfileOpResult SaveStation(const CProfile &station, const Editor &edit);
    // Edits profile `name`; when the edit changed its membership, its slot
    // is released (later members move up) or the next one allocated.
    // Changes applied before a cancel are kept, as the sheet's Apply made
    // them.  `name` of the result is the name after a rename.
    CProfileOpResult Edit(const std::string &name, const Editor &edit);
    // Deletes profile `name`, its registry key and its slot.
    CProfileOpResult Delete(const std::string &name);
    // Moves profile `name` into (next free slot) or out of auto-selection;
    // `changed` says whether its membership changed.
    CProfileOpResult SetAutoSelect(const std::string &name, bool member);
    CProfileOpResult ToggleAutoSelect(const std::string &name);
    // Exchanges member `name` with its neighbour above (step -1) or below
    // (+1); `changed` is false at either end or for a non-member.
    CProfileOpResult Move(const std::string &name, int step);

    // Export of one profile or of all of them to a hive file, `chosen` as
    // the user gave it (see HiveFileName).  With `replaceExisting` (the
    // save dialog has asked) an existing file is replaced: the hive is
    // written beside it and moved over it once complete, so a failed export
    // leaves the old file as it was; otherwise an existing file fails the
    // export.  `name` of the result is the file written.
    CProfileOpResult ExportOne(const std::string &name, const std::string &chosen, bool replaceExisting);
    CProfileOpResult ExportAll(const std::string &chosen, bool replaceExisting);
    // Imports the profiles of a hive file (outside auto-selection, under
    // fresh names) and saves the store; `imported` lists the new names.
    CProfileOpResult Import(const std::string &chosen);

    // The file name used for the hive: ".reg" appended when the name does
    // not contain "reg".
    static std::string HiveFileName(const std::string &chosen);

private:
    enum class Source { Defaults, Profile, Station };
    CProfileOpResult AddAndEdit(Source kind, const std::string &sourceName, const CProfile *station,
                                const Editor &edit);
    CProfileOpResult Export(CProfileMngr::RegOpKind op, const std::string &name, const std::string &chosen,
                            bool replaceExisting);
    // Moves a record in or out of auto-selection as `wanted` decides from
    // the record, in one hold of the lock.
    CProfileOpResult ChangeMembership(const std::string &name, const std::function<bool(const CProfile &)> &wanted);
    // The store's record of a profile (never the station records the store
    // also answers for); null when none.
    CProfile *Find(CProfileMngr &store, const std::string &name) const;

    CKestrowApp &m_App;
};

} // namespace kestrow
