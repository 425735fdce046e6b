#include "engine/foundation/cLStringDictionary.h"

#include <cstring>

std::int32_t cLStringDictionary::indexOfKey(const char* key) const
{
    for (std::int32_t i = 0; i < m_keys.count(); ++i) {
        const cLStringTmpl<char>* k = m_keys.elementAt(i);
        if (k != nullptr && k->equalsCStr(key != nullptr ? key : ""))
            return i;
    }
    return -1;
}

int cLStringDictionary::findValue(const char* key, cLStringTmpl<char>& out) const
{
    std::int32_t index = -1;
    return findValueIndex(key, out, index);
}

int cLStringDictionary::findValueIndex(const char* key, cLStringTmpl<char>& out, std::int32_t& index) const
{
    out.makeEmpty();
    index = indexOfKey(key);
    if (index < 0)
        return 0;
    if (const cLStringTmpl<char>* v = m_values.elementAt(index))
        out.assign(*v);
    return 1;
}

int cLStringDictionary::setValue(const char* key, const char* value)
{
    return setValue(cLStringTmpl<char>(key), cLStringTmpl<char>(value));
}

int cLStringDictionary::setValue(const cLStringTmpl<char>& key, const cLStringTmpl<char>& value)
{
    const std::int32_t index = indexOfKey(key.chars());
    if (index >= 0)
        return m_values.replaceAt(index, value);
    if (!m_keys.addCopy(key))
        return 0;
    if (!m_values.addCopy(value)) {
        m_keys.removeAt(m_keys.lastIndex());  // keep the two arrays parallel
        return 0;
    }
    return 1;
}

void cLStringDictionary::assign(const cLStringDictionary& other)
{
    if (this == &other)
        return;
    m_keys.assign(other.m_keys);
    m_values.assign(other.m_values);
}

void cLStringDictionary::removeAll()
{
    m_keys.removeAll();
    m_values.removeAll();
}

void splitStringIntoArray(
    const cLStringTmpl<char>& text, const char* separator, cLObjectArray<cLStringTmpl<char>>& target)
{
    target.removeAll();
    const std::int32_t length = text.length();
    const std::int32_t sepLength = separator != nullptr ? static_cast<std::int32_t>(std::strlen(separator)) : 0;
    if (sepLength == 0) {
        target.addCopy(text);
        return;
    }
    std::int32_t position = 0;
    while (position < length) {
        const std::int32_t found = text.findCStr(separator, position, false);
        const std::int32_t pieceEnd = found >= 0 ? found : length;
        target.addCopy(cLStringTmpl<char>(text, position, pieceEnd - position));
        position = found >= 0 ? found + sepLength : length + sepLength;
    }
    // A text ending with the separator (or an empty text) ends with one empty piece.
    if (position == length)
        target.addCopy(cLStringTmpl<char>());
}
