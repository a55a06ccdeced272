// A client process for the cross-process tests: opens one adapter by name
// through liblunmark and sends a run of commands, checking every answer.
//   lunmark_stress_client NAME COUNT
#include <lunmark/lunmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <unistd.h>

namespace {

std::uint32_t get_u32(const std::uint8_t *p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s NAME COUNT\n", argv[0]);
        return 2;
    }
    const long count = std::strtol(argv[2], nullptr, 10);
    if (ecom_connect(argv[1]) != LUNMARK_OK) {
        std::fprintf(stderr, "stress client: cannot open %s\n", argv[1]);
        return 1;
    }
    const std::uint32_t tag = static_cast<std::uint32_t>(::getpid());
    std::vector<std::uint8_t> record(LUNMARK_RECORD_SIZE);
    for (long i = 0; i < count; ++i) {
        std::memset(record.data(), 0, record.size());
        const std::uint32_t code = 0x30;
        const std::uint32_t mark = tag ^ static_cast<std::uint32_t>(i);
        std::memcpy(record.data(), &code, 4);
        std::memcpy(record.data() + 100, &mark, 4);
        if (ecom_exec_oid(record.data()) != LUNMARK_OK || get_u32(record.data() + 4) != 2 ||
            get_u32(record.data() + 100) != mark) {
            std::fprintf(stderr, "stress client: request %ld failed\n", i);
            return 1;
        }
        // A register write and read back, as one locked unit each.
        std::uint32_t value = 0;
        if (ecom_modem_poke7(tag, mark) != LUNMARK_OK ||
            ecom_modem_peek7(tag, &value) != LUNMARK_OK || value != mark) {
            std::fprintf(stderr, "stress client: register round trip %ld failed\n", i);
            return 1;
        }
    }
    ecom_disconnect();
    return 0;
}
