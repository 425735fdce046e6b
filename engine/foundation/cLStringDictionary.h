// cLStringDictionary: a small string-to-string dictionary held as two parallel owning arrays of
// narrow strings (keys, values). Keys are unique and compared exactly (case-sensitive); look-ups
// run through the keys in insertion order. splitStringIntoArray cuts a string at a separator.
// Each dictionary belongs to one owner and one thread.

#pragma once

#include "engine/foundation/cLObjectArray.h"
#include "engine/foundation/cLStringTmpl.h"

#include <cstdint>

class cLStringDictionary {
public:
    cLStringDictionary() = default;
    cLStringDictionary(const cLStringDictionary& other) = default;
    cLStringDictionary& operator=(const cLStringDictionary& other) = default;
    virtual ~cLStringDictionary() = default;

    // Empties out; when the key is present copies its value to out and returns 1, else 0.
    int findValue(const char* key, cLStringTmpl<char>& out) const;
    // The same, also writing the entry's index (-1 when absent).
    int findValueIndex(const char* key, cLStringTmpl<char>& out, std::int32_t& index) const;
    // Replaces the value of an existing key, else appends the pair. Returns 1, or 0 when it cannot
    // grow. A null key or value counts as empty.
    int setValue(const char* key, const char* value);
    int setValue(const cLStringTmpl<char>& key, const cLStringTmpl<char>& value);
    void assign(const cLStringDictionary& other);
    void removeAll();
    bool isEmpty() const { return m_keys.count() == 0; }

    std::int32_t count() const { return m_keys.count(); }
    // Entry i, or null outside 0..count-1.
    const cLStringTmpl<char>* valueAt(std::int32_t i) const { return m_values.elementAt(i); }

private:
    std::int32_t indexOfKey(const char* key) const;

    cLObjectArray<cLStringTmpl<char>> m_keys;
    cLObjectArray<cLStringTmpl<char>> m_values;
};

// Cuts text at each occurrence of separator (case-sensitive) into target (emptied first). A text
// ending with the separator, or an empty text, gives a last empty piece. A null or empty separator
// gives the whole text as one piece.
void splitStringIntoArray(
    const cLStringTmpl<char>& text, const char* separator, cLObjectArray<cLStringTmpl<char>>& target);
