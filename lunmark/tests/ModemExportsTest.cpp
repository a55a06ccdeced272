// The register, message and EEPROM exports: the exact records they send and
// what they hand back.
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

// Answers a register read with `value` at offset 16 of the record.
void answer_register(std::uint32_t value) {
    fake_w32n::set_responder([value](const std::string &, std::uint32_t, std::uint8_t *buf,
                                     std::uint32_t) {
        wire::put_u32(buf + wire::kFrameRecordOffset + 4, 2);
        wire::put_u32(buf + wire::kFrameRecordOffset + 16, value);
    });
}

} // namespace

TEST_F(ModemExports, RegisterReadsCarrySelectorAndAddress) {
    for (std::uint8_t selector : {7, 9}) {
        fake_w32n::clear_calls();
        answer_register(0xCAFEF00Du + selector);
        std::uint32_t value = 0;
        const int rc = selector == 7 ? ecom_modem_peek7(0x00012345u, &value)
                                     : ecom_modem_peek9(0x00012345u, &value);
        ASSERT_EQ(rc, LUNMARK_OK);
        EXPECT_EQ(value, 0xCAFEF00Du + selector);
        const auto r = sent_record();
        ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
        EXPECT_EQ(wire::get_u32(r.data()), 2416u);
        EXPECT_EQ(r[8], selector);
        EXPECT_TRUE(zero(r, 9, 12));
        EXPECT_EQ(wire::get_u32(r.data() + 12), 0x00012345u);
        EXPECT_TRUE(zero(r, 16, r.size()));
    }
}

TEST_F(ModemExports, RegisterWritesCarrySelectorAddressAndValue) {
    for (std::uint8_t selector : {7, 9}) {
        fake_w32n::clear_calls();
        const int rc = selector == 7 ? ecom_modem_poke7(0xA0u, 0x89ABCDEFu)
                                     : ecom_modem_poke9(0xA0u, 0x89ABCDEFu);
        ASSERT_EQ(rc, LUNMARK_OK);
        const auto r = sent_record();
        ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
        EXPECT_EQ(wire::get_u32(r.data()), 2417u);
        EXPECT_EQ(r[8], selector);
        EXPECT_EQ(wire::get_u32(r.data() + 12), 0xA0u);
        EXPECT_EQ(wire::get_u32(r.data() + 16), 0x89ABCDEFu);
        EXPECT_TRUE(zero(r, 20, r.size()));
    }
}

TEST_F(ModemExports, MiscMessageFillsItsAreaAndLength) {
    std::vector<std::uint8_t> msg(512);
    std::iota(msg.begin(), msg.end(), std::uint8_t{1});
    ASSERT_EQ(ecom_modem_misc_msg(msg.data(), 512), LUNMARK_OK);
    const auto r = sent_record();
    ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
    EXPECT_EQ(wire::get_u32(r.data()), 2420u);
    EXPECT_TRUE(std::equal(msg.begin(), msg.end(), r.begin() + 8));
    EXPECT_EQ(wire::get_u32(r.data() + 520), 512u);
    EXPECT_TRUE(zero(r, 524, r.size()));
}

TEST_F(ModemExports, EepromWriteCarriesDataOffsetAndLength) {
    ASSERT_EQ(ecom_write_eeprom(nullptr, 0x40, 0), LUNMARK_OK);
    auto r = sent_record();
    ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
    EXPECT_EQ(wire::get_u32(r.data()), 2419u);
    EXPECT_TRUE(zero(r, 8, 10248));
    EXPECT_EQ(wire::get_u32(r.data() + 10248), 0x40u);
    EXPECT_EQ(wire::get_u32(r.data() + 10252), 0u);

    fake_w32n::clear_calls();
    std::vector<std::uint8_t> data(10240, 0xAB);
    ASSERT_EQ(ecom_write_eeprom(data.data(), 0x1000, 10240), LUNMARK_OK);
    r = sent_record();
    ASSERT_EQ(r.size(), LUNMARK_RECORD_SIZE);
    EXPECT_TRUE(std::equal(data.begin(), data.end(), r.begin() + 8));
    EXPECT_EQ(wire::get_u32(r.data() + 10248), 0x1000u);
    EXPECT_EQ(wire::get_u32(r.data() + 10252), 10240u);
}

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
