// CStatusReader: reads the status snapshot from the adapter.  It keeps one
// table of communication variables per page, bound to captured texts, made
// (and read once) when the reader is made, and runs them on every read in
// the pages' order of requests; a variable that cannot be read stops its
// table and leaves its text and those after it as they were.
//
// The caller holds the main lock (the station list and the store are read)
// and runs it where device work may run.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "OpResult.h"
#include "StatusSnapshot.h"
#include "TextSink.h"

namespace kestrow {

class CCommVar;
class CCommVarList;
class CKestrowApp;

class CStatusReader : private IControlParent {
public:
    explicit CStatusReader(CKestrowApp &app);
    ~CStatusReader() override;
    CStatusReader(const CStatusReader &) = delete;
    CStatusReader &operator=(const CStatusReader &) = delete;

    // The parts of the snapshot each page shows.
    void ReadGeneral(CStatusSnapshot &s);
    // False when nothing changed: connected, but the station list has not
    // found the connected station yet.
    bool ReadStatistics(CStatusSnapshot &s);
    void ReadAbout(CStatusSnapshot &s);
    // All of it, for kestrowctl.
    CStatusSnapshot ReadAll();
    // Makes the adapter clear its statistics (reading that variable does).
    // Failure: message 115.
    static COpResult ResetStatistics();

private:
    class CCapture;
    ITextSink *FindControl(int id) override;
    // `field` becomes the captured text `id` when the current read set it
    // (true), else it stays.
    bool Take(int id, std::string &field) const;

    CKestrowApp &m_App;
    // Counts the reads; the bound variables' first reads are number 0.
    unsigned m_Generation = 0;
    std::map<int, std::unique_ptr<CCapture>> m_Texts;
    std::unique_ptr<CCommVarList> m_pGeneral;
    std::unique_ptr<CCommVarList> m_pAbout;
    CCommVar *m_pChannelVar = nullptr;
    CCommVar *m_pStatsVar = nullptr;
};

} // namespace kestrow
