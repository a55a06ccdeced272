// FirmwareLineFormatter: turns a firmware message into its text line with
// the message formats and the module names.
#pragma once

#include <cstddef>
#include <string>

#include "trace/FirmwareMessage.h"

namespace lunmark {

class FirmwareMessageTable;
class ModuleNameTable;

class FirmwareLineFormatter {
public:
    // The message body is cut to this many characters.
    static constexpr std::size_t kBodyMax = 511;

    // "%.02x%.02x%.04x" of parameter count, module tag and message id.
    static std::string key(const FirmwareMessage& message);
    // The stored format rendered with the message's own parameters, or the
    // "Unknown resource string" text when the key is not in the table.
    static std::string body(const FirmwareMessage& message, const FirmwareMessageTable& messages);
    // "[module] body - (p1)(0p2)" with p1 and p2 as 8 hexadecimal digits.
    static std::string line(const FirmwareMessage& message, const FirmwareMessageTable& messages,
                            const ModuleNameTable& modules);
};

} // namespace lunmark
