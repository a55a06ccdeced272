// Profile commands of kestrowctl: their arguments, the edit sheet's
// validation, and their text and JSON output.  What the operations do is
// tested in kestrow/core.
#include <gtest/gtest.h>

#include "CtlTestSupport.h"

using ctltest::CtlEnv;
using ctltest::Find;
using ctltest::JsonOf;
using ctltest::Size;
using ctltest::Str;
using ctltest::RunResult;

namespace {

class KestrowctlProfilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.SimReady()); }

    // The profiles as a new start of the core reads them from the registry.
    QJsonValue Profiles() { return JsonOf(env.Ctl({"profiles", "--json"}))["profiles"]; }

    CtlEnv env;
};

TEST_F(KestrowctlProfilesTest, ArgumentsValidationAndOutput)
{
    RunResult run = env.Ctl({"profile", "add", "Home", "--ssid", "Dovrel-Home", "--wep-key", "2:A1B2C3D4E5", "--auto", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    QJsonValue home = JsonOf(run)["profile"];
    EXPECT_EQ(Str(home["security"]), "WEP");
    EXPECT_EQ(home["active_key"].toInteger(), 2);
    EXPECT_EQ(home["priority"].toInteger(), 0);
    EXPECT_EQ(Str(home["mode"]), "infrastructure");
    run = env.Ctl({"profile", "add", "Party", "--ssid", "LanParty", "--mode", "adhoc", "--channel", "3"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "Profile 'Party' added: SSID LanParty, None\n");
    const QJsonValue party = Profiles()[1];
    EXPECT_EQ(Str(party["mode"]), "adhoc");
    EXPECT_EQ(party["channel"].toInteger(), 3);

    // Validation as the edit sheet's, with its messages; nothing changes.
    const struct {
        std::vector<std::string> args;
        const char *message;
    } bad[] = {
        {{"profile", "add", "ABCDEFGHIJKLMNOPQRSTU", "--ssid", "x"}, "Invalid Profile name (1-20 characters)."},
        {{"profile", "add", "Long", "--ssid", std::string(33, 's')}, "Invalid Network Name (SSID) (1-32 characters)."},
        {{"profile", "add", "Wep", "--ssid", "x", "--security", "wep"}, "Please define at least one complete security key."},
        {{"profile", "edit", "Party", "--name", "Home"}, "already exists"},
        {{"profile", "add", "Far", "--ssid", "x", "--mode", "adhoc", "--channel", "13"}, "not allowed"},
        {{"profile", "up", "Party"}, "not in auto-selection"},
    };
    for (const auto &b : bad) {
        run = env.Ctl(b.args);
        EXPECT_NE(run.exitCode, 0) << b.message;
        EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(Size(Profiles()), 2u);
    EXPECT_EQ(env.Ctl({"profile", "frob", "Party"}).exitCode, 2);
    EXPECT_EQ(env.Ctl({"profile", "add", "X", "--bogus"}).exitCode, 2);
    const RunResult misspelt = env.Ctl({"--jsn", "profiles"});
    EXPECT_EQ(misspelt.exitCode, 2);
    EXPECT_EQ(misspelt.err, "kestrowctl: unknown option '--jsn'\n");

    // Edit with a new name and membership; untouched fields stay.
    ASSERT_EQ(env.Ctl({"profile", "edit", "Home", "--name", "House", "--no-auto"}).exitCode, 0);
    EXPECT_EQ(Str(Profiles()[0]["name"]), "House");
    EXPECT_EQ(Profiles()[0]["active_key"].toInteger(), 2);
    run = env.Ctl({"profile", "auto", "Party"});
    EXPECT_EQ(run.out, "Profile 'Party' has auto-selection priority 1\n");
    run = env.Ctl({"profile", "up", "Party", "--json"});
    EXPECT_FALSE(JsonOf(run)["changed"].toBool());
    EXPECT_EQ(env.Ctl({"profile", "rm", "Party"}).out, "Profile 'Party' removed\n");
}

// The commands' own part: file names, messages, exit codes and JSON.
TEST_F(KestrowctlProfilesTest, ExportAndImportFiles)
{
    ASSERT_EQ(env.Ctl({"profile", "add", "Home", "--ssid", "Dovrel-Home", "--auto"}).exitCode, 0);
    // A name without "reg" gets ".reg"; an existing file is not overwritten.
    const std::string one = env.Dir() + "/home";
    RunResult run = env.Ctl({"export", "Home", one, "--json"});
    EXPECT_EQ(Str(JsonOf(run)["file"]), one + ".reg");
    run = env.Ctl({"export", "Home", one + ".reg"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err.rfind("kestrowctl: " + one + ".reg: ", 0), 0u) << run.err;

    run = env.Ctl({"import", one + ".reg", "--json"});
    EXPECT_EQ(Str(JsonOf(run)["imported"][0]), "Profile 1");
    const std::string all = env.Dir() + "/all.reg";
    run = env.Ctl({"export-all", all});
    EXPECT_EQ(run.out, "All profiles exported to " + all + "\n");
    run = env.Ctl({"--registry", env.Dir() + "/other.sqlite3", "import", all});
    EXPECT_EQ(run.out, "Imported 2 profile(s) from " + all + "\n  Profile 0\n  Profile 1\n");
    EXPECT_EQ(env.Ctl({"import", env.Dir() + "/missing.reg"}).exitCode, 1);
}

TEST_F(KestrowctlProfilesTest, PrefsOptionsAndOutput)
{
    const RunResult bad = env.Ctl({"prefs", "--interval", "101"});
    EXPECT_EQ(bad.exitCode, 2);
    EXPECT_NE(bad.err.find("Please enter an integer between 5 and 100."), std::string::npos);
    EXPECT_EQ(env.Ctl({"prefs", "--units", "kelvin"}).exitCode, 2);
    const RunResult set = env.Ctl({"prefs", "--interval", "100", "--units", "dbm"});
    ASSERT_EQ(set.exitCode, 0);
    EXPECT_NE(set.out.find("Statistics Update Interval:     100 secs\nUnits:                          dBm\n"),
              std::string::npos) << set.out;
    // Without options it only reads, as do the other reading commands: the
    // registry file stays as it was.
    const std::string before = ktest::ReadFile(env.Registry());
    const QJsonValue p = JsonOf(env.Ctl({"prefs", "--json"}));
    for (const char *command : {"status", "scan", "profiles"})
        EXPECT_EQ(env.Ctl({command}).exitCode, 0) << command;
    EXPECT_EQ(ktest::ReadFile(env.Registry()), before);
    EXPECT_EQ(p["interval_secs"].toInteger(), 100);
    EXPECT_EQ(Str(p["country"]), "FCC (USA)");
    EXPECT_FALSE(p["changed"].toBool());
}

} // namespace
