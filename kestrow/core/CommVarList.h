// CCommVarList: the communication variables that one piece of work needs,
// run in the order in which they were added as one batch.  The table owns
// its variables.  A page keeps one table for its bound controls; other work
// builds a temporary table without a parent, runs it and destroys it.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "CommVar.h"
#include "TextSink.h"

namespace kestrow {

class CCommVarList {
public:
    explicit CCommVarList(IControlParent *parent = nullptr);
    virtual ~CCommVarList();

    CCommVarList(const CCommVarList &) = delete;
    CCommVarList &operator=(const CCommVarList &) = delete;

    // Binds control `ctrlId` of the parent to a variable of one request; the
    // variable reads itself at once and shows its text.  Each Add* returns
    // the new variable, or null when the table is full (65536 variables).
    CCommVar *AddControl(int ctrlId, std::int32_t readOid, std::int32_t writeOid, CONVERT_FN convert);
    // As AddControl with `count` requests (at most COMMVAR_MAX_OIDS).
    CCommVar *AddControlMulti(int ctrlId, const OID_PAIR *oids, int count, CONVERT_FN convert);
    // A plain variable: not bound, not read at once.  A null `text` gives the
    // variable a string of its own; otherwise the caller's string receives
    // the converted value and must outlive the table.
    CCommVar *Add(std::int32_t readOid, std::int32_t writeOid, CONVERT_FN convert,
                  std::string *text);
    CCommVar *Add(OID_PAIR oids, CONVERT_FN convert, std::string *text)
    {
        return Add(oids.read, oids.write, convert, text);
    }

    // The variable under `key`, or null when the key is beyond the table.
    CCommVar *GetVar(int key) const;
    // Number of variables added since the last RemoveAll.
    int GetCount() const { return m_nNext; }

    // Runs every variable in key order: DriverSend when `write`, else
    // DriverRecv(updateControls).  Stops at the first variable that is not
    // valid afterwards and returns false; true when every variable ran valid
    // (an empty table included).
    bool Exec(bool write, bool updateControls);

    // Deletes every variable; the next one added gets key 0 again.
    void RemoveAll();

    IControlParent *m_pParent = nullptr;
    std::map<std::uint16_t, std::unique_ptr<CCommVar>> m_Vars;
    std::int32_t m_nNext = 0;

private:
    CCommVar *Store(std::unique_ptr<CCommVar> var);
    bool Full() const;
    ITextSink *FindControl(int ctrlId) const;
};

} // namespace kestrow
