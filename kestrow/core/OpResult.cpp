#include "OpResult.h"

#include "StringTable.h"

namespace kestrow {

std::string COpResult::Describe() const
{
    if (!text.empty())
        return text;
    return messageId != 0 ? LoadString(messageId) : std::string();
}

} // namespace kestrow
