// CPreferences: the program-wide preferences, kept as REG_DWORD values
// directly under the application key, and the operations on them.  The
// table below is the only place that names these values, their ranges and
// their defaults; the Preferences dialog, kestrowctl, the polling thread and
// the value formatting all go through it.  It also holds the countries the
// adapter's regulatory domain codes stand for.
//
// The operations do no locking: the values are single registry values, and
// a write of all of them is one registry transaction.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>
#include <string_view>

#include "OpResult.h"

namespace kestrow {

class CKestrowApp;

enum class Pref { PollingInterval, Active, PowerSave, ScanBand, DbmPercent, ShowNotifications };

// What a preference's DWORD holds.
enum class PrefType {
    Milliseconds,  // a time, shown and entered in whole seconds
    Flag,          // 0 or 1
    Choice,        // an index into the display texts
};

// One preference as the registry holds it.
struct CPrefDef {
    Pref id;
    const char *valueName;  // REG_DWORD value under the application key
    PrefType type;
    int minValue;           // range written
    int maxValue;
    int absentValue;        // read when the value is not there
    int defaultsValue;      // what "&Defaults" puts into the dialog
    // Display texts of a choice, by index (empty for the others).
    std::span<const char *const> choices;
};

// Every preference, as the front ends show and edit them.
struct CPrefValues {
    int intervalSecs = 0;  // statistics update interval, whole seconds
    bool active = false;   // active scanning
    int powerSave = 0;     // index into its choices; -1: the stored value is
    int scanBand = 0;      //   none of them (a list then shows no selection)
    bool dbm = false;      // signal values in dBm, else in percent
    bool notify = true;    // desktop notifications of link changes

    bool operator==(const CPrefValues &) const = default;
};

// A country of the "Country Code:" list and the regulatory domain code it
// stands for; `domainName` is how the About page writes the domain.
struct CCountry {
    std::uint32_t code;
    const char *name;
    const char *domainName;
};

class CPreferences {
public:
    static constexpr int kMinIntervalSecs = 5;
    static constexpr int kMaxIntervalSecs = 100;
    static constexpr int kAbsentIntervalMs = 20000;  // "Polling Interval" when absent

    static const std::array<CPrefDef, 6> &Table();
    static const CPrefDef &Def(Pref id);
    static const std::array<CCountry, 6> &Countries();

    // The values stored, with the table's value for each one that is absent.
    // A list index outside its choices reads as -1.
    static CPrefValues Read(const CKestrowApp &app);
    // The values the "&Defaults" button shows (not stored).
    static CPrefValues Defaults();

    // The statistics interval text as typed: a whole number from 5 to 100,
    // blanks around it allowed.  Anything else fails with the text "Please
    // enter an integer between 5 and 100.".
    static COpResult ParseInterval(std::string_view text, int *seconds);
    // Checks `values` and writes all six in one registry transaction: the
    // interval in milliseconds, a list index outside its choices as 0.  An
    // interval out of range fails as ParseInterval does and writes nothing; a
    // registry failure fails with its own text.
    static COpResult Write(CKestrowApp &app, const CPrefValues &values);
    // Write, then hands the new interval to the running polling thread.
    static COpResult Apply(CKestrowApp &app, const CPrefValues &values);

    // The refresh period of the polling thread in ticks: the stored
    // interval in milliseconds / 1000, divided as the DWORD it is.
    static std::int32_t IntervalTicks(const CKestrowApp &app);
    // True when signal values are shown in dBm.
    static bool ShowDbm(const CKestrowApp &app);
    // True when link changes are told as desktop notifications.
    static bool ShowNotifications(const CKestrowApp &app);

    // The adapter the window and kestrowctl open (a name of the library's
    // adapter list); empty: the first that answers ("Search automatically").
    // A REG_SZ value beside the others, written on its own.
    static constexpr const char *kAdapterValue = "Adapter";
    static std::string ReadAdapter(const CKestrowApp &app);
    // The names of the installed adapters, as the library lists them (it
    // reads the adapter folder; no request goes to an adapter).
    static std::vector<std::string> InstalledAdapters();
    static COpResult WriteAdapter(CKestrowApp &app, const std::string &name);

    // Index of the country with regulatory domain `code`; 0 when unknown.
    static int CountryIndex(std::uint32_t code);
    // Reads the adapter's regulatory domain and returns its country index;
    // nothing when the read failed.  Device I/O.
    static std::optional<int> ReadCountry();
};

} // namespace kestrow
