// kestrowctl against a real adapter-sim: status, scan in both views, connect
// and join with their exit codes (a hidden network's too), the event stream,
// and its behaviour beside a running Kestrow.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/un.h>
#include <unistd.h>

#include "CtlTestSupport.h"
#include "ScenarioBuilder.h"

using ctltest::CtlEnv;
using ctltest::Find;
using ctltest::JsonOf;
using ctltest::Size;
using ctltest::Str;
using ctltest::RunResult;

namespace {

// How many of the stations have `key` equal to `value`.
long Count(const QJsonValue &stations, const char *key, const QJsonValue &value)
{
    const QJsonArray list = stations.toArray();
    return std::count_if(list.begin(), list.end(), [&](const QJsonValue &s) { return s[key] == value; });
}

class KestrowctlTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(env.SimReady()); }
    CtlEnv env;
};

TEST_F(KestrowctlTest, StatusDisconnectedThenConnected)
{
    const RunResult text = env.Ctl({"status"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Connected to (SSID):  Not Connected"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find("Network Mode:"), std::string::npos);

    QJsonValue s = JsonOf(env.Ctl({"status", "--json"}));
    EXPECT_FALSE(s["connected"].toBool());
    EXPECT_TRUE(s["ssid"].isNull());
    EXPECT_EQ(Str(s["adapter"]["regulatory_domain"]), "FCC (US)");

    // A registry that cannot be opened fails the commands that need it with
    // one line naming it; the adapter's status still works.
    const std::string garbage = env.Dir() + "/garbage.sqlite3";
    ASSERT_TRUE(ktest::WriteFile(garbage, std::string(4096, 'x')));
    const RunResult refused = env.Ctl({"--registry", garbage, "profiles"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err, "kestrowctl: cannot open the registry " + garbage + ": file is not a database\n");
    const RunResult status = env.Ctl({"--registry", garbage, "status"});
    EXPECT_EQ(status.exitCode, 0) << status.err;
    EXPECT_NE(status.out.find("MAC Address"), std::string::npos) << status.out;

    ASSERT_EQ(env.Ctl({"join", "CoffeeCorner"}).exitCode, 0);
    s = JsonOf(env.Ctl({"status", "--json"}));
    EXPECT_TRUE(s["connected"].toBool());
    EXPECT_EQ(Str(s["ssid"]), "CoffeeCorner");
    EXPECT_EQ(Str(s["channel_frequency"]), "1 / 2.412 GHz - 802.11g");
    EXPECT_EQ(Str(s["active_profile"]), "Profile 0");
}

TEST_F(KestrowctlTest, ScanInBothViews)
{
    QJsonValue ap = JsonOf(env.Ctl({"scan", "--json"}));
    EXPECT_EQ(Str(ap["view"]), "ap");
    const QJsonValue &all = ap["stations"];
    EXPECT_EQ(Count(all, "ssid", "Campus"), 3);
    EXPECT_EQ(Count(all, "ssid", ""), 1);  // the hidden network
    EXPECT_EQ(Str(Find(all, "ssid", "LanParty")["mode"]), "Ad-Hoc");

    QJsonValue net = JsonOf(env.Ctl({"scan", "--net", "--json"}));
    EXPECT_EQ(Str(net["view"]), "network");
    EXPECT_EQ(Count(net["stations"], "ssid", "Campus"), 1);  // merged (which one stays is the core's)

    // Text: the view's columns.
    EXPECT_NE(env.Ctl({"scan"}).out.find("Channel  Rate     MAC"), std::string::npos);
    EXPECT_EQ(env.Ctl({"scan", "--net"}).out.find("MAC"), std::string::npos);

    // A saved network view in Kestrow does not reduce the access point view.
    ASSERT_EQ(env.Ctl({"join", "Campus"}).exitCode, 0);
    ap = JsonOf(env.Ctl({"scan", "--json"}));
    EXPECT_EQ(Count(ap["stations"], "ssid", "Campus"), 3);
    EXPECT_EQ(Count(ap["stations"], "connected", true), 1);
}

TEST_F(KestrowctlTest, ConnectAndJoinExitCodes)
{
    // A WEP network without a key is refused before anything happens.
    RunResult run = env.Ctl({"join", "Dovrel-Home"});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("uses WEP"), std::string::npos);
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "one line";

    // A wrong key: no association, message 122, and no profile recorded.
    run = env.Ctl({"join", "Dovrel-Home", "--key-index", "1", "--key", "0000000000", "--timeout", "2"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Could not connect to specified station."), std::string::npos) << run.err;
    EXPECT_EQ(Size(JsonOf(env.Ctl({"profiles", "--json"}))["profiles"]), 0u);

    run = env.Ctl({"join", "Dovrel-Home", "--key-index", "1", "--key", "01-23-45-67-89-AB-CD-EF-01-23-45-67-89", "--json"});
    QJsonValue joined = JsonOf(run);
    EXPECT_TRUE(joined["associated"].toBool());
    EXPECT_EQ(Str(joined["profile"]["name"]), "Profile 0");
    // The default scenario's hidden network "backroom" (WEP, key 2), joined by its name.
    joined = JsonOf(env.Ctl({"join", "--hidden", "backroom", "--key-index", "2", "--key", "A1B2C3D4E5", "--json"}));
    EXPECT_TRUE(joined["associated"].toBool());
    EXPECT_EQ(Str(JsonOf(env.Ctl({"status", "--json"}))["ssid"]), "backroom");

    // connect: success, an unknown profile, and a network nobody runs.
    ASSERT_EQ(env.Ctl({"profile", "add", "Cafe", "--ssid", "CoffeeCorner"}).exitCode, 0);
    run = env.Ctl({"connect", "Cafe"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Str(JsonOf(env.Ctl({"status", "--json"}))["ssid"]), "CoffeeCorner");
    EXPECT_EQ(env.Ctl({"connect", "No Such"}).exitCode, 1);
    ASSERT_EQ(env.Ctl({"profile", "add", "Ghost", "--ssid", "Nowhere"}).exitCode, 0);
    run = env.Ctl({"connect", "Ghost", "--timeout", "1"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("Could not connect to profile. Verify profile parameters."), std::string::npos);

    // Without the adapter the batch itself fails.
    ASSERT_TRUE(env.Sim().Ctl("vanish"));
    run = env.Ctl({"connect", "Ghost"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_FALSE(run.err.empty());
    EXPECT_EQ(env.Ctl({"reset-stats"}).exitCode, 1);
    ASSERT_TRUE(env.Sim().Ctl("appear"));
    EXPECT_EQ(env.Ctl({"reset-stats"}).exitCode, 0);
}

TEST_F(KestrowctlTest, WatchPrintsTheLinkEventsAsJsonLines)
{
    ASSERT_EQ(env.Ctl({"join", "CoffeeCorner"}).exitCode, 0);
    ktest::ChildProcess watch;
    std::string error;
    ASSERT_TRUE(watch.Start({KESTROWCTL_PATH, "watch", "--json"}, &error, env.Environment(), true)) << error;
    std::vector<std::string> events;
    auto next = [&](const char *kind) {
        std::string line;
        while (watch.ReadLine(&line, std::chrono::seconds(30))) {
            QJsonParseError parsed{};
            const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &parsed);
            EXPECT_EQ(parsed.error, QJsonParseError::NoError) << line;
            events.push_back(Str(doc.object()["event"]));
            if (events.back() == kind)
                return doc.object();
        }
        ADD_FAILURE() << "no " << kind << " event; stderr: " << watch.Stderr();
        return QJsonObject();
    };
    // The first line is the state the events start from.
    const QJsonObject start = next("state");
    EXPECT_TRUE(start["connected"].toBool());
    EXPECT_EQ(Str(start["ssid"]), "CoffeeCorner");
    ASSERT_TRUE(env.Sim().Ctl("drop-link"));
    EXPECT_EQ(Str(next("lost")["ssid"]), "CoffeeCorner");
    ASSERT_TRUE(env.Sim().Ctl("vanish"));
    next("adapter-removed");
    ASSERT_TRUE(env.Sim().Ctl("appear"));
    next("adapter-found");
    EXPECT_EQ(std::count(events.begin(), events.end(), "lost"), 1) << "one line per event";
    const int status = watch.Kill(SIGINT);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

// The socket path of Kestrow's single-copy guard for a registry file.
std::string KestrowSocket(const CtlEnv &env)
{
    const QByteArray key =
        QCryptographicHash::hash(QFileInfo(QString::fromStdString(env.Registry())).absoluteFilePath().toUtf8(),
                                 QCryptographicHash::Sha256);
    return env.RuntimeDir() + "/kestrow/instance-" + key.toHex().left(16).toStdString();
}

// A Unix stream socket listening at `path`, a stand-in for a running
// Kestrow; -1 when that fails.
int Listen(const std::string &path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 && ::listen(fd, 4) == 0)
        return fd;
    ::close(fd);
    return -1;
}

TEST_F(KestrowctlTest, ChangesRefusedWhileKestrowRuns)
{
    ASSERT_EQ(env.Ctl({"profile", "add", "Keep", "--ssid", "CoffeeCorner"}).exitCode, 0);
    const std::string path = KestrowSocket(env);
    {
        ::mkdir(env.RuntimeDir().append("/kestrow").c_str(), 0700);
        const int kestrow = Listen(path);
        ASSERT_GE(kestrow, 0);
        RunResult run = env.Ctl({"profile", "add", "Late", "--ssid", "Late"});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_NE(run.err.find("Kestrow is running"), std::string::npos) << run.err;
        EXPECT_EQ(env.Ctl({"profile", "rm", "Keep"}).exitCode, 1);
        EXPECT_EQ(env.Ctl({"prefs", "--interval", "30"}).exitCode, 1);
        EXPECT_EQ(env.Ctl({"join", "CoffeeCorner"}).exitCode, 1);
        // Reading works.
        const QJsonValue list = JsonOf(env.Ctl({"profiles", "--json"}));
        ASSERT_EQ(Size(list["profiles"]), 1u);
        EXPECT_EQ(Str(list["profiles"][0]["name"]), "Keep");
        EXPECT_EQ(JsonOf(env.Ctl({"prefs", "--json"}))["interval_secs"].toInteger(), 20);
        EXPECT_EQ(env.Ctl({"export", "Keep", env.Dir() + "/keep.reg"}).exitCode, 0);
        ::close(kestrow);
    }
    // The listener is gone and left its socket file behind: a stale file
    // does not block changes, and the command leaves no file behind.
    ASSERT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(env.Ctl({"profile", "add", "Late", "--ssid", "Late"}).exitCode, 0);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(Size(JsonOf(env.Ctl({"profiles", "--json"}))["profiles"]), 2u);
}

// The real Kestrow's guard is at the path of the stand-in above, so the
// refusals shown there hold beside Kestrow itself.
TEST_F(KestrowctlTest, RealKestrowListensWhereKestrowctlLooks)
{
    if (!std::filesystem::exists(KESTROW_GUI_PATH))
        GTEST_SKIP() << "kestrow is not built";
    ktest::ChildProcess kestrow;
    std::string error;
    ASSERT_TRUE(kestrow.Start({KESTROW_GUI_PATH}, &error, env.Environment({"QT_QPA_PLATFORM=offscreen"}))) << error;
    // Bounded wait for its socket (start-up, not timing).
    const std::string path = KestrowSocket(env);
    for (int i = 0; i < 300 && !std::filesystem::exists(path); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_TRUE(std::filesystem::exists(path)) << "kestrow did not come up";
}

} // namespace

namespace {

// Network names are bytes: text output escapes what is not UTF-8 and the
// control characters, JSON stays valid and ssid_hex keeps the bytes.
TEST(KestrowctlBytesTest, NetworkNamesThatAreNotText)
{
    CtlEnv env(ktest::ScenarioBuilder()
                         .Adapter("sim0")
                         .Network("Bad\xff\x07Name", "00:11:22:33:44:55", 6)
                         .Network("back\\slash\"q", "00:11:22:33:44:56", 1)
                         .Text());
    ASSERT_TRUE(env.SimReady());
    const RunResult text = env.Ctl({"scan"});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_NE(text.out.find("Bad\\xFF\\x07Name"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("back\\\\slash\"q"), std::string::npos) << text.out;
    EXPECT_EQ(text.out.find('\x07'), std::string::npos);

    const QJsonValue scan = JsonOf(env.Ctl({"scan", "--json"}));
    const QJsonValue bad = Find(scan["stations"], "ssid_hex", "426164FF074E616D65");
    ASSERT_TRUE(bad.isObject());
    EXPECT_EQ(Str(bad["ssid"]), "Bad\xEF\xBF\xBD\x07Name");
    EXPECT_TRUE(Find(scan["stations"], "ssid", "back\\slash\"q").isObject());
}

} // namespace
