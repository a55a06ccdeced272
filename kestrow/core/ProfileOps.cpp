#include "ProfileOps.h"

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "KestrowApp.h"
#include "ProfileMngr.h"
#include "SectionLock.h"

namespace kestrow {

namespace {

COpResult FailedShown()
{
    // The store has shown the failure with the system's text.
    return {OpStatus::Failed, 0, {}};
}

// Runs `body` on the store under the main lock.  An unexpected registry
// failure becomes kRegOpUnknownError; the store has made itself consistent
// before raising it.  With `save` every profile is written afterwards, also
// after such a failure.
template <class Body>
CProfileOpResult Run(CKestrowApp &app, bool save, Body &&body)
{
    CSectionLock lock(app, Section::Main);
    if (!lock)
        return COpResult::Busy();
    CProfileMngr *store = app.ProfileMngr();
    if (store == nullptr)
        return COpResult::NotFound();
    CProfileOpResult result;
    try {
        result = body(*store);
    } catch (const CProfileRegOpError &) {
        result = COpResult::Text(kRegOpUnknownError);
    }
    if (save && result.status != OpStatus::NotFound && !store->SaveAll() && result.Ok())
        result = COpResult::Text(CProfileOps::kProfilesNotSaved);
    return result;
}

// A free name beside `target` for the hive to be written to before it
// replaces `target`; `target` itself when none can be made.
std::string ScratchBeside(const std::string &target)
{
    std::vector<char> pattern(target.begin(), target.end());
    for (const char c : std::string(".XXXXXX"))
        pattern.push_back(c);
    pattern.push_back('\0');
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        return target;
    ::close(fd);
    // The hive is written to the name; the file itself must not exist.
    ::unlink(pattern.data());
    return pattern.data();
}

std::set<std::string> Names(const CProfileMngr &store)
{
    std::set<std::string> names;
    for (const auto &[name, record] : store.Profiles())
        names.insert(name);
    return names;
}

} // namespace

CProfile *CProfileOps::Find(CProfileMngr &store, const std::string &name) const
{
    if (name == kConnectedStationName || name == kEditStationName)
        return nullptr;
    return store.Get(name);
}

std::string CProfileOps::HiveFileName(const std::string &chosen)
{
    return chosen.find("reg") == std::string::npos ? chosen + ".reg" : chosen;
}

CProfileOpResult CProfileOps::New(const Editor &edit)
{
    return AddAndEdit(Source::Defaults, {}, nullptr, edit);
}

CProfileOpResult CProfileOps::Duplicate(const std::string &source, const Editor &edit)
{
    return AddAndEdit(Source::Profile, source, nullptr, edit);
}

CProfileOpResult CProfileOps::SaveStation(const CProfile &station, const Editor &edit)
{
    return AddAndEdit(Source::Station, {}, &station, edit);
}

CProfileOpResult CProfileOps::AddAndEdit(Source kind, const std::string &sourceName, const CProfile *station,
                                         const Editor &edit)
{
    return Run(m_App, true, [&](CProfileMngr &store) -> CProfileOpResult {
        const CProfile *source = station;
        if (kind == Source::Profile) {
            source = Find(store, sourceName);
            if (source == nullptr)
                return COpResult::NotFound();
        }
        CProfileOpResult result;
        result.name = store.AddNew(source);
        const bool accepted = edit(result.name);
        if (!accepted) {
            // Whatever Apply wrote goes again, key and all.
            store.Remove(result.name, false, true);
            return result;
        }
        result.changed = true;
        if (CProfile *profile = Find(store, result.name)) {
            if (profile->AutoSelect)
                profile->Priority = store.UpdatePriorities(-1);
            if (!profile->Save(true)) {
                CProfileOpResult failed = COpResult::Text(kProfileNotSaved);
                failed.name = result.name;
                return failed;
            }
        }
        return result;
    });
}

CProfileOpResult CProfileOps::Edit(const std::string &name, const Editor &edit)
{
    return Run(m_App, true, [&](CProfileMngr &store) -> CProfileOpResult {
        const CProfile *before = Find(store, name);
        if (before == nullptr)
            return COpResult::NotFound();
        const bool wasMember = before->AutoSelect;
        const int oldPriority = before->Priority;
        CProfileOpResult result;
        result.name = name;
        result.changed = edit(result.name);
        // Membership may have changed, through OK or an Apply before Cancel.
        if (CProfile *profile = Find(store, result.name)) {
            if (wasMember && !profile->AutoSelect) {
                if (oldPriority >= 0)
                    (void)store.UpdatePriorities(oldPriority);
                profile->Priority = -1;
            } else if (!wasMember && profile->AutoSelect) {
                profile->Priority = store.UpdatePriorities(-1);
            }
        }
        return result;
    });
}

CProfileOpResult CProfileOps::Delete(const std::string &name)
{
    return Run(m_App, true, [&](CProfileMngr &store) -> CProfileOpResult {
        if (Find(store, name) == nullptr)
            return COpResult::NotFound();
        CProfileOpResult result;
        result.name = name;
        result.changed = true;
        store.Remove(name, true, true);
        return result;
    });
}

CProfileOpResult CProfileOps::SetAutoSelect(const std::string &name, bool member)
{
    return ChangeMembership(name, [member](const CProfile &) { return member; });
}

CProfileOpResult CProfileOps::ToggleAutoSelect(const std::string &name)
{
    return ChangeMembership(name, [](const CProfile &record) { return !record.AutoSelect; });
}

CProfileOpResult CProfileOps::ChangeMembership(const std::string &name,
                                               const std::function<bool(const CProfile &)> &wanted)
{
    return Run(m_App, true, [&](CProfileMngr &store) -> CProfileOpResult {
        CProfile *record = Find(store, name);
        if (record == nullptr)
            return COpResult::NotFound();
        const bool member = wanted(*record);
        CProfileOpResult result;
        result.name = name;
        result.changed = member != (record->AutoSelect && record->Priority >= 0);
        // The store allocates and releases the slots; a record claiming a
        // membership without a slot (or the reverse) is put right.
        if (member && record->Priority < 0) {
            record->AutoSelect = true;
            record->Priority = store.UpdatePriorities(-1);
        } else if (!member && record->Priority >= 0) {
            (void)store.UpdatePriorities(record->Priority);
            record->Priority = -1;
            record->AutoSelect = false;
        } else {
            record->AutoSelect = member;
        }
        return result;
    });
}

CProfileOpResult CProfileOps::Move(const std::string &name, int step)
{
    return Run(m_App, true, [&](CProfileMngr &store) -> CProfileOpResult {
        CProfile *record = Find(store, name);
        if (record == nullptr)
            return COpResult::NotFound();
        CProfileOpResult result;
        result.name = name;
        const int priority = record->Priority;
        const int other = priority + (step < 0 ? -1 : 1);
        if (record->AutoSelect && priority >= 0 && other >= 0 && other < store.GetAutoSelectCount()) {
            if (CProfile *neighbour = store.FindByPriority(other)) {
                neighbour->Priority = priority;
                record->Priority = other;
                result.changed = true;
            }
        }
        return result;
    });
}

CProfileOpResult CProfileOps::ExportOne(const std::string &name, const std::string &chosen, bool replaceExisting)
{
    return Export(CProfileMngr::RegExportOne, name, chosen, replaceExisting);
}

CProfileOpResult CProfileOps::ExportAll(const std::string &chosen, bool replaceExisting)
{
    return Export(CProfileMngr::RegExportAll, {}, chosen, replaceExisting);
}

CProfileOpResult CProfileOps::Export(CProfileMngr::RegOpKind op, const std::string &name, const std::string &chosen,
                                     bool replaceExisting)
{
    return Run(m_App, false, [&](CProfileMngr &store) -> CProfileOpResult {
        if (op == CProfileMngr::RegExportOne && Find(store, name) == nullptr)
            return COpResult::NotFound();
        const std::string target = HiveFileName(chosen);
        std::error_code ec;
        // Only a name the user confirmed is replaced; one that got ".reg"
        // appended was never offered for replacing.
        const bool replace = replaceExisting && target == chosen && std::filesystem::exists(target, ec);
        const std::string written = replace ? ScratchBeside(target) : target;
        const bool done = store.RegOp(op, written, op == CProfileMngr::RegExportOne ? name.c_str() : nullptr);
        if (!done) {
            if (written != target)
                std::filesystem::remove(written, ec);
            return FailedShown();
        }
        if (written != target) {
            std::filesystem::rename(written, target, ec);
            if (ec) {
                std::error_code ignored;
                std::filesystem::remove(written, ignored);
                return COpResult::Text(target + " could not be replaced: " + ec.message());
            }
        }
        CProfileOpResult result;
        result.name = target;
        result.changed = true;
        return result;
    });
}

CProfileOpResult CProfileOps::Import(const std::string &chosen)
{
    return Run(m_App, false, [&](CProfileMngr &store) -> CProfileOpResult {
        const std::string file = HiveFileName(chosen);
        const std::set<std::string> before = Names(store);
        if (!store.RegOp(CProfileMngr::RegImport, file, nullptr))
            return FailedShown();
        CProfileOpResult result;
        result.name = file;
        for (const auto &[name, record] : store.Profiles()) {
            if (before.count(name) == 0)
                result.imported.push_back(name);
        }
        result.changed = !result.imported.empty();
        // Imported profiles are kept at once, not only at the next change.
        if (!store.SaveAll()) {
            CProfileOpResult failed = COpResult::Text(kProfilesNotSaved);
            failed.imported = result.imported;
            return failed;
        }
        return result;
    });
}

} // namespace kestrow
