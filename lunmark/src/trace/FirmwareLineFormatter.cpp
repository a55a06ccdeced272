#include "trace/FirmwareLineFormatter.h"

#include <array>
#include <cstdint>
#include <span>

#include "trace/FirmwareMessageTable.h"
#include "trace/ModuleNameTable.h"
#include "trace/SafeFormatter.h"

namespace lunmark {

namespace {

void append_hex(std::string& out, std::uint32_t value, int digits)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i)
        out.push_back(kDigits[(value >> (4 * i)) & 0xFu]);
}

} // namespace

std::string FirmwareLineFormatter::key(const FirmwareMessage& message)
{
    std::string out;
    out.reserve(8);
    append_hex(out, message.param_count, 2);
    append_hex(out, message.module_tag, 2);
    append_hex(out, message.id, 4);
    return out;
}

std::string FirmwareLineFormatter::body(const FirmwareMessage& message,
                                        const FirmwareMessageTable& messages)
{
    const std::string k = key(message);
    const std::array<std::uint32_t, 2> params{message.param1, message.param2};
    const std::size_t count = message.param_count < 2 ? message.param_count : 2;
    if (const std::string* format = messages.find(k))
        return SafeFormatter::format(*format, std::span(params.data(), count), kBodyMax);

    std::string out = "Unknown resource string " + k;
    if (count >= 1) {
        out += "( " + std::to_string(static_cast<std::int32_t>(message.param1));
        if (count == 2)
            out += ", " + std::to_string(static_cast<std::int32_t>(message.param2));
        out += " )";
    }
    if (out.size() > kBodyMax)
        out.resize(kBodyMax);
    return out;
}

std::string FirmwareLineFormatter::line(const FirmwareMessage& message,
                                        const FirmwareMessageTable& messages,
                                        const ModuleNameTable& modules)
{
    const std::string* module = modules.find(message.module_tag);
    std::string out = "[";
    out += module != nullptr ? *module : std::string("Unknown");
    out += "] ";
    out += body(message, messages);
    out += " - (";
    append_hex(out, message.param_count >= 1 ? message.param1 : 0, 8);
    out += ")(0";
    append_hex(out, message.param_count >= 2 ? message.param2 : 0, 8);
    out += ")";
    return out;
}

} // namespace lunmark
