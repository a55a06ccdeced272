#include "PrefsCmd.h"

#include <optional>

#include <KestrowApp.h>
#include <StringTable.h>
#include <VarCodes.h>

#include "CtlArgs.h"
#include "CtlError.h"
#include "CtlSession.h"
#include "DeviceQuery.h"
#include "JsonWriter.h"

namespace kestrowctl {

using namespace kestrow;

namespace {

constexpr const char *kInterval = "Polling Interval";
constexpr const char *kActive = "Active";
constexpr const char *kPowerSave = "Power-Save";
constexpr const char *kScanBand = "Scan-Band";
constexpr const char *kUnits = "dBm-Percent";
constexpr int kMinSecs = 5;
constexpr int kMaxSecs = 100;

const char *const kPowerSaveTexts[] = {"Max. Performance", "Good Performance", "Max. Power Save"};
const char *const kScanBandTexts[] = {"(802.11) a/b/g", "(802.11) a", "(802.11) b/g", "(802.11) b"};

struct Country {
    std::uint32_t code;
    const char *name;
};
constexpr Country kCountries[] = {{0x10, "FCC (USA)"}, {0x20, "IC (Canada)"}, {0x30, "ETSI (Europe)"},
                                  {0x31, "Spain"},     {0x32, "France"},      {0x40, "Japan"}};

struct PrefValues {
    int intervalSecs;
    bool active;
    int powerSave;
    int scanBand;
    bool dbm;
    std::optional<std::string> country;
};

PrefValues Read(CCtlSession &session)
{
    const CKestrowApp &app = theApp();
    PrefValues p{};
    p.intervalSecs = static_cast<int>(static_cast<unsigned>(app.GetProfileInt("", kInterval, 20000)) / 1000u);
    p.active = app.GetProfileInt("", kActive, 0) != 0;
    p.powerSave = app.GetProfileInt("", kPowerSave, 0);
    p.scanBand = app.GetProfileInt("", kScanBand, 0);
    p.dbm = app.GetProfileInt("", kUnits, 0) != 0;
    // The country comes from the adapter; a code outside the table shows
    // the first country, as in the dialog.
    if (session.ConnectAdapterIfPresent()) {
        if (const auto record = ReadRecord(VAR_REG_DOMAIN)) {
            p.country = kCountries[0].name;
            for (const Country &c : kCountries) {
                if (c.code == record->u32(0))
                    p.country = c.name;
            }
        }
    }
    return p;
}

const char *Indexed(const char *const *texts, int count, int index)
{
    return index >= 0 && index < count ? texts[index] : "N/A";
}

} // namespace

std::string CPrefsCmd::Prefs(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {"--interval", "--units"});
    args.ExpectWords(1, 0, "prefs [--interval SECS] [--units dbm|percent]");
    const auto intervalText = args.Value("--interval");
    const auto unitsText = args.Value("--units");
    std::optional<int> interval;
    if (intervalText) {
        interval = ParseInt(*intervalText, kMinSecs, kMaxSecs);
        if (!interval)
            throw UsageError("Please enter an integer between 5 and 100.");
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

    CKestrowApp &app = theApp();
    const bool change = interval || dbm;
    if (change) {
        session.ClaimForChange();
        PrefValues current = Read(session);
        if (interval)
            current.intervalSecs = *interval;
        if (dbm)
            current.dbm = *dbm;
        // The dialog's Apply writes all five values.
        const bool ok = app.WriteProfileInt("", kInterval, current.intervalSecs * 1000) &&
                        app.WriteProfileInt("", kActive, current.active ? 1 : 0) &&
                        app.WriteProfileInt("", kPowerSave, current.powerSave) &&
                        app.WriteProfileInt("", kScanBand, current.scanBand) &&
                        app.WriteProfileInt("", kUnits, current.dbm ? 1 : 0);
        if (!ok)
            throw Failure("the preferences could not be written to the registry " + session.RegistryPath());
    }

    const PrefValues p = Read(session);
    if (session.Options().json) {
        CJsonWriter w;
        w.BeginObject();
        w.Key("interval_secs").Int(p.intervalSecs);
        w.Key("units").String(p.dbm ? "dbm" : "percent");
        w.Key("scanning").String(p.active ? "active" : "passive");
        w.Key("power_save").String(Indexed(kPowerSaveTexts, 3, p.powerSave));
        w.Key("scan_band").String(Indexed(kScanBandTexts, 4, p.scanBand));
        w.Key("country").OptString(p.country);
        w.Key("changed").Bool(change);
        w.EndObject();
        return w.Take();
    }
    std::string out;
    out += LabelLine("Statistics Update Interval:", std::to_string(p.intervalSecs) + " secs", 32);
    out += LabelLine("Units:", p.dbm ? "dBm" : "Percent (%)", 32);
    out += LabelLine("Scanning Mode:", p.active ? "Active" : "Passive", 32);
    out += LabelLine("Battery operating Power Save:", Indexed(kPowerSaveTexts, 3, p.powerSave), 32);
    out += LabelLine("Scan Bands:", Indexed(kScanBandTexts, 4, p.scanBand), 32);
    out += LabelLine("Country Code:", p.country ? *p.country : "", 32);
    return out;
}

std::string CPrefsCmd::ResetStats(CCtlSession &session, CCtlArgs &args)
{
    args.Accept({}, {});
    args.ExpectWords(1, 0, "reset-stats");
    session.ConnectAdapter();
    // A read of this variable makes the adapter clear its statistics.
    if (!ReadRecord(VAR_RESET_STATS))
        throw Failure(LoadString(IDS_DRIVER_ERROR));
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
