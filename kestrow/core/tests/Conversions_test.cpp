// The value conversions, grouped per conversion, with the examples the
// pages rely on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingMessageSink.h"
#include "CommVar.h"
#include "Conversions.h"
#include "KestrowApp.h"
#include "MessageSink.h"
#include "StringTable.h"
#include "VarCodes.h"
#include "support/Recorders.h"

namespace kestrow {
namespace {

class Conv : public ::testing::Test {
protected:
    std::vector<request_record> recs = std::vector<request_record>(COMMVAR_MAX_OIDS);
    request_record &r = recs[0];
    std::string text;
    std::string Read(CONVERT_FN fn)
    {
        fn(recs.data(), &text, CONVERT_AFTER_READ);
        return text;
    }
    void Write(CONVERT_FN fn, const std::string &value)
    {
        text = value;
        fn(recs.data(), &text, CONVERT_BEFORE_WRITE);
    }
};

TEST_F(Conv, SsidReadsLengthByteAndCapsItAt32)
{
    const std::string name = "home-net";
    r.set_u8(0, static_cast<std::uint8_t>(name.size()));
    for (std::size_t i = 0; i < name.size(); ++i)
        r.set_u8(1 + i, static_cast<std::uint8_t>(name[i]));
    r.set_u8(1 + name.size(), 'X');  // not part of the name
    EXPECT_EQ(Read(ConvSsid), "home-net");

    r.set_u8(0, 0);
    EXPECT_EQ(Read(ConvSsid), "");

    // A length byte beyond 32 takes 32 characters.
    for (std::size_t i = 0; i < 60; ++i)
        r.set_u8(1 + i, 'a');
    r.set_u8(0, 200);
    EXPECT_EQ(Read(ConvSsid), std::string(32, 'a'));
}

TEST_F(Conv, SsidWritesAtMost32Characters)
{
    r.set_u8(40, 0x5A);
    Write(ConvSsid, std::string(50, 'b'));
    EXPECT_EQ(r.u8(0), 32);
    EXPECT_EQ(r.u8(32), 'b');
    EXPECT_EQ(r.u8(33), 0);     // nothing beyond the 32 characters
    EXPECT_EQ(r.u8(40), 0x5A);
    Write(ConvSsid, "");
    EXPECT_EQ(r.u8(0), 0);
}

TEST_F(Conv, ChannelFrequencyAndPhyLetter)
{
    const struct {
        int channel;
        std::uint32_t phy;
        const char *text;
    } cases[] = {
        {6, 2, "6 / 2.437 GHz - 802.11g"},
        {14, 1, "14 / 2.484 GHz - 802.11b"},
        {36, 0, "36 / 5.180 GHz - 802.11a"},
        {240, 0, "240 / 5.100 GHz - 802.11a"},
    };
    for (const auto &c : cases) {
        r.set_u8(8, static_cast<std::uint8_t>(c.channel));
        recs[1].set_u32(0, c.phy);
        EXPECT_EQ(Read(ConvChannelFreq), c.text);
    }
}

TEST_F(Conv, CountersAreUnsigned)
{
    r.set_u32(0, 12345);
    r.set_u32(4, 0xFFFFFFFFu);
    EXPECT_EQ(Read(ConvSentCount), "12345");
    EXPECT_EQ(Read(ConvRecvCount), "4294967295");
}

TEST_F(Conv, SecurityKeepsTextForUnknownType)
{
    r.set_u32(0, 0);
    EXPECT_EQ(Read(ConvSecurity), "Disabled");
    r.set_u32(0, 2);
    EXPECT_EQ(Read(ConvSecurity), "TKIP");
    r.set_u32(0, 9);
    EXPECT_EQ(Read(ConvSecurity), "TKIP");
    Write(ConvSecurity, "WEP");
    EXPECT_EQ(r.u32(0), 1u);
    Write(ConvSecurity, "AES");
    EXPECT_EQ(r.u32(0), 0u);
}

TEST_F(Conv, WepKeyWriteParsesUpperAndLowerCase)
{
    for (const char *key : {"0a1B2c3D4e", "0A1b2C3d4E"}) {
        recs[0] = request_record{};
        Write(ConvWepKey, std::string("1 10 ") + key);
        EXPECT_EQ(r.u8(0), 1);
        EXPECT_EQ(r.u8(1), 5);
        EXPECT_EQ(r.u32(4), 1u);
        const std::uint8_t expected[] = {0x0A, 0x1B, 0x2C, 0x3D, 0x4E};
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(r.u8(8 + i), expected[i]) << key << " byte " << i;
    }
    Write(ConvWepKey, "2 26 00112233445566778899AABBCC");
    EXPECT_EQ(r.u8(1), 13);
    EXPECT_EQ(r.u32(4), 2u);
    EXPECT_EQ(r.u8(8 + 12), 0xCC);
}

TEST_F(Conv, WepKeyWriteStaysInsideTheKeyArea)
{
    r.set_u8(44, 0x77);  // first byte after the 44-byte record
    Write(ConvWepKey, "1 200 " + std::string(200, 'F'));
    EXPECT_EQ(r.u8(1), 36);
    EXPECT_EQ(r.u8(8 + 35), 0xFF);
    EXPECT_EQ(r.u8(44), 0x77);
    // A key shorter than its digit count leaves the missing bytes 0.
    Write(ConvWepKey, "0 10 AB");
    EXPECT_EQ(r.u8(8), 0xAB);
    EXPECT_EQ(r.u8(9), 0);
}

TEST_F(Conv, WepKeyRead)
{
    r.set_u8(0, 1);
    r.set_u8(1, 5);
    for (int i = 0; i < 5; ++i)
        r.set_u8(8 + i, static_cast<std::uint8_t>(10 + i));
    EXPECT_EQ(Read(ConvWepKey), "ABCDE");
    r.set_u8(1, 27);
    EXPECT_EQ(Read(ConvWepKey), "");
    r.set_u8(1, 5);
    r.set_u8(0, 5);
    EXPECT_EQ(Read(ConvWepKey), "");
}

TEST_F(Conv, NumberByCommandCode)
{
    r.set_command(VAR_SNR.read);
    r.set_u32(0, static_cast<std::uint32_t>(-7));
    EXPECT_EQ(Read(ConvNumber), "-7 dB");
    r.set_command(592);
    r.set_u32(0, 0x12345678);
    EXPECT_EQ(Read(ConvNumber), "22136");  // 0x5678
    r.set_command(1088);
    EXPECT_EQ(Read(ConvNumber), "120");    // 0x78
    r.set_command(999);
    EXPECT_EQ(Read(ConvNumber), "120");    // unknown code: text unchanged

    r.set_command(VAR_CONNECT_MODE.write);
    Write(ConvNumber, "2");
    EXPECT_EQ(r.u32(0), 2u);
    r.set_command(1088);
    r.set_u32(0, 0);
    Write(ConvNumber, "300");
    EXPECT_EQ(r.u32(0), 44u);  // only the byte
}

TEST(FormatSignal, PercentAndDbm)
{
    std::string text;
    EXPECT_EQ(FormatSignal(-91, &text, false), 0);
    EXPECT_EQ(text, "00%");
    EXPECT_EQ(FormatSignal(-100, &text, false), 0);
    EXPECT_EQ(text, "00%");
    EXPECT_EQ(FormatSignal(-40, &text, false), 99);
    EXPECT_EQ(text, "99%");
    EXPECT_EQ(FormatSignal(-76, &text, false), 50);
    EXPECT_EQ(text, "50%");
    EXPECT_EQ(FormatSignal(-9, &text, true), 99);
    EXPECT_EQ(text, "-09dBm");
    EXPECT_EQ(FormatSignal(-91, &text, true), 0);
    EXPECT_EQ(text, "-91dBm");
    FormatSignal(-2147483647 - 1, &text, false);  // no overflow
    EXPECT_EQ(text, "00%");
}

TEST(StringTable, ByIdAndShownThroughTheMessageSink)
{
    EXPECT_EQ(LoadString(IDS_NOT_CONNECTED), "Not Connected");
    EXPECT_EQ(LoadString(123), "Disabled");
    EXPECT_EQ(LoadString(121), "");

    EXPECT_EQ(ShowMessage(IDS_DRIVER_ERROR, MB_OK), 0);  // no sink yet
    ktest::RecordingMessageSink sink;
    EXPECT_EQ(ShowMessage(IDS_DRIVER_ERROR, MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(ShowMessage(121, MB_OK), 0);  // no such string: no box
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].first, "An error occured connecting to the driver. Try restarting the "
                                   "application if error persists.");
    EXPECT_EQ(sink.shown[0].second, MB_OK | MB_ICONERROR);
}

} // namespace
} // namespace kestrow
