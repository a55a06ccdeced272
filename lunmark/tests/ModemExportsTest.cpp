// The register, message and EEPROM exports: what they hand back and what
// they refuse to send.  (The records on the wire are checked end to end by
// lunmark-tool's tests.)
#include "LunmarkFixture.h"

#include <numeric>

using fake_w32n::CallKind;
namespace wire = lunmark_wire;

namespace {

class ModemExports : public LunmarkFixture {
protected:
    void SetUp() override {
        LunmarkFixture::SetUp();
        fake_w32n::set_adapters({{"a", "", true, true}});
        ASSERT_EQ(ecom_connect("a"), LUNMARK_OK);
        fake_w32n::clear_calls();
    }

    // The one record sent since SetUp.
    static std::vector<std::uint8_t> sent_record() {
        const auto requests = fake_w32n::calls(CallKind::Request);
        EXPECT_EQ(requests.size(), 1u);
        if (requests.empty())
            return {};
        const std::uint8_t *r = logged_record(requests.back());
        return {r, r + LUNMARK_RECORD_SIZE};
    }

    static bool zero(const std::vector<std::uint8_t> &r, std::size_t from, std::size_t to) {
        return std::all_of(r.begin() + static_cast<std::ptrdiff_t>(from),
                           r.begin() + static_cast<std::ptrdiff_t>(to),
                           [](std::uint8_t b) { return b == 0; });
    }
};

} // namespace

TEST_F(ModemExports, EepromReadFillsTheWholeDataArea) {
    fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf,
                                std::uint32_t) {
        std::uint8_t *rec = buf + wire::kFrameRecordOffset;
        wire::put_u32(rec + 4, 2);
        for (std::size_t i = 0; i < 10240; ++i)
            rec[8 + i] = static_cast<std::uint8_t>(i % 251);
    });
    std::vector<std::uint8_t> out(10240 + 4, 0xEE);
    ASSERT_EQ(ecom_read_eeprom(out.data(), 0x200, 10240), LUNMARK_OK);
    for (std::size_t i = 0; i < 10240; ++i)
        ASSERT_EQ(out[i], static_cast<std::uint8_t>(i % 251)) << i;
    EXPECT_EQ(out[10240], 0xEE); // nothing beyond the length
    const auto r = sent_record();
    ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
    EXPECT_EQ(wire::get_u32(r.data()), 2418u);
    EXPECT_EQ(wire::get_u32(r.data() + 10248), 0x200u);
    EXPECT_EQ(wire::get_u32(r.data() + 10252), 10240u);
}

TEST_F(ModemExports, OversizedOrNullArgumentsAreRefusedWithoutSending) {
    std::vector<std::uint8_t> buf(10241);
    EXPECT_EQ(ecom_read_eeprom(buf.data(), 0, 10241), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_write_eeprom(buf.data(), 0, 10241), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_misc_msg(buf.data(), 513), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_read_eeprom(nullptr, 0, 1), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_write_eeprom(nullptr, 0, 1), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_misc_msg(nullptr, 1), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_peek7(0, nullptr), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_peek9(0, nullptr), LUNMARK_ERR_REQUEST);
    EXPECT_TRUE(fake_w32n::calls(CallKind::Request).empty());
}

TEST_F(ModemExports, EveryCommandFailsWithoutAnAdapter) {
    ecom_disconnect();
    fake_w32n::set_adapters({});
    {
        lunmark::LibraryLock lock;
        lunmark::context().open(""); // nothing answers: the name is empty
    }
    std::uint32_t value = 0;
    std::uint8_t buf[16] = {};
    EXPECT_EQ(ecom_modem_peek7(1, &value), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_peek9(1, &value), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_poke7(1, 2), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_poke9(1, 2), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_modem_misc_msg(buf, sizeof buf), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_read_eeprom(buf, 0, sizeof buf), LUNMARK_ERR_REQUEST);
    EXPECT_EQ(ecom_write_eeprom(buf, 0, sizeof buf), LUNMARK_ERR_REQUEST);
}
