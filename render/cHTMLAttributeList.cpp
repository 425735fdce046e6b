#include "render/cHTMLAttributeList.h"

#include "render/HTMLTagCode.h"

namespace {

std::string lowered(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

}  // namespace

std::int32_t cHTMLAttributeList::pool(std::string_view text)
{
    if (text.empty())
        return kPooledFlag;
    m_pool.emplace_back(text);
    return kPooledFlag | static_cast<std::int32_t>(m_pool.size());
}

void cHTMLAttributeList::releaseEntry(std::int32_t entry)
{
    if (entry >= 0 || entry == kPooledFlag)
        return;
    std::int32_t slot = entry & 0x7FFFFFFF;  // slot + 1
    m_pool.erase(m_pool.begin() + (slot - 1));
    auto shift = [slot](std::vector<std::int32_t>& entries) {
        for (std::int32_t& e : entries)
            if (e < 0 && e != kPooledFlag && (e & 0x7FFFFFFF) > slot)
                --e;
    };
    shift(m_names);
    shift(m_values);
}

std::string_view cHTMLAttributeList::entryText(std::int32_t entry, bool isName) const
{
    if (entry >= 0)
        return isName ? ::attributeNameForCode(entry) : ::valueTextForCode(entry);
    if (entry == kPooledFlag)
        return {};
    std::size_t slot = static_cast<std::size_t>(entry & 0x7FFFFFFF) - 1;
    return slot < m_pool.size() ? std::string_view(m_pool[slot]) : std::string_view();
}

int cHTMLAttributeList::add(std::optional<std::string_view> name, std::optional<std::string_view> value,
    std::int32_t nameCode, std::int32_t valueCode)
{
    std::int32_t nameEntry = 0;
    bool pooledName = false;
    if (name) {
        std::int32_t code = attributeCodeForName(lowered(*name));
        if (code >= 0) {
            nameEntry = code;
        } else {
            pooledName = true;
        }
    } else {
        if (nameCode < 0)
            return 0;
        nameEntry = nameCode;
    }
    std::int32_t valueEntry = 0;
    std::int32_t codedValue = value ? valueCodeForText(*value) : valueCode;
    if (!value && valueCode < 0)
        return 0;

    if (pooledName)
        removeByName(*name);
    else
        removeByCode(nameEntry);
    if (value && codedValue < 0)
        valueEntry = pool(*value);
    else
        valueEntry = codedValue;
    if (pooledName)
        nameEntry = pool(*name);
    m_names.push_back(nameEntry);
    m_values.push_back(valueEntry);
    return 1;
}

int cHTMLAttributeList::removeByCode(std::int32_t nameCode)
{
    removeAt(indexOfCode(nameCode));
    return 1;
}

int cHTMLAttributeList::removeByName(std::string_view name)
{
    removeAt(indexOfName(name));
    return 1;
}

void cHTMLAttributeList::removeAt(std::int32_t index)
{
    if (index < 0 || index >= count())
        return;
    std::int32_t nameEntry = m_names[static_cast<std::size_t>(index)];
    std::int32_t valueEntry = m_values[static_cast<std::size_t>(index)];
    m_names.erase(m_names.begin() + index);
    m_values.erase(m_values.begin() + index);
    // Release the later slot first so the earlier one's number stays valid.
    if (nameEntry < 0 && valueEntry < 0 && (valueEntry & 0x7FFFFFFF) > (nameEntry & 0x7FFFFFFF)) {
        releaseEntry(valueEntry);
        releaseEntry(nameEntry);
    } else {
        releaseEntry(nameEntry);
        releaseEntry(valueEntry);
    }
}

void cHTMLAttributeList::clear()
{
    m_names.clear();
    m_values.clear();
    m_pool.clear();
}

std::int32_t cHTMLAttributeList::indexOfCode(std::int32_t nameCode) const
{
    if (nameCode < 0)
        return -1;
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] == nameCode)
            return static_cast<std::int32_t>(i);
    return -1;
}

std::int32_t cHTMLAttributeList::indexOfName(std::string_view name) const
{
    std::string query = lowered(name);
    std::int32_t code = attributeCodeForName(query);
    if (code >= 0)
        return indexOfCode(code);
    // Unknown names are pooled as given; compare without ASCII case so a name stays unique.
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (m_names[i] < 0 && equalsIgnoringAsciiCase(entryText(m_names[i], true), query))
            return static_cast<std::int32_t>(i);
    return -1;
}

std::string_view cHTMLAttributeList::nameViewAt(std::int32_t index) const
{
    if (index < 0 || index >= count())
        return {};
    return entryText(m_names[static_cast<std::size_t>(index)], true);
}

std::string_view cHTMLAttributeList::valueViewAt(std::int32_t index) const
{
    if (index < 0 || index >= count())
        return {};
    return entryText(m_values[static_cast<std::size_t>(index)], false);
}

std::int32_t cHTMLAttributeList::rawValueForCode(std::int32_t nameCode) const
{
    std::int32_t index = indexOfCode(nameCode);
    return index < 0 ? 0 : m_values[static_cast<std::size_t>(index)];
}

std::int32_t cHTMLAttributeList::nameEntryAt(std::int32_t index) const
{
    return (index >= 0 && index < count()) ? m_names[static_cast<std::size_t>(index)] : 0;
}

std::int32_t cHTMLAttributeList::valueEntryAt(std::int32_t index) const
{
    return (index >= 0 && index < count()) ? m_values[static_cast<std::size_t>(index)] : 0;
}

const char* cHTMLAttributeList::attributeNameForCode(std::int32_t code)
{
    return ::attributeNameForCode(code);
}

const char* cHTMLAttributeList::valueTextForCode(std::int32_t code)
{
    return ::valueTextForCode(code);
}
