// The system's message texts for Win32 error codes, worded as Windows
// words them ("The system cannot find the file specified.").  The texts
// carry no trailing line break.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The text for `code`; an unknown code gives "Unknown error <code>.".
std::string system_message(std::uint32_t code);

// Whether the table has a text of its own for `code`.
bool has_system_message(std::uint32_t code);

} // namespace platform
