// COpResult: what a user-level operation of the core did, for the front end
// to show.  Operations never show anything themselves except through the
// message sink where the original flow shows a message box in the middle of
// the work (registry failures with the system's text); the result says what
// is left for the caller to show.
#pragma once

#include <string>
#include <utility>

namespace kestrow {

enum class OpStatus {
    Done,      // carried out
    Busy,      // the main lock was busy: nothing happened
    NotFound,  // the profile or station named is not there (any more)
    Failed,    // tried and failed: see messageId / text
};

struct COpResult {
    OpStatus status = OpStatus::Done;
    // A string-table message to show (0: none).
    int messageId = 0;
    // A text of its own to show instead (empty: none), e.g. a registry
    // failure with the system's message text.
    std::string text;

    bool Ok() const { return status == OpStatus::Done; }
    static COpResult Done() { return {}; }
    static COpResult Busy() { return {OpStatus::Busy, 0, {}}; }
    static COpResult NotFound() { return {OpStatus::NotFound, 0, {}}; }
    static COpResult Message(int id) { return {OpStatus::Failed, id, {}}; }
    static COpResult Text(std::string text) { return {OpStatus::Failed, 0, std::move(text)}; }
    // The message text (the string table's for messageId), empty when none.
    std::string Describe() const;
};

} // namespace kestrow
