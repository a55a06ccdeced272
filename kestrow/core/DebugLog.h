// The program's debug log: the trace lines that the original wrote to the
// debugger ("\nEnter CS_MAIN", "DriverRecv Exception Occured", ...).
//
// Lines go to standard error only when the environment variable
// KESTROW_DEBUG is set (to anything), and to the capture hook when one is
// installed.  Never to standard output.  Safe to call from any thread.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kestrow {

// Receives every trace text exactly as written (no line ending added).
using DebugLogHook = std::function<void(std::string_view)>;

// Writes `text` unchanged.  Text from outside the program goes through here,
// never through DebugTrace's format.
void DebugWrite(std::string_view text);

// Formats with a fixed printf format (checked by the compiler) and writes it.
void DebugTrace(const char *format, ...) __attribute__((format(printf, 1, 2)));

// Installs a capture hook (an empty function removes it); returns the
// previous one.  The hook is called with the log's lock held, so it must not
// write to the debug log itself.
DebugLogHook SetDebugLogHook(DebugLogHook hook);

// True when KESTROW_DEBUG was set when the log was first used.
bool DebugLogToStderr();

} // namespace kestrow
