// The value conversions at their limits, and the cases that were once wrong.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "RecordingMessageSink.h"
#include "CommVar.h"
#include "Conversions.h"
#include "MessageSink.h"
#include "StringTable.h"
#include "VarCodes.h"

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

TEST_F(Conv, SsidIsCutAt32CharactersBothWays)
{
    for (std::size_t i = 0; i < 60; ++i)
        r.set_u8(1 + i, 'a');
    r.set_u8(0, 200);  // a length byte beyond 32 takes 32 characters
    EXPECT_EQ(Read(ConvSsid), std::string(32, 'a'));

    r = request_record{};
    r.set_u8(40, 0x5A);
    Write(ConvSsid, std::string(33, 'b'));
    EXPECT_EQ(r.u8(0), 32);
    EXPECT_EQ(r.u8(32), 'b');
    EXPECT_EQ(r.u8(33), 0);  // nothing beyond the 32 characters
    EXPECT_EQ(r.u8(40), 0x5A);
}

TEST_F(Conv, ReadsAtTheirEdges)
{
    // Each case: the word at byte 0 (or the channel at byte 8, with the
    // PHY type in the second record) and the command code.
    const struct {
        CONVERT_FN fn;
        std::uint32_t command, word, phy;
        const char *text;
    } cases[] = {
        {ConvChannelFreq, 0, 14, 1, "14 / 2.484 GHz - 802.11b"},
        {ConvChannelFreq, 0, 36, 0, "36 / 5.180 GHz - 802.11a"},
        {ConvChannelFreq, 0, 240, 0, "240 / 5.100 GHz - 802.11a"},
        {ConvSecurity, 0, 2, 0, "TKIP"},
        {ConvSecurity, 0, 9, 0, "TKIP"},  // unknown: the text shown before stays
        {ConvNumber, VAR_SNR.read, static_cast<std::uint32_t>(-7), 0, "-7 dB"},
        {ConvNumber, 592, 0x12345678, 0, "22136"},  // a 16-bit value
        {ConvNumber, 1088, 0x12345678, 0, "120"},   // a byte
        {ConvNumber, 999, 0, 0, "120"},             // unknown code: text unchanged
    };
    for (const auto &c : cases) {
        r.set_command(c.command);
        r.set_u32(0, c.word);
        r.set_u8(8, static_cast<std::uint8_t>(c.word));
        recs[1].set_u32(0, c.phy);
        EXPECT_EQ(Read(c.fn), c.text) << c.text;
    }
    r.set_u32(4, 0xFFFFFFFFu);
    EXPECT_EQ(Read(ConvRecvCount), "4294967295");  // unsigned

    Write(ConvSecurity, "AES");  // an unknown text writes "disabled"
    EXPECT_EQ(r.u32(0), 0u);
    r.set_command(1088);
    Write(ConvNumber, "300");
    EXPECT_EQ(r.u32(0), 44u);  // only the byte
}

TEST_F(Conv, WepKeyStaysInsideTheKeyArea)
{
    Write(ConvWepKey, "1 10 0a1B2c3D4e");  // digits of either case
    EXPECT_EQ(std::vector<std::uint8_t>(r.data(), r.data() + 13),
              (std::vector<std::uint8_t>{1, 5, 0, 0, 1, 0, 0, 0, 0x0A, 0x1B, 0x2C, 0x3D, 0x4E}));

    r.set_u8(44, 0x77);  // first byte after the 44-byte record
    Write(ConvWepKey, "1 200 " + std::string(200, 'F'));
    EXPECT_EQ(r.u8(1), 36);
    EXPECT_EQ(r.u8(8 + 35), 0xFF);
    EXPECT_EQ(r.u8(44), 0x77);
    // A key shorter than its digit count leaves the missing bytes 0.
    Write(ConvWepKey, "0 10 AB");
    EXPECT_EQ(r.u8(9), 0);

    // Read back one digit per byte; a length above 26 or a key index above
    // 4 gives nothing.
    for (int i = 0; i < 26; ++i)
        r.set_u8(8 + static_cast<std::size_t>(i), static_cast<std::uint8_t>(i % 16));
    r.set_u8(1, 26);
    EXPECT_EQ(Read(ConvWepKey), "0123456789ABCDEF0123456789");
    r.set_u8(1, 27);
    EXPECT_EQ(Read(ConvWepKey), "");
    r.set_u8(1, 5);
    r.set_u8(0, 5);
    EXPECT_EQ(Read(ConvWepKey), "");
}

TEST(FormatSignal, PercentAndDbmWithoutOverflow)
{
    const struct {
        int dBm;
        bool showDbm;
        int percent;
        const char *text;
    } cases[] = {
        {-91, false, 0, "00%"},     {-76, false, 50, "50%"},
        {-61, false, 99, "99%"},    {-9, true, 99, "-09dBm"},
        {std::numeric_limits<int>::min(), false, 0, "00%"},
    };
    for (const auto &c : cases) {
        std::string text;
        EXPECT_EQ(FormatSignal(c.dBm, &text, c.showDbm), c.percent) << c.dBm;
        EXPECT_EQ(text, c.text);
    }
}

TEST(StringTable, ByIdAndShownThroughTheMessageSink)
{
    EXPECT_EQ(LoadString(IDS_NOT_CONNECTED), "Not Connected");
    EXPECT_EQ(ShowMessage(IDS_DRIVER_ERROR, MB_OK), 0);  // no sink yet
    ktest::RecordingMessageSink sink;
    EXPECT_EQ(ShowMessage(IDS_DRIVER_ERROR, MB_OK | MB_ICONERROR), IDOK);
    EXPECT_EQ(ShowMessage(121, MB_OK), 0);  // no such string: no box
    ASSERT_EQ(sink.shown.size(), 1u);
    EXPECT_EQ(sink.shown[0].second, MB_OK | MB_ICONERROR);
}

} // namespace
} // namespace kestrow
