#include "LinkHistory.h"

namespace kestrow {

void CLinkHistory::Add(const CLinkSample &sample)
{
    m_Ring[m_nNext] = sample;
    m_nNext = (m_nNext + 1) % kCapacity;
    if (m_nSize < kCapacity)
        ++m_nSize;
}

void CLinkHistory::Clear()
{
    m_nNext = 0;
    m_nSize = 0;
}

const CLinkSample &CLinkHistory::At(std::size_t i) const
{
    // The oldest sample sits where the next one goes once the ring is full.
    const std::size_t oldest = m_nSize < kCapacity ? 0 : m_nNext;
    return m_Ring[(oldest + i) % kCapacity];
}

std::vector<CLinkSample> CLinkHistory::Samples() const
{
    std::vector<CLinkSample> out;
    out.reserve(m_nSize);
    for (std::size_t i = 0; i < m_nSize; ++i)
        out.push_back(At(i));
    return out;
}

} // namespace kestrow
