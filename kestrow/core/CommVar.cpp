#include "CommVar.h"

#include <algorithm>
#include <exception>

#include "DebugLog.h"
#include "DeviceOps.h"
#include "KestrowApp.h"

namespace kestrow {

CCommVar::CCommVar(std::int32_t readOid, std::int32_t writeOid, std::string *text, CONVERT_FN convert)
    : m_nCount(1), m_pfnConvert(convert)
{
    m_Oids[0] = OID_PAIR{readOid, writeOid};
    if (text != nullptr) {
        m_pData = text;
    } else {
        m_OwnedData = std::make_unique<std::string>();
        m_pData = m_OwnedData.get();
        m_bOwnData = true;
    }
}

CCommVar::CCommVar(int ctrlId, std::int32_t readOid, std::int32_t writeOid, ITextSink *ctrl,
                   CONVERT_FN convert)
    : CCommVar(ctrlId, nullptr, 0, ctrl, convert)
{
    m_nCount = 1;
    m_Oids[0] = OID_PAIR{readOid, writeOid};
    DriverRecv(true);
}

CCommVar::CCommVar(int ctrlId, const OID_PAIR *oids, int count, ITextSink *ctrl, CONVERT_FN convert)
    : m_nCtrlId(ctrlId), m_pfnConvert(convert), m_pCtrl(ctrl),
      m_OwnedData(std::make_unique<std::string>())
{
    m_pData = m_OwnedData.get();
    m_bOwnData = true;
    if (oids != nullptr && count > 0) {
        m_nCount = std::min(count, COMMVAR_MAX_OIDS);
        std::copy(oids, oids + m_nCount, m_Oids);
        DriverRecv(true);
    }
}

CCommVar::~CCommVar() = default;

request_record *CCommVar::GetRecord(int index)
{
    if (index < 0 || index >= COMMVAR_MAX_OIDS)
        return nullptr;
    return &m_Records[index];
}

bool CCommVar::EnsureConnected()
{
    CKestrowApp &app = theApp();
    if (app.DriverConnected())
        return true;
    return app.ConnectDriver();
}

bool CCommVar::Exec(int index, const char *where)
{
    int result = 0;
    try {
        result = CurrentDeviceOps().exec_oid(&m_Records[index]);
    } catch (...) {
        // The library never throws across its C interface, but a fault in
        // it must not take the program down: treat it as a refused request.
        DebugTrace("%s Exception Occured", where);
        return false;
    }
    return result == 0;
}

std::string *CCommVar::DriverRecv(bool updateControl)
{
    if (!EnsureConnected()) {
        m_bValid = false;
        return m_pData;
    }
    m_bValid = true;
    for (int i = 0; i < m_nCount; ++i) {
        if (m_pfnConvert != nullptr)
            m_pfnConvert(m_Records, m_pData, CONVERT_BEFORE_READ);
        m_Records[i].set_command(static_cast<std::uint32_t>(m_Oids[i].read));
        if (!Exec(i, "DriverRecv")) {
            m_bValid = false;
            return m_pData;
        }
        m_bValid = m_bValid && m_Records[i].status() == kStatusDone;
        if (m_pfnConvert != nullptr)
            m_pfnConvert(m_Records, m_pData, CONVERT_AFTER_READ);
    }
    if (updateControl && m_nCtrlId != 0 && m_pCtrl != nullptr)
        m_pCtrl->SetText(*m_pData);
    return m_pData;
}

void CCommVar::DriverSend()
{
    if (!EnsureConnected()) {
        m_bValid = false;
        return;
    }
    m_bValid = true;
    for (int i = 0; i < m_nCount; ++i) {
        m_Records[i].set_command(static_cast<std::uint32_t>(m_Oids[i].write));
        if (m_pfnConvert != nullptr)
            m_pfnConvert(m_Records, m_pData, CONVERT_BEFORE_WRITE);
        if (!Exec(i, "DriverSend")) {
            m_bValid = false;
            return;
        }
        m_bValid = m_bValid && m_Records[i].status() == kStatusDone;
    }
}

} // namespace kestrow
