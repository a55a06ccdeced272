#include "ProfileCmd.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <vector>

#include <KestrowApp.h>
#include <ProfileListing.h>
#include <ProfileMngr.h>
#include <ProfileOps.h>
#include <StringTable.h>
#include <VarCodes.h>
#include <Conversions.h>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "DeviceQuery.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

constexpr std::size_t kMaxProfileName = 20;
constexpr std::size_t kMaxSsid = 32;

const char *const kPowerSaveNames[] = {"auto", "max-performance", "good-performance", "max-power-save"};

std::size_t CodePoints(const std::string &text)
{
    return DisplayWidth(text);
}

std::string SecurityName(const CProfile &p)
{
    return p.SecType != 0 ? "WEP" : "None";
}

char PhyLetter(int phy)
{
    return phy == 0 ? 'a' : (phy == 2 ? 'g' : 'b');
}

// The SSID the adapter is associated with, when it can be asked.
std::optional<std::string> ConnectedSsid(CCtlSession &session)
{
    try {
        session.ConnectAdapter();
    } catch (const CCtlError &) {
        return std::nullopt;  // the list does not need the adapter
    }
    if (!AdapterAssociated())
        return std::nullopt;
    return ReadText(VAR_SSID, ConvSsid);
}

// The first and last 2.4 GHz channel the regulatory domain allows, as the
// edit sheet's channel list offers them; 1..14 when the adapter cannot say.
std::pair<int, int> DomainChannels()
{
    const auto record = ReadRecord(VAR_REG_DOMAIN);
    if (!record)
        return {1, 14};
    switch (record->u32(0)) {
    case 0x10:
    case 0x20: return {1, 11};
    case 0x30: return {1, 13};
    case 0x31: return {10, 11};
    case 0x32: return {10, 13};
    default: return {1, 14};
    }
}

bool IsAChannel(int channel)
{
    return (channel >= 36 && channel <= 64 && channel % 4 == 0) ||
           (channel >= 149 && channel <= 161 && (channel - 149) % 4 == 0);
}

// The options of "profile add" and "profile edit", checked before anything
// is changed.
struct Edit {
    std::optional<std::string> newName;
    std::optional<std::string> ssid;
    std::optional<bool> infrastructure;
    std::optional<int> phy;
    std::optional<int> channel;  // channel number
    std::optional<int> powerSave;
    std::optional<int> security;
    std::vector<std::pair<int, std::string>> keys;  // index 0..3, digits
    std::optional<int> activeKey;                    // 0..3
    std::optional<bool> autoSelect;
};

Edit ParseEdit(const CCtlArgs &args)
{
    Edit e;
    e.newName = args.Value("--name");
    e.ssid = args.Value("--ssid");
    if (const auto mode = args.Value("--mode")) {
        if (*mode == "infra" || *mode == "infrastructure")
            e.infrastructure = true;
        else if (*mode == "adhoc" || *mode == "ad-hoc")
            e.infrastructure = false;
        else
            throw UsageError("--mode takes infra or adhoc, not '" + *mode + "'");
    }
    if (const auto phy = args.Value("--phy")) {
        if (*phy == "a")
            e.phy = 0;
        else if (*phy == "b" || *phy == "bg")
            e.phy = 1;
        else if (*phy == "g")
            e.phy = 2;
        else
            throw UsageError("--phy takes a, b or g, not '" + *phy + "'");
    }
    if (const auto channel = args.Value("--channel")) {
        e.channel = ParseInt(*channel, 1, 200);
        if (!e.channel)
            throw UsageError("--channel takes a channel number, not '" + *channel + "'");
    }
    if (const auto ps = args.Value("--power-save")) {
        for (int i = 0; i < 4; ++i) {
            if (*ps == kPowerSaveNames[i])
                e.powerSave = i;
        }
        if (!e.powerSave)
            throw UsageError("--power-save takes auto, max-performance, good-performance or max-power-save");
    }
    if (const auto sec = args.Value("--security")) {
        if (*sec == "none")
            e.security = 0;
        else if (*sec == "wep")
            e.security = 1;
        else
            throw UsageError("--security takes none or wep, not '" + *sec + "'");
    }
    for (const std::string &spec : args.Values("--wep-key")) {
        const std::size_t colon = spec.find(':');
        const auto index = colon == std::string::npos ? std::nullopt : ParseInt(spec.substr(0, colon), 1, 4);
        const auto digits = colon == std::string::npos ? std::nullopt : ParseWepKey(spec.substr(colon + 1));
        if (!index || !digits)
            throw UsageError("--wep-key takes INDEX:KEY, INDEX 1-4 and KEY 10 or 26 hexadecimal digits");
        e.keys.emplace_back(*index - 1, *digits);
    }
    if (const auto active = args.Value("--active-key")) {
        const auto index = ParseInt(*active, 1, 4);
        if (!index)
            throw UsageError("--active-key takes a key index from 1 to 4");
        e.activeKey = *index - 1;
    }
    if (args.Flag("--auto") && args.Flag("--no-auto"))
        throw UsageError("--auto and --no-auto exclude each other");
    if (args.Flag("--auto"))
        e.autoSelect = true;
    else if (args.Flag("--no-auto"))
        e.autoSelect = false;
    return e;
}

void CheckName(const std::string &name)
{
    if (name.empty() || CodePoints(name) > kMaxProfileName)
        throw UsageError(LoadString(IDS_INVALID_PROFILE_NAME));
    // The store resolves these two names to records of its own, so a
    // profile so named could never be found again.
    if (name == kConnectedStationName || name == kEditStationName)
        throw UsageError("'" + name + "' is a name the program reserves for itself");
}

// Applies the options to `target` (a copy of the record being edited, or a
// fresh record), validating as the edit sheet does: name (111), SSID (112),
// then the security keys (110).
void ApplyEdit(const Edit &e, CProfile &target, const std::string &name, bool fresh)
{
    CheckName(name);
    if (e.ssid)
        target.NetName = *e.ssid;
    if (target.NetName.empty() || target.NetName.size() > kMaxSsid)
        throw UsageError(LoadString(IDS_INVALID_SSID));
    if (e.infrastructure)
        target.NetMode = *e.infrastructure;
    if (e.phy)
        target.PhyType = *e.phy;
    if (fresh || e.channel || e.phy) {
        const int phy = target.PhyType;
        int channel = e.channel ? *e.channel : (phy == 0 ? 36 : DomainChannels().first);
        if (phy == 0) {
            if (!IsAChannel(channel))
                throw UsageError("channel " + std::to_string(channel) +
                                 " is not an 802.11a channel (36-64, 149-161, in steps of 4)");
        } else {
            const auto [first, last] = DomainChannels();
            if (channel < first || channel > last)
                throw UsageError("channel " + std::to_string(channel) + " is not allowed here (channels " +
                                 std::to_string(first) + " to " + std::to_string(last) + ")");
        }
        target.PhyChnl = CProfile::ChannelIndex(phy, channel);
    }
    if (e.powerSave)
        target.PSType = *e.powerSave;
    for (const auto &[index, digits] : e.keys) {
        target.SecKey[static_cast<std::size_t>(index)] = digits;
        target.SecKeyLen[static_cast<std::size_t>(index)] = digits.size() == 26 ? 1 : 0;
    }
    if (e.security)
        target.SecType = *e.security;
    else if (!e.keys.empty())
        target.SecType = 1;  // a key given means WEP
    const auto complete = [&](int k) {
        if (k < 0 || k >= kNumSecKeys)
            return false;
        const auto i = static_cast<std::size_t>(k);
        const std::size_t want = target.SecKeyLen[i] == 0 ? 10 : (target.SecKeyLen[i] == 1 ? 26 : 0);
        return want != 0 && target.SecKey[i].size() == want;
    };
    if (e.activeKey) {
        target.ActiveSecKey = *e.activeKey;
    } else if (!complete(target.ActiveSecKey)) {
        // As in the Security page: the active key follows the first key to
        // become complete.
        target.ActiveSecKey = -1;
        for (const auto &[index, digits] : e.keys) {
            if (complete(index)) {
                target.ActiveSecKey = index;
                break;
            }
        }
    }
    if (target.SecType == 1 && !target.Use802_1 && !complete(target.ActiveSecKey))
        throw UsageError(LoadString(IDS_NEED_SECURITY_KEY));
    if (e.autoSelect)
        target.AutoSelect = *e.autoSelect;
}

// Copies the edited fields back into the stored record.
void CopyFields(const CProfile &from, CProfile &to)
{
    to.NetName = from.NetName;
    to.NetMode = from.NetMode;
    to.PhyType = from.PhyType;
    to.PhyChnl = from.PhyChnl;
    to.PSType = from.PSType;
    to.SecType = from.SecType;
    to.ActiveSecKey = from.ActiveSecKey;
    to.SecKey = from.SecKey;
    to.SecKeyLen = from.SecKeyLen;
}

// Turns what an operation of the core left to report into a failure:
// `messages` are the texts the core showed on the way.
void Check(const CProfileOpResult &result, const std::string &name, const std::string &messages)
{
    switch (result.status) {
    case OpStatus::Done: return;
    case OpStatus::Busy: throw Failure("the profile store is busy; try again");
    case OpStatus::NotFound: throw Failure("no profile named '" + EscapeText(name) + "'");
    case OpStatus::Failed: break;
    }
    std::string text = result.Describe();
    if (!messages.empty())
        text = text.empty() ? messages : text + "; " + messages;
    throw Failure(text.empty() ? std::string("the operation failed") : text);
}

CProfile &Existing(CProfileMngr &store, const std::string &name)
{
    CProfile *record = name == kConnectedStationName || name == kEditStationName ? nullptr : store.Get(name);
    if (record == nullptr)
        throw Failure("no profile named '" + EscapeText(name) + "'");
    return *record;
}

std::string ProfileOutput(CCtlSession &session, const CProfile &record, const std::string &verb)
{
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("profile");
        WriteProfileJson(w, record, false);
        w.EndObject();
        return w.Take();
    }
    std::string out = "Profile '" + EscapeText(record.ProfName) + "' " + verb + ": SSID " +
                      EscapeText(record.NetName) + ", " + SecurityName(record);
    if (record.AutoSelect && record.Priority >= 0)
        out += ", auto-selection priority " + std::to_string(record.Priority + 1);
    return out + "\n";
}

// The edit step of "profile add" and "profile edit": the draft's fields go
// into the record the operation made or opened, which then takes the wanted
// name (the operation reports the name the record ends under).
CProfileOps::Editor WriteDraft(CProfileMngr &store, const CProfile &draft, const std::string &wanted)
{
    return [&store, &draft, wanted](std::string &name) {
        CProfile &record = *store.Get(name);
        CopyFields(draft, record);
        record.AutoSelect = draft.AutoSelect;
        if (name != wanted) {
            store.Rename(name, wanted);
            name = wanted;
        }
        return true;
    };
}

std::string AddOrEdit(CCtlSession &session, CCtlArgs &args, bool add)
{
    args.Accept({"--auto", "--no-auto"}, {"--ssid", "--mode", "--phy", "--channel", "--power-save", "--security",
                                          "--wep-key", "--active-key", "--name"});
    args.ExpectWords(2, 1, add ? "profile add NAME --ssid SSID [options]" : "profile edit NAME [options]");
    const std::string name = args.Words()[2];
    Edit e = ParseEdit(args);
    CProfileMngr &store = session.Store();
    session.ConnectAdapterIfPresent();

    CProfileOps ops(theApp());
    if (add) {
        if (e.newName)
            throw UsageError("--name is for profile edit; profile add takes the name as its word");
        CheckName(name);
        if (store.Get(name) != nullptr)
            throw Failure("a profile named '" + EscapeText(name) + "' already exists");
        CProfile draft;
        if (!e.infrastructure)
            e.infrastructure = true;
        ApplyEdit(e, draft, name, true);
        const CProfileOpResult result = ops.New(WriteDraft(store, draft, name));
        Check(result, name, session.TakeMessages());
        return ProfileOutput(session, Existing(store, result.name), "added");
    }

    CProfile &record = Existing(store, name);
    const std::string finalName = e.newName ? *e.newName : name;
    if (finalName != name && store.Get(finalName) != nullptr)
        throw Failure("a profile named '" + EscapeText(finalName) + "' already exists");
    CProfile draft(record);
    draft.AutoSelect = record.AutoSelect;
    ApplyEdit(e, draft, finalName, false);
    const CProfileOpResult result = ops.Edit(name, WriteDraft(store, draft, finalName));
    Check(result, name, session.TakeMessages());
    return ProfileOutput(session, Existing(store, result.name), "changed");
}

std::string Reorder(CCtlSession &session, const std::string &verb, const std::string &name)
{
    CProfileMngr &store = session.Store();
    const CProfile &before = Existing(store, name);
    CProfileOps ops(theApp());
    CProfileOpResult result;
    if (verb == "up" || verb == "down") {
        if (!before.AutoSelect || before.Priority < 0)
            throw Failure("profile '" + EscapeText(name) + "' is not in auto-selection");
        result = ops.Move(name, verb == "up" ? -1 : +1);
    } else {
        result = ops.SetAutoSelect(name, verb == "auto");
    }
    Check(result, name, session.TakeMessages());
    const CProfile &record = Existing(store, name);
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("changed").Bool(result.changed);
        w.Key("profile");
        WriteProfileJson(w, record, false);
        w.EndObject();
        return w.Take();
    }
    std::string out = "Profile '" + EscapeText(name) + "' ";
    if (record.AutoSelect && record.Priority >= 0)
        out += "has auto-selection priority " + std::to_string(record.Priority + 1);
    else
        out += "is not in auto-selection";
    return out + (result.changed ? "\n" : " (unchanged)\n");
}

} // namespace

std::optional<std::string> ParseWepKey(const std::string &text)
{
    std::string digits;
    for (const char c : text) {
        if (c == '-' || c == ':')
            continue;
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (digits.size() != 10 && digits.size() != 26)
        return std::nullopt;
    return digits;
}

void WriteProfileJson(CJsonWriter &w, const CProfile &p, bool connected)
{
    const bool member = p.AutoSelect && p.Priority >= 0;
    w.BeginObject();
    w.Key("name").String(p.ProfName);
    w.Key("ssid").String(p.NetName);
    w.Key("ssid_hex").String(HexBytes(p.NetName));
    w.Key("security").String(SecurityName(p));
    w.Key("auto_select").Bool(member);
    w.Key("priority");
    if (member)
        w.Int(p.Priority);
    else
        w.Null();
    w.Key("mode").String(p.NetMode ? "infrastructure" : "adhoc");
    w.Key("phy").String(std::string(1, PhyLetter(p.PhyType)));
    w.Key("channel").Int(CProfile::ChannelNumber(p.PhyType, p.PhyChnl));
    w.Key("power_save").String(p.PSType >= 0 && p.PSType < 4 ? kPowerSaveNames[p.PSType] : "auto");
    w.Key("active_key");
    if (p.ActiveSecKey >= 0 && p.ActiveSecKey < kNumSecKeys)
        w.Int(p.ActiveSecKey + 1);
    else
        w.Null();
    w.Key("wep_keys").BeginArray();
    for (int i = 0; i < kNumSecKeys; ++i) {
        if (!p.SecKey[static_cast<std::size_t>(i)].empty())
            w.Int(i + 1);
    }
    w.EndArray();
    w.Key("connected").Bool(connected);
    w.EndObject();
}

std::string CProfileCmd::List(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "profiles");
    const CProfileListing listing(session.ReadStore());
    const auto ssid = ConnectedSsid(session);
    const auto isConnected = [&](const CProfile &p) { return ssid && p.NetName == *ssid; };

    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("connected_ssid").OptString(ssid);
        w.Key("profiles").BeginArray();
        for (const CProfile *p : listing.Ordered())
            WriteProfileJson(w, *p, isConnected(*p));
        w.EndArray();
        w.EndObject();
        return w.Take();
    }
    std::vector<std::vector<std::string>> members;
    std::vector<std::vector<std::string>> others;
    for (const CProfile *p : listing.Ordered()) {
        const bool member = p->AutoSelect && p->Priority >= 0;
        std::vector<std::string> row = {isConnected(*p) ? "*" : "", member ? std::to_string(p->Priority + 1) : "",
                                        EscapeText(p->ProfName), EscapeText(p->NetName), SecurityName(*p)};
        (member ? members : others).push_back(std::move(row));
    }
    const std::vector<std::string> header = {"", "#", "Profile Name", "Network Name (SSID)", "Security"};
    std::string out = "Auto-Selection Profiles\n";
    out += members.empty() ? "  (none)\n" : FormatTable(header, members);
    out += "Additional Profiles\n";
    out += others.empty() ? "  (none)\n" : FormatTable(header, others);
    return out;
}

std::string CProfileCmd::Profile(CCtlSession &session, CCtlArgs &args)
{
    const auto &lead = args.Leading();
    const std::string verb = lead.size() > 1 ? lead[1] : "";
    if (verb == "add" || verb == "edit")
        return AddOrEdit(session, args, verb == "add");
    static const std::set<std::string> kSimple = {"rm", "up", "down", "auto", "noauto"};
    if (kSimple.count(verb) == 0)
        throw UsageError("usage: kestrowctl profile add|edit|rm|up|down|auto|noauto NAME ...");
    args.Accept({}, {});
    args.ExpectWords(2, 1, ("profile " + verb + " NAME").c_str());
    const std::string name = args.Words()[2];
    if (verb != "rm")
        return Reorder(session, verb, name);

    (void)Existing(session.Store(), name);
    const CProfileOpResult result = CProfileOps(theApp()).Delete(name);
    const std::string failure = session.TakeMessages();
    Check(result, name, failure);
    if (!failure.empty())
        throw Failure("profile '" + EscapeText(name) + "' removed, but its registry key remains: " + failure);
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("removed").String(name);
        w.EndObject();
        return w.Take();
    }
    return "Profile '" + EscapeText(name) + "' removed\n";
}

std::string CProfileCmd::Export(CCtlSession &session, CCtlArgs &args, bool all)
{
    args.Accept({}, {});
    if (all)
        args.ExpectWords(1, 1, "export-all FILE");
    else
        args.ExpectWords(1, 2, "export NAME FILE");
    const std::string &chosen = args.Words()[all ? 1 : 2];
    // Exporting changes no profile: the reading store serves, so it also
    // works while Kestrow runs.  An existing file is not replaced.
    (void)session.ReadStore();
    CProfileOps ops(theApp());
    const CProfileOpResult result =
        all ? ops.ExportAll(chosen, false) : ops.ExportOne(args.Words()[1], chosen, false);
    const std::string file = CProfileOps::HiveFileName(chosen);
    const std::string messages = session.TakeMessages();
    if (result.status == OpStatus::NotFound)
        Check(result, args.Words()[1], messages);
    if (!result.Ok()) {
        const std::string text = !messages.empty() ? messages : result.Describe();
        throw Failure(EscapeText(file) + ": " + (text.empty() ? std::string("the profiles could not be exported") : text));
    }
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("file").String(file);
        w.EndObject();
        return w.Take();
    }
    return (all ? "All profiles exported to " : "Profile exported to ") + EscapeText(file) + "\n";
}

std::string CProfileCmd::Import(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 1, "import FILE");
    const std::string file = CProfileOps::HiveFileName(args.Words()[1]);
    (void)session.Store();
    const CProfileOpResult result = CProfileOps(theApp()).Import(args.Words()[1]);
    const std::string messages = session.TakeMessages();
    if (!result.Ok()) {
        const std::string text = !messages.empty() ? messages : result.Describe();
        throw Failure(EscapeText(file) + ": " + (text.empty() ? std::string("the file could not be imported") : text));
    }
    const std::vector<std::string> &added = result.imported;
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("file").String(file);
        w.Key("imported").BeginArray();
        for (const std::string &name : added)
            w.String(name);
        w.EndArray();
        w.EndObject();
        return w.Take();
    }
    std::string out = "Imported " + std::to_string(added.size()) + " profile(s) from " + EscapeText(file) + "\n";
    for (const std::string &name : added)
        out += "  " + EscapeText(name) + "\n";
    return out;
}

} // namespace kestrowctl
