// One firmware debug message as it comes out of the raw trace stream.
#pragma once

#include <cstdint>

namespace lunmark {

struct FirmwareMessage {
    std::uint16_t id = 0;
    std::uint8_t module_tag = 0;
    std::uint8_t param_count = 0; // 0 to 2
    std::uint32_t param1 = 0;     // 0 when not carried
    std::uint32_t param2 = 0;     // 0 when not carried
};

} // namespace lunmark
