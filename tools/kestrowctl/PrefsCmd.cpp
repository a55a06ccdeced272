#include "PrefsCmd.h"

#include <optional>

#include <KestrowApp.h>
#include <Preferences.h>
#include <StatusReader.h>
#include <StringTable.h>
#include <VarCodes.h>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

// The values stored, and the country when the adapter is there.
struct PrefsShown {
    CPrefValues values;
    std::string adapter;  // empty: search
    std::optional<std::string> country;
};

PrefsShown Read(CCtlSession &session)
{
    PrefsShown p{CPreferences::Read(theApp()), CPreferences::ReadAdapter(theApp()), std::nullopt};
    if (session.ConnectAdapterIfPresent()) {
        if (const auto index = CPreferences::ReadCountry())
            p.country = CPreferences::Countries()[static_cast<std::size_t>(*index)].name;
    }
    return p;
}

// The display text of a list preference's index, "N/A" for none.
const char *Choice(Pref id, int index)
{
    const auto choices = CPreferences::Def(id).choices;
    return index >= 0 && index < static_cast<int>(choices.size()) ? choices[static_cast<std::size_t>(index)]
                                                                   : "N/A";
}

} // namespace

std::string CPrefsCmd::Prefs(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {"--interval", "--units", "--notifications", "--default-adapter"});
    args.ExpectWords(1, 0,
                     "prefs [--interval SECS] [--units dbm|percent] [--notifications on|off] "
                     "[--default-adapter NAME|auto]");
    const auto intervalText = args.Value("--interval");
    const auto unitsText = args.Value("--units");
    const auto notifyText = args.Value("--notifications");
    const auto adapter = args.Value("--default-adapter");
    std::optional<bool> notify;
    if (notifyText) {
        if (*notifyText != "on" && *notifyText != "off")
            throw UsageError("--notifications takes on or off, not '" + *notifyText + "'");
        notify = *notifyText == "on";
    }
    if (adapter && adapter->empty())
        throw UsageError("--default-adapter takes an adapter name or auto");
    std::optional<int> interval;
    if (intervalText) {
        int seconds = 0;
        const COpResult parsed = CPreferences::ParseInterval(*intervalText, &seconds);
        if (!parsed.Ok())
            throw UsageError(parsed.Describe());
        interval = seconds;
    }
    std::optional<bool> dbm;
    if (unitsText) {
        if (*unitsText == "dbm")
            dbm = true;
        else if (*unitsText == "percent")
            dbm = false;
        else
            throw UsageError("--units takes dbm or percent, not '" + *unitsText + "'");
    }

    // Without an option this only reads: nothing is claimed or written.
    const bool change = interval || dbm || notify || adapter;
    if (change) {
        session.ClaimForChange();
        // The others are written back as they are, as the dialog's Apply does.
        CPrefValues values = CPreferences::Read(theApp());
        if (interval)
            values.intervalSecs = *interval;
        if (dbm)
            values.dbm = *dbm;
        if (notify)
            values.notify = *notify;
        COpResult written = CPreferences::Write(theApp(), values);
        if (written.Ok() && adapter)
            written = CPreferences::WriteAdapter(theApp(), *adapter == "auto" ? std::string() : *adapter);
        if (!written.Ok())
            throw Failure(written.Describe() + " (registry " + session.RegistryPath() + ")");
    }

    const PrefsShown p = Read(session);
    const CPrefValues &v = p.values;
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("interval_secs").Int(v.intervalSecs);
        w.Key("units").String(v.dbm ? "dbm" : "percent");
        w.Key("scanning").String(v.active ? "active" : "passive");
        w.Key("power_save").String(Choice(Pref::PowerSave, v.powerSave));
        w.Key("scan_band").String(Choice(Pref::ScanBand, v.scanBand));
        w.Key("notifications").Bool(v.notify);
        w.Key("default_adapter").OptString(p.adapter.empty() ? std::nullopt : std::optional<std::string>(p.adapter));
        w.Key("country").OptString(p.country);
        w.Key("changed").Bool(change);
        w.EndObject();
        return w.Take();
    }
    std::string out;
    out += LabelLine("Statistics Update Interval:", std::to_string(v.intervalSecs) + " secs", 32);
    out += LabelLine("Units:", v.dbm ? "dBm" : "Percent (%)", 32);
    out += LabelLine("Scanning Mode:", v.active ? "Active" : "Passive", 32);
    out += LabelLine("Battery operating Power Save:", Choice(Pref::PowerSave, v.powerSave), 32);
    out += LabelLine("Scan Bands:", Choice(Pref::ScanBand, v.scanBand), 32);
    out += LabelLine("Country Code:", p.country ? *p.country : "", 32);
    out += LabelLine("Show notifications:", v.notify ? "Yes" : "No", 32);
    out += LabelLine("Adapter:", p.adapter.empty() ? "Search automatically" : EscapeText(p.adapter), 32);
    return out;
}

std::string CPrefsCmd::ResetStats(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "reset-stats");
    session.ConnectAdapter();
    const COpResult result = CStatusReader::ResetStatistics();
    if (!result.Ok())
        throw Failure(result.Describe());
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("reset").Bool(true);
        w.EndObject();
        return w.Take();
    }
    return "Statistics reset\n";
}

} // namespace kestrowctl
