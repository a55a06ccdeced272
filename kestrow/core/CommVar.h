// CCommVar: one device parameter, read or written through up to five
// requests that always go together.  Each request has its own
// request_record; a conversion function turns the records into the
// variable's text after a read and the text into the records before a write.
//
// A variable is large (five embedded records) and is always created on the
// heap; the communication variable table (CCommVarList) owns it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "RequestRecord.h"
#include "TextSink.h"

namespace kestrow {

// The read and the write command code of one request.
struct OID_PAIR {
    std::int32_t read;
    std::int32_t write;
};

inline constexpr int COMMVAR_MAX_OIDS = 5;

// Phase codes given to a conversion function.
inline constexpr std::int32_t CONVERT_AFTER_READ = 0;
inline constexpr std::int32_t CONVERT_BEFORE_WRITE = 1;
inline constexpr std::int32_t CONVERT_BEFORE_READ = 3;

// A conversion function receives the whole record array of the variable,
// whichever request is in progress, the variable's text and the phase.
using CONVERT_FN = void (*)(request_record *records, std::string *text, std::int32_t phase);

class CCommVar {
public:
    // Plain variable: not bound, not read at once.  `text` is the caller's
    // string, which must outlive the variable; null gives the variable an
    // empty string of its own.
    CCommVar(std::int32_t readOid, std::int32_t writeOid, std::string *text, CONVERT_FN convert);
    // Bound variable of one request: reads itself at once and shows its text
    // in `ctrl` (which may be null when the control was not found).
    CCommVar(int ctrlId, std::int32_t readOid, std::int32_t writeOid, ITextSink *ctrl,
             CONVERT_FN convert);
    // Bound variable of `count` requests copied from `oids`; a count beyond
    // COMMVAR_MAX_OIDS is cut to it, a negative one or a null array gives none.
    CCommVar(int ctrlId, const OID_PAIR *oids, int count, ITextSink *ctrl, CONVERT_FN convert);
    virtual ~CCommVar();

    CCommVar(const CCommVar &) = delete;
    CCommVar &operator=(const CCommVar &) = delete;

    // Reads every request in order and converts the answers; shows the text
    // in the bound control when `updateControl` is true.  Returns the text.
    std::string *DriverRecv(bool updateControl);
    // Converts the text and writes every request in order.
    void DriverSend();

    // Record `index`, or null when index is outside 0..COMMVAR_MAX_OIDS-1.
    request_record *GetRecord(int index);

    bool m_bValid = false;
    OID_PAIR m_Oids[COMMVAR_MAX_OIDS] = {};
    request_record m_Records[COMMVAR_MAX_OIDS];
    std::int32_t m_nCtrlId = 0;
    std::int32_t m_nCount = 0;
    std::string *m_pData = nullptr;
    bool m_bOwnData = false;
    CONVERT_FN m_pfnConvert = nullptr;
    ITextSink *m_pCtrl = nullptr;

private:
    // Makes sure the program is connected to the adapter; false when it
    // cannot be.
    static bool EnsureConnected();
    // Sends record `index` through the library; false when the call was
    // refused or threw.  `where` names the operation in the debug trace.
    bool Exec(int index, const char *where);

    std::unique_ptr<std::string> m_OwnedData;
};

} // namespace kestrow
