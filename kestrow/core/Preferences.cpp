#include "Preferences.h"

#include <algorithm>
#include <limits>
#include <string>

#include "CommVarList.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "Poll.h"
#include "VarCodes.h"

#ifdef KESTROW_HAVE_LUNMARK
#include <lunmark/lunmark.h>
#endif

namespace kestrow {

namespace {

constexpr const char *kPowerSaveChoices[] = {"Max. Performance", "Good Performance", "Max. Power Save"};
constexpr const char *kScanBandChoices[] = {"(802.11) a/b/g", "(802.11) a", "(802.11) b/g", "(802.11) b"};

// The interval is stored in milliseconds and shown in seconds.
constexpr int kMsPerSec = 1000;

constexpr std::array<CPrefDef, 6> kTable{{
    {Pref::PollingInterval, "Polling Interval", PrefType::Milliseconds, CPreferences::kMinIntervalSecs * kMsPerSec,
     CPreferences::kMaxIntervalSecs * kMsPerSec, CPreferences::kAbsentIntervalMs,
     CPreferences::kAbsentIntervalMs, {}},
    {Pref::Active, "Active", PrefType::Flag, 0, 1, 0, 1, {}},
    {Pref::PowerSave, "Power-Save", PrefType::Choice, 0, 2, 0, 0, kPowerSaveChoices},
    {Pref::ScanBand, "Scan-Band", PrefType::Choice, 0, 3, 0, 0, kScanBandChoices},
    {Pref::DbmPercent, "dBm-Percent", PrefType::Flag, 0, 1, 0, 0, {}},
    {Pref::ShowNotifications, "Show Notifications", PrefType::Flag, 0, 1, 1, 1, {}},
}};

// Def() finds a preference by its position.
constexpr bool InEnumOrder()
{
    for (std::size_t i = 0; i < kTable.size(); ++i) {
        if (kTable[i].id != static_cast<Pref>(i))
            return false;
    }
    return true;
}
static_assert(InEnumOrder(), "the table lists the preferences in the order of Pref");

constexpr std::array<CCountry, 6> kCountries{{
    {0x10, "FCC (USA)", "FCC (US)"},
    {0x20, "IC (Canada)", "IC (CAN)"},
    {0x30, "ETSI (Europe)", "ETSI (EUROPE)"},
    {0x31, "Spain", "SPAIN"},
    {0x32, "France", "FRANCE"},
    {0x40, "Japan", "JAPAN"},
}};

int Stored(const CKestrowApp &app, Pref id)
{
    const CPrefDef &def = CPreferences::Def(id);
    return app.GetProfileInt("", def.valueName, def.absentValue);
}

// A list index as a list shows it: -1 when it names none of the choices.
int ListIndex(const CPrefDef &def, int value)
{
    return value >= 0 && value < static_cast<int>(def.choices.size()) ? value : -1;
}

// A list index as it is written: one that names no choice stores the first.
int WrittenIndex(const CPrefDef &def, int index)
{
    return ListIndex(def, index) < 0 ? 0 : index;
}

const CPrefDef &Interval()
{
    return CPreferences::Def(Pref::PollingInterval);
}

COpResult IntervalRefused()
{
    return COpResult::Text("Please enter an integer between " + std::to_string(Interval().minValue / kMsPerSec) +
                           " and " + std::to_string(Interval().maxValue / kMsPerSec) + ".");
}

bool InRange(int seconds)
{
    return seconds >= Interval().minValue / kMsPerSec && seconds <= Interval().maxValue / kMsPerSec;
}

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

} // namespace

const std::array<CPrefDef, 6> &CPreferences::Table()
{
    return kTable;
}

const CPrefDef &CPreferences::Def(Pref id)
{
    return kTable[static_cast<std::size_t>(id)];
}

const std::array<CCountry, 6> &CPreferences::Countries()
{
    return kCountries;
}

CPrefValues CPreferences::Read(const CKestrowApp &app)
{
    CPrefValues v;
    v.intervalSecs = IntervalTicks(app);
    v.active = Stored(app, Pref::Active) != 0;
    v.powerSave = ListIndex(Def(Pref::PowerSave), Stored(app, Pref::PowerSave));
    v.scanBand = ListIndex(Def(Pref::ScanBand), Stored(app, Pref::ScanBand));
    v.dbm = ShowDbm(app);
    v.notify = ShowNotifications(app);
    return v;
}

CPrefValues CPreferences::Defaults()
{
    CPrefValues v;
    v.intervalSecs = Def(Pref::PollingInterval).defaultsValue / kMsPerSec;
    v.active = Def(Pref::Active).defaultsValue != 0;
    v.powerSave = Def(Pref::PowerSave).defaultsValue;
    v.scanBand = Def(Pref::ScanBand).defaultsValue;
    v.dbm = Def(Pref::DbmPercent).defaultsValue != 0;
    v.notify = Def(Pref::ShowNotifications).defaultsValue != 0;
    return v;
}

COpResult CPreferences::ParseInterval(std::string_view text, int *seconds)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty())
        return IntervalRefused();
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9')
            return IntervalRefused();
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max())
            return IntervalRefused();
    }
    const int parsed = static_cast<int>(negative ? -value : value);
    if (!InRange(parsed))
        return IntervalRefused();
    *seconds = parsed;
    return COpResult::Done();
}

COpResult CPreferences::Write(CKestrowApp &app, const CPrefValues &values)
{
    if (!InRange(values.intervalSecs))
        return IntervalRefused();
    const int stored[] = {
        values.intervalSecs * kMsPerSec,
        values.active ? 1 : 0,
        WrittenIndex(Def(Pref::PowerSave), values.powerSave),
        WrittenIndex(Def(Pref::ScanBand), values.scanBand),
        values.dbm ? 1 : 0,
        values.notify ? 1 : 0,
    };
    const bool written = app.InProfileTransaction([&] {
        for (const CPrefDef &def : kTable) {
            if (!app.WriteProfileInt("", def.valueName, stored[static_cast<std::size_t>(def.id)]))
                return false;
        }
        return true;
    });
    if (!written)
        return COpResult::Text("The preferences could not be stored in the registry.");
    return COpResult::Done();
}

COpResult CPreferences::Apply(CKestrowApp &app, const CPrefValues &values)
{
    COpResult result = Write(app, values);
    if (result.Ok() && app.Poll() != nullptr)
        app.Poll()->SetInterval(values.intervalSecs);
    return result;
}

std::int32_t CPreferences::IntervalTicks(const CKestrowApp &app)
{
    const int ms = Stored(app, Pref::PollingInterval);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(ms) / static_cast<std::uint32_t>(kMsPerSec));
}

bool CPreferences::ShowDbm(const CKestrowApp &app)
{
    return Stored(app, Pref::DbmPercent) != 0;
}

bool CPreferences::ShowNotifications(const CKestrowApp &app)
{
    return Stored(app, Pref::ShowNotifications) != 0;
}

std::vector<std::string> CPreferences::InstalledAdapters()
{
    std::vector<std::string> names;
#ifdef KESTROW_HAVE_LUNMARK
    // The library answers from a fresh listing each time; a bound keeps a
    // folder that changes meanwhile from running this on.
    constexpr std::uint32_t kMaxAdapters = 256;
    for (std::uint32_t i = 0; i < kMaxAdapters; ++i) {
        const char *name = ecom_get_connection(i);
        if (name == nullptr)
            break;
        names.emplace_back(name);
    }
#endif
    return names;
}

std::string CPreferences::ReadAdapter(const CKestrowApp &app)
{
    return app.GetProfileString("", kAdapterValue, "");
}

COpResult CPreferences::WriteAdapter(CKestrowApp &app, const std::string &name)
{
    if (!app.WriteProfileString("", kAdapterValue, name))
        return COpResult::Text("The preferences could not be stored in the registry.");
    return COpResult::Done();
}

int CPreferences::CountryIndex(std::uint32_t code)
{
    const auto it = std::find_if(kCountries.begin(), kCountries.end(),
                                 [code](const CCountry &c) { return c.code == code; });
    return it == kCountries.end() ? 0 : static_cast<int>(it - kCountries.begin());
}

std::optional<int> CPreferences::ReadCountry()
{
    // One batch, read as text with the plain number conversion.
    std::string domain;
    CCommVarList batch;
    batch.Add(VAR_REG_DOMAIN, ConvNumber, &domain);
    if (!batch.Exec(false, false))
        return std::nullopt;
    return CountryIndex(static_cast<std::uint32_t>(ParseDecimal(domain)));
}

} // namespace kestrow
