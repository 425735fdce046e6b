#include "engine/bookfile/cBkWordCache.h"

void cBkWordCache::add(uint32_t wordNumber, const std::string& word)
{
    if (word.empty())
        return;
    if (m_slots.empty()) {
        m_slots.resize(kSlots);
        m_slotUsed.assign(kSlots, false);
    }
    uint32_t slot = kSlots;
    if (m_wordNumbers.size() >= kSlots) {
        slot = m_slotNumbers.front();
        m_wordNumbers.erase(m_wordNumbers.begin());
        m_slotNumbers.erase(m_slotNumbers.begin());
        m_slots[slot].clear();
    } else {
        for (uint32_t i = 0; i < kSlots; ++i) {
            if (!m_slotUsed[i]) {
                slot = i;
                break;
            }
        }
    }
    m_slots[slot] = word;
    m_slotUsed[slot] = true;
    m_wordNumbers.push_back(wordNumber);
    m_slotNumbers.push_back(slot);
}

bool cBkWordCache::lookup(uint32_t wordNumber, std::string& word)
{
    for (size_t i = m_wordNumbers.size(); i-- > 0;) {
        if (m_wordNumbers[i] != wordNumber)
            continue;
        uint32_t slot = m_slotNumbers[i];
        word = m_slots[slot];
        m_wordNumbers.erase(m_wordNumbers.begin() + static_cast<std::ptrdiff_t>(i));
        m_slotNumbers.erase(m_slotNumbers.begin() + static_cast<std::ptrdiff_t>(i));
        m_wordNumbers.push_back(wordNumber);
        m_slotNumbers.push_back(slot);
        return true;
    }
    return false;
}

void cBkWordCache::clear()
{
    m_wordNumbers.clear();
    m_slotNumbers.clear();
    for (size_t i = 0; i < m_slots.size(); ++i) {
        m_slots[i].clear();
        m_slotUsed[i] = false;
    }
}
