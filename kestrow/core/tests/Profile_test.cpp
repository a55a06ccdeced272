// The profile record in the registry, and Apply's batches as the device
// receives them.
#include <gtest/gtest.h>

#include <platform/Registry.h>

#include "Profile.h"
#include "Station.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

using test::FakeCall;
using test::Le32;

class ProfileTest : public test::CoreTest {
protected:
    // Applies `station` in `mode`; the requests the device received.
    std::vector<FakeCall> Sent(CStation &station, CStation::ApplyMode mode)
    {
        fake_.ClearCalls();
        EXPECT_TRUE(station.Apply(mode));
        return fake_.Execs();
    }
};

std::uint32_t DataU32(const FakeCall &c, std::size_t at)
{
    return static_cast<std::uint32_t>(c.data[at]) | static_cast<std::uint32_t>(c.data[at + 1]) << 8 |
           static_cast<std::uint32_t>(c.data[at + 2]) << 16 | static_cast<std::uint32_t>(c.data[at + 3]) << 24;
}

CProfile OpenNetwork(const std::string &ssid, bool infrastructure)
{
    CProfile p;
    p.NetName = ssid;
    p.NetMode = infrastructure;
    p.PhyType = 2;
    p.PhyChnl = 5;  // channel 6
    return p;
}

TEST_F(ProfileTest, SaveLoadRoundTripsUnderTheNamesOtherVersionsRead)
{
    EXPECT_EQ(CProfile("Profile 7", true).ActiveSecKey, -1);  // the default of an absent value
    CProfile p("Profile 7", false);
    p.ProfName = "Office";
    p.NetName = "corp";
    p.NetMode = true;
    p.PhyChnl = 9;
    p.SecKey[2] = "0123456789";
    p.Priority = 3;
    p.Use802_1 = true;
    ASSERT_TRUE(p.Save(false));
    CProfile back("Profile 7", true);
    EXPECT_EQ(back.NetName, "corp");
    EXPECT_EQ(back.PhyChnl, 9);
    EXPECT_EQ(back.SecKey[2], "0123456789");
    EXPECT_EQ(back.Priority, 3);
    EXPECT_TRUE(back.Use802_1);

    platform::Registry *reg = platform::Registry::current_user();
    const std::string key = CKestrowApp::SectionKeyPath("Profile 7");
    std::uint32_t dword = 0;
    std::string text;
    EXPECT_EQ(reg->query_dword(key, "Sec Key Len 2", &dword), 0u);
    EXPECT_EQ(reg->query_string(key, "Sec Key 2", &text), 0u);
    EXPECT_EQ(reg->query_dword(key, "NetMode", &dword), 0u);
    EXPECT_EQ(dword, 1u);

    // A copy has no section and holds no auto-selection slot.
    const CProfile copy(back);
    EXPECT_TRUE(copy.Section.empty());
    EXPECT_EQ(copy.Priority, -1);
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

TEST_F(ProfileTest, ConnectBatchesLeaveTheChannelOutForInfrastructureAndSendTheKey)
{
    CStation infra(OpenNetwork("home", true), nullptr, 0);
    infra.SecType = 9;  // a damaged profile's security type is sent as none
    auto calls = Sent(infra, CStation::Connect);
    EXPECT_FALSE(app().AdHocConnected());
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].command, 0x220u);
    EXPECT_EQ(DataU32(calls[0], 0), 1u);  // infrastructure
    EXPECT_EQ(calls[1].command, 0x470u);
    EXPECT_EQ(DataU32(calls[1], 0), 2u);
    EXPECT_EQ(calls[2].command, 0x80u);
    EXPECT_EQ(std::string(calls[2].data.begin(), calls[2].data.begin() + 5), "\x04home");
    EXPECT_EQ(calls[3].command, 0x430u);
    EXPECT_EQ(DataU32(calls[3], 0), 0u);  // no security; ActiveSecKey -1: no key variable

    CStation adhoc(OpenNetwork("party", false), nullptr, 0);
    adhoc.ShortPreamble = true;
    calls = Sent(adhoc, CStation::Connect);
    EXPECT_TRUE(app().AdHocConnected());
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(DataU32(calls[0], 0), 2u);  // ad hoc
    EXPECT_EQ(calls[3].command, 0x360u);
    EXPECT_EQ(DataU32(calls[3], 0), 12u);
    EXPECT_EQ(calls[3].data[8], 6u);

    // WEP with key 1 of 10 digits; then a size code that is neither 0 nor 1
    // sends the key text's own digit count.
    CStation wep(OpenNetwork("secure", true), nullptr, 0);
    wep.SecType = 1;
    wep.ActiveSecKey = 1;
    wep.SecKey[1] = "0a1B2c3D4e";
    calls = Sent(wep, CStation::Connect);
    ASSERT_EQ(calls.size(), 5u);
    EXPECT_EQ(DataU32(calls[3], 0), 1u);
    EXPECT_EQ(calls[4].command, 0x400u);
    EXPECT_EQ(calls[4].data[1], 5u);
    EXPECT_EQ(DataU32(calls[4], 4), 1u);
    wep.SecKeyLen[1] = 7;
    wep.SecKey[1] = "00112233445566";
    calls = Sent(wep, CStation::SecurityOnly);
    ASSERT_EQ(calls.size(), 2u);  // security only: type and key
    EXPECT_EQ(calls[0].command, 0x430u);
    EXPECT_EQ(calls[1].data[1], 7u);  // 14 digits, 7 bytes
}

TEST_F(ProfileTest, ReadFillsTheStationAndKeepsTheKeyEntries)
{
    fake_.Answer(0x70, {4, 'c', 'a', 'f', 'e'});
    std::vector<std::uint8_t> channel = Le32(12);
    channel.resize(16, 0);
    channel[8] = 11;
    channel[12] = 1;
    fake_.Answer(0x350, channel);
    fake_.Answer(0x400, {2, 5, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4, 5});

    CProfile p = OpenNetwork("old", true);
    p.SecType = 1;
    p.ActiveSecKey = 2;
    p.SecKey[2] = "abcdefabcd";
    p.RTSThreshold = 500;
    CStation s(p, "00-11-22-33-44-55", -50);
    std::vector<std::uint32_t> codes;
    for (const FakeCall &c : Sent(s, CStation::Read))
        codes.push_back(c.command);
    EXPECT_EQ(codes, (std::vector<std::uint32_t>{0x210, 0x460, 0x70, 0x350, 0x420, 0x400}));
    EXPECT_EQ(s.NetName, "cafe");
    EXPECT_EQ(s.PhyChnl, 11);
    EXPECT_TRUE(s.ShortPreamble);
    EXPECT_EQ(s.MacAddress, "--");
    EXPECT_EQ(s.ActiveSecKey, 2);
    EXPECT_EQ(s.SecKey[2], "abcdefabcd");
    EXPECT_EQ(s.RTSThreshold, -1);  // RTS was off
    EXPECT_FALSE(s.UseRTS);

    // A failed read leaves the parse out and reports false.
    fake_.Refuse(0x350);
    CStation t(p, nullptr, 0);
    EXPECT_FALSE(t.Apply(CStation::Read));
    EXPECT_EQ(t.PhyChnl, 6);
}

} // namespace
} // namespace kestrow
