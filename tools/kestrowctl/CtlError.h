// CCtlError: how a command of kestrowctl ends with an error.  It carries the
// exit code (1 a failed operation, 2 bad usage) and the one line that goes
// to stderr.
#pragma once

#include <stdexcept>
#include <string>

namespace kestrowctl {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

class CCtlError : public std::runtime_error {
public:
    CCtlError(int exitCode, const std::string &message) : std::runtime_error(message), m_nExit(exitCode) {}
    int ExitCode() const { return m_nExit; }

private:
    int m_nExit;
};

// Bad usage: exit code 2.
inline CCtlError UsageError(const std::string &message)
{
    return CCtlError(kExitUsage, message);
}

// A failed operation: exit code 1.
inline CCtlError Failure(const std::string &message)
{
    return CCtlError(kExitFailed, message);
}

} // namespace kestrowctl
