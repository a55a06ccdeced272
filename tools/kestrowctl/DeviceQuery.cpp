#include "DeviceQuery.h"

#include <chrono>
#include <memory>
#include <thread>

#include <VarCodes.h>

namespace kestrowctl {

using kestrow::CCommVar;

std::optional<std::string> ReadText(kestrow::OID_PAIR oids, kestrow::CONVERT_FN convert)
{
    std::string text;
    auto var = std::make_unique<CCommVar>(oids.read, oids.write, &text, convert);
    var->DriverRecv(false);
    if (!var->m_bValid)
        return std::nullopt;
    return text;
}

std::optional<std::string> ReadTexts(const kestrow::OID_PAIR *oids, int count, kestrow::CONVERT_FN convert)
{
    // A bound variable without a control reads itself at once.
    auto var = std::make_unique<CCommVar>(1, oids, count, nullptr, convert);
    if (!var->m_bValid || var->m_pData == nullptr)
        return std::nullopt;
    return *var->m_pData;
}

std::optional<kestrow::request_record> ReadRecord(kestrow::OID_PAIR oids)
{
    auto var = std::make_unique<CCommVar>(oids.read, oids.write, nullptr, nullptr);
    var->DriverRecv(false);
    if (!var->m_bValid)
        return std::nullopt;
    return var->m_Records[0];
}

bool AdapterAssociated()
{
    const auto record = ReadRecord(kestrow::VAR_CONNECTED);
    return record && record->u8(0) != 0;
}

bool WaitForAssociation(int timeoutSecs)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSecs);
    for (;;) {
        if (AdapterAssociated())
            return true;
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
}

} // namespace kestrowctl
