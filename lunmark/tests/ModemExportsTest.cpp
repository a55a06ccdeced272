// The register, message and EEPROM exports: the exact records they send and
// what they hand back.
#include "LunmarkFixture.h"

#include <functional>
#include <numeric>
#include <tuple>

namespace wire = lunmark_wire;

namespace {

class ModemExports : public LunmarkFixture {
protected:
    void SetUp() override {
        LunmarkFixture::SetUp();
        connect_a();
        // Register reads answer 0xCAFEF00D plus the selector; EEPROM reads
        // fill the whole data area.
        fake_w32n::set_responder([](const std::string &, std::uint32_t, std::uint8_t *buf, std::uint32_t) {
            std::uint8_t *rec = buf + wire::kFrameRecordOffset;
            wire::put_u32(rec + 4, 2);
            if (wire::get_u32(rec) == 2416)
                wire::put_u32(rec + 16, 0xCAFEF00Du + rec[8]);
            for (std::size_t i = 0; wire::get_u32(rec) == 2418 && i < 10240; ++i)
                rec[8 + i] = static_cast<std::uint8_t>(i % 251);
        });
    }
};

} // namespace

TEST_F(ModemExports, EachExportSendsItsRecordAndTakesItsAnswer) {
    std::uint32_t value = 0;
    std::vector<std::uint8_t> msg(512), data(10240, 0xAB), out(10240 + 4, 0xEE);
    std::iota(msg.begin(), msg.end(), std::uint8_t{1});
    auto with = [](std::vector<std::uint8_t> r, const std::vector<std::uint8_t> &area) {
        std::copy(area.begin(), area.end(), r.begin() + 8);
        return r;
    };
    // Each export's call and the record it sends.
    const std::vector<std::tuple<const char *, std::function<int()>, std::vector<std::uint8_t>>> cases = {
        {"peek7", [&] { return ecom_modem_peek7(0x00012345u, &value); },
         record(2416, {{8, 7}, {12, 0x00012345u}})},
        {"peek9", [&] { return ecom_modem_peek9(0x00012345u, &value); },
         record(2416, {{8, 9}, {12, 0x00012345u}})},
        {"poke7", [] { return ecom_modem_poke7(0xA0u, 0x89ABCDEFu); },
         record(2417, {{8, 7}, {12, 0xA0u}, {16, 0x89ABCDEFu}})},
        {"poke9", [] { return ecom_modem_poke9(0xA0u, 0x89ABCDEFu); },
         record(2417, {{8, 9}, {12, 0xA0u}, {16, 0x89ABCDEFu}})},
        {"misc message", [&] { return ecom_modem_misc_msg(msg.data(), 512); },
         with(record(2420, {{520, 512}}), msg)},
        {"empty EEPROM write", [] { return ecom_write_eeprom(nullptr, 0x40, 0); },
         record(2419, {{10248, 0x40}})},
        {"EEPROM write", [&] { return ecom_write_eeprom(data.data(), 0x1000, 10240); },
         with(record(2419, {{10248, 0x1000}, {10252, 10240}}), data)},
        {"EEPROM read", [&] { return ecom_read_eeprom(out.data(), 0x200, 10240); },
         record(2418, {{10248, 0x200}, {10252, 10240}})},
    };
    for (const auto &[what, call, sent] : cases) {
        fake_w32n::clear_calls();
        ASSERT_EQ(call(), LUNMARK_OK) << what;
        const auto requests = fake_w32n::requests();
        ASSERT_EQ(requests.size(), 1u) << what;
        EXPECT_TRUE(std::equal(sent.begin(), sent.end(), requests[0].bytes.begin() + wire::kFrameRecordOffset))
            << what;
        if (wire::get_u32(sent.data()) == 2416) { // the register's value is handed back
            EXPECT_EQ(value, 0xCAFEF00Du + sent[8]) << what;
        }
    }
    for (std::size_t i = 0; i < 10240; ++i)
        ASSERT_EQ(out[i], static_cast<std::uint8_t>(i % 251)) << i;
    EXPECT_EQ(out[10240], 0xEE); // nothing beyond the length

    // Without an adapter every one of them fails.
    fake_w32n::set_adapters({});
    ASSERT_EQ(ecom_connect("SEARCH"), LUNMARK_ERR_CONNECT);
    for (const auto &[what, call, sent] : cases)
        EXPECT_EQ(call(), LUNMARK_ERR_REQUEST) << what;
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
    EXPECT_TRUE(fake_w32n::requests().empty());
}
