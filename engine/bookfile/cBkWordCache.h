// cBkWordCache: the most recently used words of one word list, by word number (150 entries).
// Not locked: its word list uses it under the process-wide word-list mutex.

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class cBkWordCache {
public:
    static constexpr uint32_t kSlots = 150;

    // An empty word is not cached. When full, the least recently used entry gives up its slot.
    void add(uint32_t wordNumber, const std::string& word);
    // Copies the word out and makes the entry the most recent one; false when not held.
    bool lookup(uint32_t wordNumber, std::string& word);
    void clear();
    uint32_t count() const { return static_cast<uint32_t>(m_wordNumbers.size()); }

private:
    std::vector<std::string> m_slots;     // made on first use
    std::vector<uint32_t> m_wordNumbers;  // least to most recently used
    std::vector<uint32_t> m_slotNumbers;  // parallel to m_wordNumbers
    std::vector<bool> m_slotUsed;
};
