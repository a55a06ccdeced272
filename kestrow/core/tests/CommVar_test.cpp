// Communication variables and their table against the recording fake of the
// device library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommVar.h"
#include "CommVarList.h"
#include "Conversions.h"
#include "VarCodes.h"
#include "support/CoreTest.h"
#include "support/Recorders.h"

namespace kestrow {
namespace {

using test::Le32;

// Records the phases a conversion was called with.
std::vector<std::int32_t> g_phases;
void RecordPhase(request_record *, std::string *text, std::int32_t phase)
{
    g_phases.push_back(phase);
    if (phase == CONVERT_AFTER_READ)
        *text = "converted";
}

class CommVarTest : public test::CoreTest {
protected:
    void SetUp() override
    {
        CoreTest::SetUp();
        g_phases.clear();
    }
};

// A refused request ends the variable's requests; a bad status only marks
// the variable invalid, its other requests are still sent and converted.
TEST_F(CommVarTest, RefusalStopsTheVariableABadStatusDoesNot)
{
    const OID_PAIR pairs[] = {VAR_CHANNEL, VAR_PHY};
    test::RecordingParent parent({1065});
    fake_.Refuse(VAR_CHANNEL.read);
    EXPECT_FALSE(CCommVar(1065, pairs, 2, parent.FindControl(1065), RecordPhase).m_bValid);
    EXPECT_EQ(fake_.ExecCodes(), std::vector<std::uint32_t>{VAR_CHANNEL.read});
    EXPECT_EQ(g_phases, std::vector<std::int32_t>{CONVERT_BEFORE_READ});
    EXPECT_TRUE(parent[1065].texts.empty());

    fake_.ClearCalls();
    g_phases.clear();
    fake_.Answer(VAR_CHANNEL.read, {}, 7);
    EXPECT_FALSE(CCommVar(1065, pairs, 2, parent.FindControl(1065), RecordPhase).m_bValid);
    EXPECT_EQ(fake_.ExecCodes(), (std::vector<std::uint32_t>{VAR_CHANNEL.read, VAR_PHY.read}));
    EXPECT_EQ(g_phases, (std::vector<std::int32_t>{3, 0, 3, 0}));
    EXPECT_EQ(parent[1065].texts, std::vector<std::string>{"converted"});
}

TEST_F(CommVarTest, NoAdapterLeavesTheTextAndControlUnchanged)
{
    fake_.connect_result = 50;
    std::string text = "previous";
    CCommVar var(VAR_SSID.read, VAR_SSID.write, &text, ConvSsid);
    var.DriverRecv(true);
    EXPECT_EQ(text, "previous");
    var.DriverSend();
    EXPECT_FALSE(var.m_bValid);
    EXPECT_TRUE(fake_.ExecCodes().empty());
    // Each attempt tried to connect again, with "SEARCH".
    EXPECT_EQ(fake_.Connects(), (std::vector<std::string>{"SEARCH", "SEARCH"}));

    test::RecordingParent parent({1063});
    CCommVar bound(1063, VAR_SSID.read, VAR_SSID.write, parent.FindControl(1063), ConvSsid);
    EXPECT_TRUE(parent[1063].texts.empty());
}

TEST_F(CommVarTest, LibraryExceptionIsCaughtAsARefusal)
{
    fake_.Throw(VAR_NET_RATE.read);
    test::DebugCapture log;
    CCommVar var(VAR_NET_RATE.read, VAR_NET_RATE.write, nullptr, RecordPhase);
    var.DriverRecv(false);
    EXPECT_FALSE(var.m_bValid);
    EXPECT_EQ(g_phases, std::vector<std::int32_t>{CONVERT_BEFORE_READ});
    EXPECT_NE(log.text.find("DriverRecv Exception Occured"), std::string::npos);

    fake_.Throw(VAR_NET_RATE.write);
    var.DriverSend();
    EXPECT_FALSE(var.m_bValid);
}

TEST_F(CommVarTest, ListExecEmptyStopsAtFirstFailureAndKeysStartAgainAfterRemoveAll)
{
    CCommVarList list;
    EXPECT_TRUE(list.Exec(false, false));
    EXPECT_TRUE(fake_.ExecCodes().empty());

    fake_.Refuse(VAR_SSID.read);
    std::string first = "a", second = "b", third = "c";
    list.Add(VAR_NET_MODE, ConvNetMode, &first);
    list.Add(VAR_SSID, ConvSsid, &second);
    list.Add(VAR_SECURITY, ConvSecurity, &third);
    EXPECT_FALSE(list.Exec(false, false));
    EXPECT_EQ(fake_.ExecCodes(), (std::vector<std::uint32_t>{VAR_NET_MODE.read, VAR_SSID.read}));
    EXPECT_EQ(third, "c");

    fake_.ClearCalls();
    fake_.Refuse(VAR_SSID.write);
    EXPECT_FALSE(list.Exec(true, false));
    EXPECT_EQ(fake_.ExecCodes(), (std::vector<std::uint32_t>{VAR_NET_MODE.write, VAR_SSID.write}));

    // Keys start again after RemoveAll.
    list.RemoveAll();
    fake_.ClearCalls();
    CCommVar *added = list.Add(VAR_CONNECTED, nullptr, nullptr);
    EXPECT_EQ(list.GetVar(0), added);
    EXPECT_EQ(list.GetVar(1), nullptr);
    EXPECT_TRUE(list.Exec(false, false));
    EXPECT_EQ(fake_.ExecCodes(), std::vector<std::uint32_t>{VAR_CONNECTED.read});
}

TEST_F(CommVarTest, BoundControlShowsItsValueBeforeAddReturns)
{
    fake_.Answer(VAR_REG_DOMAIN.read, Le32(0x31));
    test::RecordingParent parent({1145});
    CCommVarList list(&parent);
    list.AddControl(1145, VAR_REG_DOMAIN.read, VAR_REG_DOMAIN.write, ConvCountry);
    EXPECT_EQ(parent[1145].texts, std::vector<std::string>{"SPAIN"});

    // A control the parent does not have makes the variable unbound in effect.
    EXPECT_NE(list.AddControl(9999, VAR_MAC.read, VAR_MAC.write, ConvMac), nullptr);
    fake_.Answer(VAR_REG_DOMAIN.read, Le32(0x40));
    EXPECT_TRUE(list.Exec(false, true));
    EXPECT_EQ(parent[1145].texts.back(), "JAPAN");
    EXPECT_TRUE(list.Exec(false, false));
    EXPECT_EQ(parent[1145].texts.size(), 2u);  // read without control update
}

} // namespace
} // namespace kestrow
