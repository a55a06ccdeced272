// CProfileOpResult: what a profile operation of CProfileOps did.  Besides
// the common result it names the profile the operation ended on (a new
// record's final name, an edited record's name after a rename), says
// whether an auto-selection change actually changed anything, and lists
// the names an import added.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "OpResult.h"

namespace kestrow {

struct CProfileOpResult : COpResult {
    std::string name;
    bool changed = false;
    std::vector<std::string> imported;

    CProfileOpResult() = default;
    CProfileOpResult(COpResult result) : COpResult(std::move(result)) {}  // NOLINT: a plain result converts
};

} // namespace kestrow
