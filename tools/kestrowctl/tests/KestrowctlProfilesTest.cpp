// Profile commands of kestrowctl: add, edit, validation, delete and
// reorder, each seen by a new start of the core; export, import and
// export-all round trips read back with hivexget.
#include <gtest/gtest.h>

#include "CtlTestSupport.h"
#include "JsonReader.h"

using ctltest::CtlEnv;
using ctltest::Json;
using ctltest::ParseJson;
using ctltest::RunResult;

namespace {

class KestrowctlProfilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.SimReady()); }

    // The profiles as a new start of the core reads them from the registry.
    Json Profiles()
    {
        const RunResult run = env.Ctl({"profiles", "--json"});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return ParseJson(run.out)["profiles"];
    }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (const Json &p : Profiles().array)
            names.push_back(p["name"].string);
        return names;
    }
    std::string HivexGet(const std::string &file, const std::string &key, const std::string &value)
    {
        const RunResult run = env.Program("/usr/bin/hivexget", {file, key, value});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        std::string out = run.out;
        while (!out.empty() && out.back() == '\n')
            out.pop_back();
        return out;
    }

    CtlEnv env;
};

TEST_F(KestrowctlProfilesTest, AddEditValidateDeleteReorder)
{
    RunResult run = env.Ctl({"profile", "add", "Home", "--ssid", "Dovrel-Home", "--wep-key", "2:A1B2C3D4E5", "--auto", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Json home = ParseJson(run.out)["profile"];
    EXPECT_EQ(home["security"].string, "WEP");
    EXPECT_EQ(home["active_key"].Int(), 2);
    EXPECT_EQ(home["priority"].Int(), 0);
    EXPECT_EQ(home["mode"].string, "infrastructure");
    ASSERT_EQ(env.Ctl({"profile", "add", "Cafe", "--ssid", "CoffeeCorner", "--auto"}).exitCode, 0);
    ASSERT_EQ(env.Ctl({"profile", "add", "Party", "--ssid", "LanParty", "--mode", "adhoc", "--channel", "3"}).exitCode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Home", "Cafe", "Party"}));
    const Json party = Profiles()[2];
    EXPECT_EQ(party["mode"].string, "adhoc");
    EXPECT_EQ(party["channel"].Int(), 3);
    EXPECT_FALSE(party["auto_select"].boolean);

    // Validation as the edit sheet's, with its messages; nothing changes.
    const struct {
        std::vector<std::string> args;
        const char *message;
    } bad[] = {
        {{"profile", "add", "", "--ssid", "x"}, "Invalid Profile name (1-20 characters)."},
        {{"profile", "add", "ABCDEFGHIJKLMNOPQRSTU", "--ssid", "x"}, "Invalid Profile name (1-20 characters)."},
        {{"profile", "add", "NoSsid"}, "Invalid Network Name (SSID) (1-32 characters)."},
        {{"profile", "add", "Long", "--ssid", std::string(33, 's')}, "Invalid Network Name (SSID) (1-32 characters)."},
        {{"profile", "add", "Wep", "--ssid", "x", "--security", "wep"}, "Please define at least one complete security key."},
        {{"profile", "edit", "Cafe", "--ssid", ""}, "Invalid Network Name (SSID) (1-32 characters)."},
        {{"profile", "edit", "Cafe", "--name", "Home"}, "already exists"},
        {{"profile", "add", "Party", "--ssid", "x"}, "already exists"},
        {{"profile", "add", "Far", "--ssid", "x", "--mode", "adhoc", "--channel", "13"}, "not allowed"},
    };
    for (const auto &b : bad) {
        run = env.Ctl(b.args);
        EXPECT_NE(run.exitCode, 0) << b.message;
        EXPECT_NE(run.err.find(b.message), std::string::npos) << run.err;
    }
    EXPECT_EQ(env.Ctl({"profile", "add", "ABCDEFGHIJKLMNOPQRST", "--ssid", std::string(32, 's')}).exitCode, 0);
    EXPECT_EQ(env.Ctl({"profile", "rm", "ABCDEFGHIJKLMNOPQRST"}).exitCode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Home", "Cafe", "Party"}));

    // Edit: rename, new SSID, out of auto-selection (the gap closes).
    ASSERT_EQ(env.Ctl({"profile", "edit", "Home", "--name", "House", "--ssid", "Dovrel-Home2", "--no-auto"}).exitCode, 0);
    Json list = Profiles();
    EXPECT_EQ(list[0]["name"].string, "Cafe");
    EXPECT_EQ(list[0]["priority"].Int(), 0);
    const Json *house = nullptr;
    for (const Json &p : list.array)
        house = p["name"].string == "House" ? &p : house;
    ASSERT_NE(house, nullptr);
    EXPECT_EQ((*house)["ssid"].string, "Dovrel-Home2");
    EXPECT_TRUE((*house)["priority"].IsNull());
    EXPECT_EQ((*house)["active_key"].Int(), 2);  // untouched fields stay

    // Reorder: auto appends, up and down exchange, the ends do nothing.
    ASSERT_EQ(env.Ctl({"profile", "auto", "Party"}).exitCode, 0);
    ASSERT_EQ(env.Ctl({"profile", "auto", "House"}).exitCode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Cafe", "Party", "House"}));
    ASSERT_EQ(env.Ctl({"profile", "up", "House"}).exitCode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"Cafe", "House", "Party"}));
    run = env.Ctl({"profile", "up", "Cafe", "--json"});
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_FALSE(ParseJson(run.out)["changed"].boolean);
    ASSERT_EQ(env.Ctl({"profile", "down", "Cafe"}).exitCode, 0);
    EXPECT_EQ(Names(), (std::vector<std::string>{"House", "Cafe", "Party"}));
    ASSERT_EQ(env.Ctl({"profile", "noauto", "House"}).exitCode, 0);
    EXPECT_EQ(env.Ctl({"profile", "up", "House"}).exitCode, 1);  // not a member

    // Delete: the record, its key and its slot go.
    ASSERT_EQ(env.Ctl({"profile", "rm", "Cafe"}).exitCode, 0);
    list = Profiles();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0]["name"].string, "Party");
    EXPECT_EQ(list[0]["priority"].Int(), 0);
    EXPECT_EQ(env.Ctl({"profile", "rm", "Cafe"}).exitCode, 1);
    EXPECT_EQ(env.Ctl({"profile", "frob", "Cafe"}).exitCode, 2);
    EXPECT_EQ(env.Ctl({"profile", "add", "X", "--bogus"}).exitCode, 2);
    const RunResult misspelt = env.Ctl({"--jsn", "profiles"});
    EXPECT_EQ(misspelt.exitCode, 2);
    EXPECT_EQ(misspelt.err, "kestrowctl: unknown option '--jsn'\n");
}

TEST_F(KestrowctlProfilesTest, ExportImportRoundTrips)
{
    ASSERT_EQ(env.Ctl({"profile", "add", "Home", "--ssid", "Dovrel-Home", "--wep-key", "1:0123456789ABCDEF0123456789", "--auto"}).exitCode, 0);
    ASSERT_EQ(env.Ctl({"profile", "add", "Cafe", "--ssid", "CoffeeCorner"}).exitCode, 0);

    // One profile; a name without "reg" gets ".reg".
    const std::string one = env.Dir() + "/home";
    RunResult run = env.Ctl({"export", "Home", one, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ParseJson(run.out)["file"].string, one + ".reg");
    EXPECT_EQ(HivexGet(one + ".reg", "\\", "ProfName"), "Home");
    EXPECT_EQ(HivexGet(one + ".reg", "\\", "Sec Key 0"), "0123456789ABCDEF0123456789");
    run = env.Ctl({"export", "Home", one + ".reg"});
    EXPECT_EQ(run.exitCode, 1) << "an existing file is not overwritten";
    EXPECT_FALSE(run.err.empty());

    run = env.Ctl({"import", one + ".reg", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const Json imported = ParseJson(run.out)["imported"];
    ASSERT_EQ(imported.size(), 1u);
    const std::string copy = imported[0].string;
    EXPECT_EQ(copy.rfind("Profile ", 0), 0u);
    Json list = Profiles();
    ASSERT_EQ(list.size(), 3u);
    for (const Json &p : list.array) {
        if (p["name"].string == copy) {
            EXPECT_EQ(p["ssid"].string, "Dovrel-Home");
            EXPECT_FALSE(p["auto_select"].boolean);
        }
    }

    // The whole store, then into a fresh registry.
    const std::string all = env.Dir() + "/all.reg";
    ASSERT_EQ(env.Ctl({"export-all", all}).exitCode, 0);
    EXPECT_EQ(HivexGet(all, "\\", "NumOfProfiles"), "3");
    EXPECT_EQ(HivexGet(all, "\\Profile 0", "ProfName"), "Home");
    EXPECT_EQ(HivexGet(all, "\\Profile 1", "NetName"), "CoffeeCorner");

    const std::string other = env.Dir() + "/other.sqlite3";
    run = env.Ctl({"--registry", other, "import", all, "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ParseJson(run.out)["imported"].size(), 3u);
    run = env.Ctl({"--registry", other, "profiles", "--json"});
    list = ParseJson(run.out)["profiles"];
    ASSERT_EQ(list.size(), 3u);
    for (const Json &p : list.array)
        EXPECT_FALSE(p["auto_select"].boolean);

    // A file that is not a hive is refused and changes nothing.
    const std::string junk = env.Dir() + "/junk.reg";
    ASSERT_EQ(env.Program("/bin/sh", {"-c", "echo not a hive > '" + junk + "'"}).exitCode, 0);
    run = env.Ctl({"import", junk});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(Profiles().size(), 3u);
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
    // Without options it only reads: the registry file stays as it was.
    const std::string before = ctltest::ReadFile(env.Registry());
    const Json p = ParseJson(env.Ctl({"prefs", "--json"}).out);
    EXPECT_EQ(ctltest::ReadFile(env.Registry()), before);
    EXPECT_EQ(p["interval_secs"].Int(), 100);
    EXPECT_EQ(p["country"].string, "FCC (USA)");
    EXPECT_FALSE(p["changed"].boolean);
}

} // namespace
