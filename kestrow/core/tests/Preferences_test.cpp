// The preference operations: what is read for stored, absent and odd values,
// what the interval accepts, and what a write stores or refuses; the
// autostart entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>

#include "Autostart.h"
#include "KestrowApp.h"
#include "Poll.h"
#include "Preferences.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

const std::string kRefused = "Please enter an integer between 5 and 100.";
constexpr int kAbsent = std::numeric_limits<int>::min();  // not stored

// Every test starts with an empty application key.
class PreferencesTest : public test::CoreTest {
protected:
    static const CPrefDef &Def(std::size_t i) { return CPreferences::Table()[i]; }
    // Every preference value in table order, kAbsent for one not stored.
    static std::vector<int> Stored()
    {
        std::vector<int> all;
        for (const CPrefDef &def : CPreferences::Table())
            all.push_back(theApp().GetProfileInt("", def.valueName, kAbsent));
        return all;
    }
};

TEST_F(PreferencesTest, ReadGivesTheStoredValuesOrTheirDefaults)
{
    const std::vector<std::pair<std::vector<int>, CPrefValues>> cases = {
        {{kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}, {20, false, 0, 0, false, true}},
        {{7500, 1, 2, 3, 1, 0}, {7, true, 2, 3, true, false}},
        // Odd values are read as they are; a list shows none of its choices.
        {{900, 7, 3, -1, -5}, {0, true, -1, -1, true}},
        {{-1, 0, 4, 0, 0}, {4294967, false, -1, 0, false}},  // a DWORD, divided unsigned
    };
    for (const auto &[stored, read] : cases) {
        SetUp();
        for (std::size_t i = 0; i < stored.size(); ++i)
            ASSERT_TRUE(stored[i] == kAbsent || theApp().WriteProfileInt("", Def(i).valueName, stored[i]));
        EXPECT_EQ(CPreferences::Read(theApp()), read) << stored[0];
    }
    // The adapter choice is a text of its own; none stored: search.
    EXPECT_EQ(CPreferences::ReadAdapter(theApp()), "");
    ASSERT_TRUE(CPreferences::WriteAdapter(theApp(), "sim1").Ok());
    EXPECT_EQ(CPreferences::ReadAdapter(theApp()), "sim1");
}

TEST_F(PreferencesTest, IntervalTakesAWholeNumberFrom5To100)
{
    for (const auto &[text, secs] : std::vector<std::pair<const char *, int>>{
             {"5", 5}, {"100", 100}, {" 42 ", 42}, {"+7", 7}, {"007", 7}, {"4", -1}, {"101", -1}, {"", -1},
             {" ", -1}, {"-5", -1}, {"ab", -1}, {"5.5", -1}, {"1e1", -1}, {"99999999999", -1}, {"2 0", -1}}) {
        int parsed = -1;
        EXPECT_EQ(CPreferences::ParseInterval(text, &parsed).Describe(), secs < 0 ? kRefused : "") << text;
        EXPECT_EQ(parsed, secs) << text;
    }
}

TEST_F(PreferencesTest, ApplyWritesAllOrNothingAndTellsThePollingThread)
{
    const std::vector<std::pair<CPrefValues, std::vector<int>>> cases = {
        {{5, false, 0, 0, false, false}, {5000, 0, 0, 0, 0, 0}},
        {{100, true, 2, 3, true, true}, {100000, 1, 2, 3, 1, 1}},
        {{20, false, -1, 9, false, true}, {20000, 0, 0, 0, 0, 1}},  // no choice: the first
        {{101, true, 1, 1, true, true}, {kAbsent, kAbsent, kAbsent, kAbsent, kAbsent, kAbsent}},
    };
    for (const auto &[written, stored] : cases) {
        SetUp();
        theApp().SetPoll(std::make_unique<CPoll>(theApp()));
        const bool refused = stored[0] == kAbsent;
        EXPECT_EQ(CPreferences::Apply(theApp(), written).Describe(), refused ? kRefused : "") << written.intervalSecs;
        EXPECT_EQ(Stored(), stored) << written.intervalSecs;
        EXPECT_EQ(theApp().Poll()->GetInterval(), refused ? 20 : written.intervalSecs);
    }
}


TEST(AutostartTest, WritesAQuotedEntryRemovesItAndKeepsItWhenTheFolderCannotBeMade)
{
    // The test program's private folder (see the test support).
    const std::filesystem::path config = std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "../config";
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", config.c_str(), 1), 0);
    ASSERT_EQ(CAutostart::EntryPath(), (config / "autostart/kestrow.desktop").string());
    EXPECT_FALSE(CAutostart::Enabled());
    ASSERT_TRUE(CAutostart::SetEnabled(true, "/opt/my \"apps\"/$bin/kestrow").Ok());
    ASSERT_TRUE(CAutostart::Enabled());
    std::ifstream in(CAutostart::EntryPath());
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("\nExec=\"/opt/my \\\\\"apps\\\\\"/\\\\$bin/kestrow\" --minimized\n"), std::string::npos)
        << text;
    ASSERT_TRUE(CAutostart::SetEnabled(false, "").Ok());
    EXPECT_FALSE(CAutostart::Enabled());
    EXPECT_TRUE(CAutostart::SetEnabled(false, "").Ok());  // already off

    // A file where the folder should be: a reason, and nothing written.
    std::filesystem::remove_all(config / "autostart");
    std::ofstream(config / "autostart") << "x";
    const COpResult failed = CAutostart::SetEnabled(true, "/usr/bin/kestrow");
    EXPECT_FALSE(failed.Ok());
    EXPECT_NE(failed.Describe().find("autostart"), std::string::npos);
    EXPECT_FALSE(CAutostart::Enabled());
    unsetenv("XDG_CONFIG_HOME");
}

} // namespace
} // namespace kestrow
