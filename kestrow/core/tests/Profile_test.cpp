// The profile record in the registry, and Apply's batches as the device
// receives them.
#include <gtest/gtest.h>

#include <platform/Registry.h>

#include "RegistryDump.h"
#include "KestrowApp.h"
#include "Profile.h"
#include "Station.h"
#include "support/FakeDevice.h"
#include "support/ProfileFixtures.h"

namespace kestrow {
namespace {

using test::FakeCall;
using test::FakeDevice;
using test::Le32;

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetTheApp();
        ktest::DeleteRegistryTree(CKestrowApp::AppKeyPath());
    }
};

std::vector<FakeCall> Execs(const FakeDevice &fake)
{
    std::vector<FakeCall> out;
    for (const FakeCall &c : fake.Calls()) {
        if (c.kind == FakeCall::Exec)
            out.push_back(c);
    }
    return out;
}

std::uint32_t DataU32(const FakeCall &c, std::size_t at)
{
    return static_cast<std::uint32_t>(c.data[at]) | static_cast<std::uint32_t>(c.data[at + 1]) << 8 |
           static_cast<std::uint32_t>(c.data[at + 2]) << 16 |
           static_cast<std::uint32_t>(c.data[at + 3]) << 24;
}

CProfile OpenNetwork(const std::string &ssid, bool infrastructure)
{
    CProfile p;
    p.ProfName = "P";
    p.NetName = ssid;
    p.NetMode = infrastructure;
    p.PhyType = 2;
    p.PhyChnl = 5;  // channel 6
    return p;
}

TEST_F(ProfileTest, EmptySectionGivesDefaultsAndSaveLoadRoundTrips)
{
    CProfile empty("Profile 7", true);
    EXPECT_EQ(empty.ActiveSecKey, -1);
    EXPECT_EQ(empty.MaxNetRate, 27000000);

    CProfile p("Profile 7", false);
    p.ProfName = "Office";
    p.NetName = "corp";
    p.NetMode = true;
    p.PhyType = 0;
    p.PhyChnl = 9;
    p.SecType = 1;
    p.ActiveSecKey = 2;
    p.SecKey[2] = "0123456789";
    p.SecKeyLen[2] = 0;
    p.AutoSelect = true;
    p.Priority = 3;
    p.MaxNetRate = 5500000;
    p.Use802_1 = true;
    ASSERT_TRUE(p.Save(false));

    CProfile back("Profile 7", true);
    EXPECT_EQ(back.NetName, "corp");
    EXPECT_EQ(back.PhyChnl, 9);
    EXPECT_EQ(back.SecKey[2], "0123456789");
    EXPECT_EQ(back.Priority, 3);
    EXPECT_TRUE(back.Use802_1);

    // The registry names and types are the ones other versions read.
    platform::Registry *reg = platform::Registry::current_user();
    const std::string key = CKestrowApp::SectionKeyPath("Profile 7");
    std::uint32_t dword = 0;
    std::string text;
    EXPECT_EQ(reg->query_dword(key, "Sec Key Len 2", &dword), 0u);
    EXPECT_EQ(reg->query_string(key, "Sec Key 2", &text), 0u);
    EXPECT_EQ(reg->query_dword(key, "NetMode", &dword), 0u);
    EXPECT_EQ(dword, 1u);

    // A copy has no section and holds no auto-selection slot.
    CProfile copy(back);
    EXPECT_TRUE(copy.Section.empty());
    EXPECT_EQ(copy.Priority, -1);
    EXPECT_EQ(copy.NetName, "corp");

    ASSERT_TRUE(back.ClearName());
    EXPECT_TRUE(CProfile("Profile 7", true).ProfName.empty());
}

TEST_F(ProfileTest, ChannelIndexAndNumberAreInverse)
{
    EXPECT_EQ(CProfile::ChannelNumber(0, 7), 64);
    EXPECT_EQ(CProfile::ChannelNumber(0, 8), 149);
    EXPECT_EQ(CProfile::ChannelNumber(2, 10), 11);
    for (int phy = 0; phy < 3; ++phy) {
        for (int index = 0; index < (phy == 0 ? 12 : 14); ++index)
            EXPECT_EQ(CProfile::ChannelIndex(phy, CProfile::ChannelNumber(phy, index)), index);
    }
    // Out-of-list numbers stay inside the list.
    EXPECT_EQ(CProfile::ChannelIndex(0, 100), 7);
    EXPECT_EQ(CProfile::ChannelIndex(0, 200), 11);
    EXPECT_EQ(CProfile::ChannelIndex(1, 0), 0);
}

TEST_F(ProfileTest, ConnectInfrastructureLeavesTheChannelOutAdHocSendsIt)
{
    FakeDevice fake;
    CStation infra(OpenNetwork("home", true), nullptr, 0);
    ASSERT_TRUE(infra.Apply(CStation::Connect));
    EXPECT_FALSE(theApp().AdHocConnected());
    auto calls = Execs(fake);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].command, 0x220u);
    EXPECT_EQ(DataU32(calls[0], 0), 1u);  // infrastructure
    EXPECT_EQ(calls[1].command, 0x470u);
    EXPECT_EQ(DataU32(calls[1], 0), 2u);
    EXPECT_EQ(calls[2].command, 0x80u);
    EXPECT_EQ(calls[2].data[0], 4u);
    EXPECT_EQ(std::string(calls[2].data.begin() + 1, calls[2].data.begin() + 5), "home");
    EXPECT_EQ(calls[3].command, 0x430u);
    EXPECT_EQ(DataU32(calls[3], 0), 0u);  // no security; ActiveSecKey -1: no key variable

    // A security type outside 0..3 (a damaged profile) is sent as none.
    fake.ClearCalls();
    CStation odd(OpenNetwork("odd", true), nullptr, 0);
    odd.SecType = 9;
    ASSERT_TRUE(odd.Apply(CStation::Connect));
    calls = Execs(fake);
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(DataU32(calls[3], 0), 0u);

    fake.ClearCalls();
    CStation adhoc(OpenNetwork("party", false), nullptr, 0);
    adhoc.ShortPreamble = true;
    ASSERT_TRUE(adhoc.Apply(CStation::Connect));
    EXPECT_TRUE(theApp().AdHocConnected());
    calls = Execs(fake);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(DataU32(calls[0], 0), 2u);  // ad hoc
    EXPECT_EQ(calls[3].command, 0x360u);
    EXPECT_EQ(DataU32(calls[3], 0), 12u);
    EXPECT_EQ(calls[3].data[8], 6u);
    EXPECT_EQ(calls[4].command, 0x430u);
}

TEST_F(ProfileTest, ChannelOf80211aAndTheWepKeyAsSent)
{
    FakeDevice fake;
    CProfile a = OpenNetwork("five", false);
    a.PhyType = 0;
    a.PhyChnl = 7;
    CStation low(a, nullptr, 0);
    EXPECT_EQ(low.PhyChnl, 64);
    ASSERT_TRUE(low.Apply(CStation::Connect));
    a.PhyChnl = 8;
    CStation high(a, nullptr, 0);
    ASSERT_TRUE(high.Apply(CStation::Connect));
    std::vector<int> channels;
    for (const FakeCall &c : Execs(fake)) {
        if (c.command == 0x360)
            channels.push_back(c.data[8]);
    }
    EXPECT_EQ(channels, (std::vector<int>{64, 149}));

    // WEP with key 1 of 10 digits; then a size code that is neither 0 nor 1
    // sends the key text's own digit count.
    fake.ClearCalls();
    CProfile w = OpenNetwork("secure", true);
    w.SecType = 1;
    w.ActiveSecKey = 1;
    w.SecKey[1] = "0a1B2c3D4e";
    CStation wep(w, nullptr, 0);
    ASSERT_TRUE(wep.Apply(CStation::Connect));
    auto calls = Execs(fake);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(DataU32(calls[3], 0), 1u);
    const FakeCall &key = calls[4];
    EXPECT_EQ(key.command, 0x400u);
    EXPECT_EQ(key.data[0], 1u);
    EXPECT_EQ(key.data[1], 5u);
    EXPECT_EQ(DataU32(key, 4), 1u);
    EXPECT_EQ(std::vector<std::uint8_t>(key.data.begin() + 8, key.data.begin() + 13),
              (std::vector<std::uint8_t>{0x0a, 0x1b, 0x2c, 0x3d, 0x4e}));

    fake.ClearCalls();
    wep.SecKeyLen[1] = 7;
    wep.SecKey[1] = "00112233445566";
    ASSERT_TRUE(wep.Apply(CStation::SecurityOnly));
    calls = Execs(fake);
    ASSERT_EQ(calls.size(), 2u);  // security only: type and key
    EXPECT_EQ(calls[0].command, 0x430u);
    EXPECT_EQ(calls[1].data[1], 7u);  // 14 digits, 7 bytes
}

TEST_F(ProfileTest, ReadFillsTheStationAndKeepsTheKeyEntries)
{
    FakeDevice fake;
    fake.Answer(0x210, Le32(1));
    fake.Answer(0x460, Le32(2));
    fake.Answer(0x70, {4, 'c', 'a', 'f', 'e'});
    std::vector<std::uint8_t> channel = Le32(12);
    channel.resize(16, 0);
    channel[8] = 11;
    channel[12] = 1;
    fake.Answer(0x350, channel);
    fake.Answer(0x420, Le32(1));
    fake.Answer(0x400, {2, 5, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4, 5});

    CProfile p = OpenNetwork("old", true);
    p.SecType = 1;
    p.ActiveSecKey = 2;
    p.SecKey[2] = "abcdefabcd";
    p.RTSThreshold = 500;
    CStation s(p, "00-11-22-33-44-55", -50);
    ASSERT_TRUE(s.Apply(CStation::Read));
    std::vector<std::uint32_t> codes;
    for (const FakeCall &c : Execs(fake))
        codes.push_back(c.command);
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{0x210, 0x460, 0x70, 0x350, 0x420, 0x400}));
    EXPECT_EQ(s.NetName, "cafe");
    EXPECT_EQ(s.PhyChnl, 11);
    EXPECT_TRUE(s.ShortPreamble);
    EXPECT_EQ(s.MacAddress, "--");
    EXPECT_EQ(s.ActiveSecKey, 2);
    EXPECT_EQ(s.SecKey[2], "abcdefabcd");
    EXPECT_EQ(s.SecKeyLen[2], 0);
    EXPECT_EQ(s.RTSThreshold, -1);  // RTS was off
    EXPECT_FALSE(s.UseRTS);

    // A failed read leaves the parse out and reports false.
    fake.Refuse(0x350);
    CStation t(p, nullptr, 0);
    EXPECT_FALSE(t.Apply(CStation::Read));
    EXPECT_EQ(t.PhyChnl, 6);
}

} // namespace
} // namespace kestrow
