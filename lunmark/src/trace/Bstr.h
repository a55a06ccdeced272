// Text conversion for the BSTR the firmware text callback receives.  The
// allocate/free pair itself is exported through lunmark.h.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "lunmark/lunmark.h"

namespace lunmark {

// UTF-16 code units of `text`, read as UTF-8; a byte that is not part of a
// valid UTF-8 sequence stands for the character of the same value (as in
// Latin-1), so every input converts.
std::vector<std::uint16_t> utf16_from_text(std::string_view text);

// A newly allocated BSTR holding `text` converted as above (nullptr when out
// of memory); free it with lunmark_bstr_free.
lunmark_bstr bstr_from_text(std::string_view text);

} // namespace lunmark
