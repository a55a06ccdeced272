// A recording fake of the device library for kestrow/core tests: installs
// itself as the device operations while it lives, answers requests by
// command code and logs every call.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "DeviceOps.h"
#include "RequestRecord.h"

namespace kestrow::test {

// A request the device library was given.
struct FakeCall {
    std::uint32_t command = 0;        // command code sent
    std::vector<std::uint8_t> data;   // first 64 bytes of command data sent
};

class FakeDevice {
public:
    FakeDevice();
    ~FakeDevice();
    FakeDevice(const FakeDevice &) = delete;
    FakeDevice &operator=(const FakeDevice &) = delete;

    // What a request with `code` gets: its command data starts with `data`
    // and its status word becomes `status`.  Codes without an answer come
    // back with status 2 and their data untouched.
    void Answer(std::uint32_t code, std::vector<std::uint8_t> data, std::uint32_t status = 2)
    {
        replies_[code] = Reply{0, std::move(data), status};
    }
    void Refuse(std::uint32_t code) { replies_[code] = Reply{21, {}, 2}; }  // the library returns 21
    void Throw(std::uint32_t code) { replies_[code] = Reply{kThrows, {}, 2}; }  // the call throws

    // The requests sent, just their command codes, and the names given to
    // each connect.
    const std::vector<FakeCall> &Execs() const { return execs_; }
    std::vector<std::uint32_t> ExecCodes() const;
    const std::vector<std::string> &Connects() const { return connects_; }
    void ClearCalls()
    {
        execs_.clear();
        connects_.clear();
    }

    int connect_result = 0;

private:
    static constexpr int kThrows = -1;
    struct Reply {
        int result;  // what the library returns, or kThrows
        std::vector<std::uint8_t> data;
        std::uint32_t status;
    };
    static int OnConnect(const char *name);
    static int OnDisconnect() { return 0; }
    static int OnExec(void *record);

    std::map<std::uint32_t, Reply> replies_;
    std::vector<FakeCall> execs_;
    std::vector<std::string> connects_;
    DeviceOps ops_;
    const DeviceOps *previous_ = nullptr;
};

} // namespace kestrow::test
