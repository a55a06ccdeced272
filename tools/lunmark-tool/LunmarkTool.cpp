// lunmark-tool: a command-line front end to liblunmark's exports.
#include "TraceCommand.h"

#include <lunmark/lunmark.h>
#include <lunmark_wire/command_frame.h>
#include <lunmark_wire/socket_protocol.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace wire = lunmark_wire;

namespace {

constexpr const char *kUsage =
    "usage: lunmark-tool [--adapter NAME] COMMAND [ARGS]\n"
    "commands:\n"
    "  adapters                       list the installed adapters\n"
    "  probe                          send the probe to each adapter (or to NAME)\n"
    "  exec CODE [DATA-HEX]           send one command record, print the answer\n"
    "  peek7 ADDR | peek9 ADDR        read a modem register\n"
    "  poke7 ADDR VALUE | poke9 ADDR VALUE\n"
    "                                 write a modem register\n"
    "  eeprom-read OFFSET LENGTH FILE read EEPROM bytes into FILE\n"
    "  eeprom-write OFFSET FILE       write the bytes of FILE to the EEPROM\n"
    "  trace ...                      firmware and modem tracing\n"
    "Without --adapter the first adapter that answers the probe is used.\n"
    "A command the driver does not carry out (completion status other than 2)\n"
    "is reported with its status and ends with exit status 1.\n"
    "Numbers are decimal or 0x-prefixed hexadecimal.\n";

int fail(const std::string &message) {
    std::fprintf(stderr, "lunmark-tool: %s\n", message.c_str());
    return 1;
}

int usage_error(const std::string &message) {
    std::fprintf(stderr, "lunmark-tool: %s\n%s", message.c_str(), kUsage);
    return 2;
}

std::optional<std::uint32_t> parse_u32(const std::string &text) {
    int base = 10;
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
        base = 16;
        digits = digits.substr(2);
    }
    if (digits.empty() || digits.find_first_not_of(base == 16 ? "0123456789abcdefABCDEF"
                                                              : "0123456789") !=
                              std::string::npos)
        return std::nullopt;
    errno = 0;
    const unsigned long long v = std::strtoull(digits.c_str(), nullptr, base);
    if (errno != 0 || v > 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

std::optional<std::vector<std::uint8_t>> parse_hex(const std::string &text) {
    if (text.size() % 2 != 0)
        return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto byte = parse_u32("0x" + text.substr(i, 2));
        if (!byte)
            return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(*byte));
    }
    return out;
}

std::string result_text(int rc) {
    return rc == LUNMARK_ERR_REQUEST ? "the request failed (21)"
                                     : "the request failed (" + std::to_string(rc) + ")";
}

std::string status_text(std::uint32_t status) {
    return "the driver did not carry out the command (status " + std::to_string(status) + ")";
}

// A register or EEPROM command record.  The ecom_modem_* and ecom_*_eeprom
// exports answer 0 whenever the driver answered, also when it refused the
// command (the library's contract), so the tool lays the record out itself
// and sends it through ecom_exec_oid, which leaves the driver's completion
// status in the record.
struct Command {
    std::vector<std::uint8_t> record = std::vector<std::uint8_t>(LUNMARK_RECORD_SIZE);
    explicit Command(std::uint32_t code) { wire::put_u32(record.data(), code); }
    std::uint8_t *at(std::size_t offset) { return record.data() + offset; }

    // 0 when the driver carried the command out; otherwise says why not
    // and gives the exit code.
    int send() {
        const int rc = ecom_exec_oid(record.data());
        if (rc != LUNMARK_OK)
            return fail(result_text(rc));
        const std::uint32_t status = wire::get_u32(at(wire::kRecordStatusOffset));
        return status == LUNMARK_STATUS_DONE ? 0 : fail(status_text(status));
    }
};

Command register_command(std::uint32_t code, int bank, std::uint32_t address) {
    Command c(code);
    *c.at(wire::kRecordBankOffset) = static_cast<std::uint8_t>(bank);
    wire::put_u32(c.at(wire::kRecordAddressOffset), address);
    return c;
}

Command eeprom_command(std::uint32_t code, std::uint32_t offset, std::uint32_t length) {
    Command c(code);
    wire::put_u32(c.at(wire::kRecordEepromOffsetOffset), offset);
    wire::put_u32(c.at(wire::kRecordEepromLengthOffset), length);
    return c;
}

// Opens the adapter the options name, or searches.
bool connect(const std::optional<std::string> &adapter) {
    if (ecom_connect(adapter ? adapter->c_str() : "SEARCH") == LUNMARK_OK)
        return true;
    if (adapter)
        fail("cannot open adapter \"" + *adapter + "\" in " + wire::adapter_dir());
    else
        fail("no adapter in " + wire::adapter_dir() + " answers the probe");
    return false;
}

std::vector<std::string> adapter_names() {
    std::vector<std::string> names;
    for (std::uint32_t i = 0; i < 4096; ++i) {
        const char *name = ecom_get_connection(i);
        if (name == nullptr)
            break;
        names.emplace_back(name);
    }
    return names;
}

int cmd_adapters() {
    const auto names = adapter_names();
    if (names.empty())
        return fail("no adapters found in " + wire::adapter_dir());
    for (const std::string &n : names)
        std::printf("%s\n", n.c_str());
    return 0;
}

// Sends the probe record over the open adapter; the driver's status word.
std::optional<std::uint32_t> send_probe() {
    std::vector<std::uint8_t> record(LUNMARK_RECORD_SIZE);
    wire::put_u32(record.data(), LUNMARK_CMD_PROBE);
    if (ecom_exec_oid(record.data()) != LUNMARK_OK)
        return std::nullopt;
    return wire::get_u32(record.data() + 4);
}

int cmd_probe(const std::optional<std::string> &adapter) {
    const std::vector<std::string> names = adapter ? std::vector<std::string>{*adapter}
                                                   : adapter_names();
    if (names.empty())
        return fail("no adapters found in " + wire::adapter_dir());
    int answered = 0;
    for (const std::string &name : names) {
        std::optional<std::uint32_t> status;
        if (ecom_connect(name.c_str()) == LUNMARK_OK)
            status = send_probe();
        if (status) {
            ++answered;
            std::printf("%s: answers the probe (status %u)\n", name.c_str(), *status);
        } else {
            std::printf("%s: no answer\n", name.c_str());
        }
        ecom_disconnect();
    }
    if (answered == 0)
        return fail("no adapter answers the probe");
    return 0;
}

void print_hex(const std::uint8_t *data, std::size_t length) {
    for (std::size_t i = 0; i < length; i += 16) {
        std::printf("%05zx:", i);
        for (std::size_t j = i; j < i + 16 && j < length; ++j)
            std::printf(" %02x", data[j]);
        std::printf("\n");
    }
}

int cmd_exec(const std::vector<std::string> &args, const std::optional<std::string> &adapter) {
    if (args.empty() || args.size() > 2)
        return usage_error("exec takes CODE and optional DATA-HEX");
    const auto code = parse_u32(args[0]);
    if (!code)
        return usage_error("invalid command code \"" + args[0] + "\"");
    std::vector<std::uint8_t> data;
    if (args.size() == 2) {
        auto parsed = parse_hex(args[1]);
        if (!parsed)
            return usage_error("DATA-HEX must be an even number of hexadecimal digits");
        if (parsed->size() > LUNMARK_RECORD_DATA_SIZE)
            return usage_error("DATA-HEX is longer than " +
                               std::to_string(LUNMARK_RECORD_DATA_SIZE) + " bytes");
        data = std::move(*parsed);
    }
    if (!connect(adapter))
        return 1;
    std::vector<std::uint8_t> record(LUNMARK_RECORD_SIZE);
    wire::put_u32(record.data(), *code);
    std::copy(data.begin(), data.end(), record.begin() + LUNMARK_RECORD_DATA_OFFSET);
    const int rc = ecom_exec_oid(record.data());
    if (rc != LUNMARK_OK)
        return fail(result_text(rc));
    const std::uint32_t status = wire::get_u32(record.data() + 4);
    // The answer up to its last non-zero byte, and at least what was sent.
    const std::uint8_t *answer = record.data() + LUNMARK_RECORD_DATA_OFFSET;
    std::size_t shown = LUNMARK_RECORD_DATA_SIZE;
    while (shown > data.size() && answer[shown - 1] == 0)
        --shown;
    std::printf("command 0x%08x status %u\n", *code, status);
    if (shown == 0)
        std::printf("data: all zero\n");
    else
        print_hex(answer, shown);
    if (status != LUNMARK_STATUS_DONE)
        return fail(status_text(status));
    return 0;
}

int cmd_peek(int selector, const std::vector<std::string> &args,
             const std::optional<std::string> &adapter) {
    if (args.size() != 1)
        return usage_error("peek takes ADDR");
    const auto address = parse_u32(args[0]);
    if (!address)
        return usage_error("invalid address \"" + args[0] + "\"");
    if (!connect(adapter))
        return 1;
    Command c = register_command(LUNMARK_CMD_MODEM_READ, selector, *address);
    if (const int rc = c.send())
        return rc;
    std::printf("0x%08x\n", wire::get_u32(c.at(wire::kRecordValueOffset)));
    return 0;
}

int cmd_poke(int selector, const std::vector<std::string> &args,
             const std::optional<std::string> &adapter) {
    if (args.size() != 2)
        return usage_error("poke takes ADDR VALUE");
    const auto address = parse_u32(args[0]);
    const auto value = parse_u32(args[1]);
    if (!address)
        return usage_error("invalid address \"" + args[0] + "\"");
    if (!value)
        return usage_error("invalid value \"" + args[1] + "\"");
    if (!connect(adapter))
        return 1;
    Command c = register_command(LUNMARK_CMD_MODEM_WRITE, selector, *address);
    wire::put_u32(c.at(wire::kRecordValueOffset), *value);
    return c.send();
}

int cmd_eeprom_read(const std::vector<std::string> &args,
                    const std::optional<std::string> &adapter) {
    if (args.size() != 3)
        return usage_error("eeprom-read takes OFFSET LENGTH FILE");
    const auto offset = parse_u32(args[0]);
    const auto length = parse_u32(args[1]);
    if (!offset)
        return usage_error("invalid offset \"" + args[0] + "\"");
    if (!length || *length > LUNMARK_EEPROM_MAX)
        return usage_error("LENGTH must be a number from 0 to " +
                           std::to_string(LUNMARK_EEPROM_MAX));
    if (!connect(adapter))
        return 1;
    Command c = eeprom_command(LUNMARK_CMD_EEPROM_READ, *offset, *length);
    if (const int rc = c.send())
        return rc;
    std::ofstream out(args[2], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(c.at(LUNMARK_RECORD_DATA_OFFSET)),
              static_cast<std::streamsize>(*length));
    out.close();
    if (!out)
        return fail("cannot write " + args[2] + ": " + std::strerror(errno));
    return 0;
}

int cmd_eeprom_write(const std::vector<std::string> &args,
                     const std::optional<std::string> &adapter) {
    if (args.size() != 2)
        return usage_error("eeprom-write takes OFFSET FILE");
    const auto offset = parse_u32(args[0]);
    if (!offset)
        return usage_error("invalid offset \"" + args[0] + "\"");
    std::ifstream in(args[1], std::ios::binary);
    if (!in)
        return fail("cannot read " + args[1] + ": " + std::strerror(errno));
    std::vector<std::uint8_t> data;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        data.insert(data.end(), buf, buf + in.gcount());
        if (data.size() > LUNMARK_EEPROM_MAX)
            return fail(args[1] + " is longer than " + std::to_string(LUNMARK_EEPROM_MAX) +
                        " bytes");
    }
    if (in.bad())
        return fail("cannot read " + args[1]);
    if (!connect(adapter))
        return 1;
    Command c = eeprom_command(LUNMARK_CMD_EEPROM_WRITE, *offset,
                               static_cast<std::uint32_t>(data.size()));
    std::copy(data.begin(), data.end(), c.at(LUNMARK_RECORD_DATA_OFFSET));
    return c.send();
}

} // namespace

int main(int argc, char **argv) {
    std::optional<std::string> adapter;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--adapter") {
            if (i + 1 >= argc)
                return usage_error("--adapter needs a NAME");
            adapter = argv[++i];
        } else if (a.rfind("--adapter=", 0) == 0) {
            adapter = a.substr(10);
        } else if (a == "--help" || a == "-h") {
            std::printf("%s", kUsage);
            return 0;
        } else {
            break;
        }
    }
    if (adapter && adapter->empty())
        return usage_error("--adapter needs a NAME");
    if (i >= argc)
        return usage_error("no command given");
    const std::string command = argv[i];
    if (command == "trace") {
        // The trace command parses its own options; hand it a global
        // --adapter as if it had been given after the command.
        std::vector<char *> trace_argv(argv + i, argv + argc);
        std::string adapter_option = "--adapter";
        if (adapter) {
            trace_argv.insert(trace_argv.begin() + 1, adapter->data());
            trace_argv.insert(trace_argv.begin() + 1, adapter_option.data());
        }
        trace_argv.push_back(nullptr);
        return run_trace_command(int(trace_argv.size()) - 1, trace_argv.data());
    }
    const std::vector<std::string> args(argv + i + 1, argv + argc);

    int rc;
    if (command == "adapters")
        rc = args.empty() ? cmd_adapters() : usage_error("adapters takes no arguments");
    else if (command == "probe")
        rc = args.empty() ? cmd_probe(adapter) : usage_error("probe takes no arguments");
    else if (command == "exec")
        rc = cmd_exec(args, adapter);
    else if (command == "peek7" || command == "peek9")
        rc = cmd_peek(command == "peek7" ? 7 : 9, args, adapter);
    else if (command == "poke7" || command == "poke9")
        rc = cmd_poke(command == "poke7" ? 7 : 9, args, adapter);
    else if (command == "eeprom-read")
        rc = cmd_eeprom_read(args, adapter);
    else if (command == "eeprom-write")
        rc = cmd_eeprom_write(args, adapter);
    else
        rc = usage_error("unknown command \"" + command + "\"");
    ecom_disconnect();
    return rc;
}
