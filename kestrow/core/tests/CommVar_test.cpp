// Communication variables and their table against the recording fake of the
// device library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CommVar.h"
#include "CommVarList.h"
#include "Conversions.h"
#include "DebugLog.h"
#include "TextSink.h"
#include "VarCodes.h"
#include "support/CoreTest.h"

namespace kestrow {
namespace {

// Records the phases a conversion was called with.
std::vector<std::int32_t> g_phases;
void RecordPhase(request_record *, std::string *text, std::int32_t phase)
{
    g_phases.push_back(phase);
    if (phase == CONVERT_AFTER_READ)
        *text = "converted";
}

// A control recording every text set, in order.
struct RecordingControl : ITextSink {
    void SetText(const std::string &text) override { texts.push_back(text); }
    std::vector<std::string> texts;
};

using CommVarTest = test::CoreTest;

// A refused request ends the variable's requests; a bad status only marks
// the variable invalid, its other requests are still sent and converted.
TEST_F(CommVarTest, RefusalStopsTheVariableABadStatusDoesNot)
{
    const OID_PAIR pairs[] = {VAR_CHANNEL, VAR_PHY};
    RecordingControl control;
    g_phases.clear();
    fake_.Refuse(VAR_CHANNEL.read);
    EXPECT_FALSE(CCommVar(1065, pairs, 2, &control, RecordPhase).m_bValid);
    EXPECT_EQ(fake_.ExecCodes(), std::vector<std::uint32_t>{VAR_CHANNEL.read});
    EXPECT_EQ(g_phases, std::vector<std::int32_t>{CONVERT_BEFORE_READ});
    EXPECT_TRUE(control.texts.empty());

    fake_.ClearCalls();
    g_phases.clear();
    fake_.Answer(VAR_CHANNEL.read, {}, 7);
    EXPECT_FALSE(CCommVar(1065, pairs, 2, &control, RecordPhase).m_bValid);
    EXPECT_EQ(fake_.ExecCodes(), (std::vector<std::uint32_t>{VAR_CHANNEL.read, VAR_PHY.read}));
    EXPECT_EQ(g_phases, (std::vector<std::int32_t>{3, 0, 3, 0}));
    EXPECT_EQ(control.texts, std::vector<std::string>{"converted"});
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

    RecordingControl control;
    CCommVar bound(1063, VAR_SSID.read, VAR_SSID.write, &control, ConvSsid);
    EXPECT_TRUE(control.texts.empty());
}

TEST_F(CommVarTest, LibraryExceptionIsCaughtAsARefusal)
{
    fake_.Throw(VAR_NET_RATE.read);
    g_phases.clear();
    std::string log;
    DebugLogHook previous = SetDebugLogHook([&log](std::string_view text) { log.append(text); });
    CCommVar var(VAR_NET_RATE.read, VAR_NET_RATE.write, nullptr, RecordPhase);
    var.DriverRecv(false);
    SetDebugLogHook(std::move(previous));
    EXPECT_FALSE(var.m_bValid);
    EXPECT_EQ(g_phases, std::vector<std::int32_t>{CONVERT_BEFORE_READ});
    EXPECT_NE(log.find("DriverRecv Exception Occured"), std::string::npos);

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
    fake_.Answer(VAR_REG_DOMAIN.read, {0x31});
    struct : IControlParent {
        ITextSink *FindControl(int id) override { return id == 1145 ? &control : nullptr; }
        RecordingControl control;
    } parent;
    CCommVarList list(&parent);
    list.AddControl(1145, VAR_REG_DOMAIN.read, VAR_REG_DOMAIN.write, ConvCountry);
    EXPECT_EQ(parent.control.texts, std::vector<std::string>{"SPAIN"});

    // A control the parent does not have makes the variable unbound in effect.
    EXPECT_NE(list.AddControl(9999, VAR_MAC.read, VAR_MAC.write, ConvMac), nullptr);
    fake_.Answer(VAR_REG_DOMAIN.read, {0x40});
    EXPECT_TRUE(list.Exec(false, true));
    EXPECT_EQ(parent.control.texts.back(), "JAPAN");
    EXPECT_TRUE(list.Exec(false, false));
    EXPECT_EQ(parent.control.texts.size(), 2u);  // read without control update
}

} // namespace
} // namespace kestrow
