#include "FakeDevice.h"

#include <algorithm>
#include <stdexcept>

namespace kestrow::test {

namespace {
FakeDevice *g_fake = nullptr;
} // namespace

FakeDevice::FakeDevice() : ops_{&OnConnect, &OnDisconnect, &OnExec}
{
    g_fake = this;
    previous_ = InstallDeviceOps(&ops_);
}

FakeDevice::~FakeDevice()
{
    InstallDeviceOps(previous_);
    g_fake = nullptr;
}

std::vector<std::uint32_t> FakeDevice::ExecCodes() const
{
    std::vector<std::uint32_t> codes;
    for (const FakeCall &c : execs_)
        codes.push_back(c.command);
    return codes;
}

int FakeDevice::OnConnect(const char *name)
{
    g_fake->connects_.push_back(name ? name : "");
    return g_fake->connect_result;
}

int FakeDevice::OnExec(void *raw)
{
    auto *record = static_cast<request_record *>(raw);
    const std::uint32_t code = record->command();
    g_fake->execs_.push_back(FakeCall{code, std::vector<std::uint8_t>(record->data(), record->data() + 64)});
    const auto it = g_fake->replies_.find(code);
    const Reply reply = it == g_fake->replies_.end() ? Reply{0, {}, kStatusDone} : it->second;
    if (reply.result == kThrows)
        throw std::runtime_error("library fault");
    if (reply.result == 0) {
        std::copy_n(reply.data.begin(), std::min(reply.data.size(), kRecordDataSize), record->data());
        record->set_status(reply.status);
    }
    return reply.result;
}

} // namespace kestrow::test
