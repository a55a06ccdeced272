// Profile contents of one "generation" of the save-kill test: every field
// that changes carries the generation number, so a loaded store tells
// whether it is one complete generation or a mix.
#pragma once

#include <string>

namespace kestrow {
class CProfileMngr;
}

namespace fault {

inline constexpr int kProfileCount = 100;

// Sets every record of the store to `generation`.
void SetGeneration(kestrow::CProfileMngr &store, long generation);
// The generation every record of the store holds: -1 with *problem set when
// there are not kProfileCount records or they do not agree.
long CheckGeneration(const kestrow::CProfileMngr &store, std::string *problem);

} // namespace fault
