#include "CommVarList.h"

#include <limits>

#include "DebugLog.h"

namespace kestrow {

namespace {
constexpr std::int32_t kMaxVars = std::numeric_limits<std::uint16_t>::max() + 1;
} // namespace

CCommVarList::CCommVarList(IControlParent *parent) : m_pParent(parent) {}

CCommVarList::~CCommVarList()
{
    RemoveAll();
}

bool CCommVarList::Full() const
{
    if (m_nNext < kMaxVars)
        return false;
    DebugWrite("\nCCommVarList: table full, variable not added");
    return true;
}

ITextSink *CCommVarList::FindControl(int ctrlId) const
{
    return m_pParent != nullptr ? m_pParent->FindControl(ctrlId) : nullptr;
}

CCommVar *CCommVarList::Store(std::unique_ptr<CCommVar> var)
{
    CCommVar *raw = var.get();
    m_Vars[static_cast<std::uint16_t>(m_nNext)] = std::move(var);
    ++m_nNext;
    return raw;
}

CCommVar *CCommVarList::AddControl(int ctrlId, std::int32_t readOid, std::int32_t writeOid,
                                   CONVERT_FN convert)
{
    if (Full())
        return nullptr;
    return Store(std::make_unique<CCommVar>(ctrlId, readOid, writeOid, FindControl(ctrlId), convert));
}

CCommVar *CCommVarList::AddControlMulti(int ctrlId, const OID_PAIR *oids, int count, CONVERT_FN convert)
{
    if (Full())
        return nullptr;
    return Store(std::make_unique<CCommVar>(ctrlId, oids, count, FindControl(ctrlId), convert));
}

CCommVar *CCommVarList::Add(std::int32_t readOid, std::int32_t writeOid, CONVERT_FN convert,
                            std::string *text)
{
    if (Full())
        return nullptr;
    return Store(std::make_unique<CCommVar>(readOid, writeOid, text, convert));
}

CCommVar *CCommVarList::GetVar(int key) const
{
    if (key < 0 || key + 1 > m_nNext)
        return nullptr;
    auto it = m_Vars.find(static_cast<std::uint16_t>(key));
    if (it == m_Vars.end()) {
        DebugTrace("\nCCommVarList: no variable under key %d", key);
        return nullptr;
    }
    return it->second.get();
}

bool CCommVarList::Exec(bool write, bool updateControls)
{
    bool ok = true;
    for (std::int32_t k = 0; k < m_nNext; ++k) {
        auto it = m_Vars.find(static_cast<std::uint16_t>(k));
        if (it == m_Vars.end() || !it->second)
            continue;
        CCommVar &var = *it->second;
        if (write)
            var.DriverSend();
        else
            var.DriverRecv(updateControls);
        ok = ok && var.m_bValid;
        if (!ok)
            break;
    }
    return ok;
}

void CCommVarList::RemoveAll()
{
    m_Vars.clear();
    m_nNext = 0;
}

} // namespace kestrow
