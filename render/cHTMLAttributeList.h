// cHTMLAttributeList: the attributes of one markup element, in order of addition.
//
// Names and values are kept as entries: an entry >= 0 is a code of the known-attribute table (name
// entries) or the known-value table (value entries), see HTMLTagCode.h; an entry < 0 refers to a text
// of the list's own pool (names and values that the tables do not know). Pooled texts have no size
// limit. Names are unique: adding an attribute first removes an earlier one of the same name.
// Name lookups lower-case the query (ASCII); value lookups are exact.
//
// Not safe for concurrent use.

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class cHTMLAttributeList {
public:
    cHTMLAttributeList() = default;
    cHTMLAttributeList(const cHTMLAttributeList&) = default;
    cHTMLAttributeList& operator=(const cHTMLAttributeList&) = default;
    cHTMLAttributeList(cHTMLAttributeList&&) noexcept = default;
    cHTMLAttributeList& operator=(cHTMLAttributeList&&) noexcept = default;

    // Adds an attribute named by text (looked up in the known table after lower-casing) or else by
    // nameCode, valued by text (coded when the known-value table holds it exactly) or else by
    // valueCode. Returns 1, or 0 with nothing done when a code that would be used is negative.
    int add(std::optional<std::string_view> name, std::optional<std::string_view> value, std::int32_t nameCode,
        std::int32_t valueCode);
    int addNamedStringValue(std::string_view name, std::string_view value) { return add(name, value, 0, 0); }
    int addNamedCodedValue(std::string_view name, std::int32_t valueCode)
    {
        return add(name, std::nullopt, 0, valueCode);
    }
    int addCodedStringValue(std::int32_t nameCode, std::string_view value)
    {
        return add(std::nullopt, value, nameCode, 0);
    }
    int addCodedCodedValue(std::int32_t nameCode, std::int32_t valueCode)
    {
        return add(std::nullopt, std::nullopt, nameCode, valueCode);
    }

    // Remove the first attribute of that name; always 1.
    int removeByCode(std::int32_t nameCode);
    int removeByName(std::string_view name);
    void removeAt(std::int32_t index);
    void clear();
    std::int32_t count() const { return static_cast<std::int32_t>(m_names.size()); }

    // Index of the attribute of that name (lower-cased query), -1 when none.
    std::int32_t indexOfName(std::string_view name) const;
    std::int32_t indexOfCode(std::int32_t nameCode) const;
    bool hasName(std::string_view name) const { return indexOfName(name) >= 0; }
    bool hasCode(std::int32_t nameCode) const { return indexOfCode(nameCode) >= 0; }

    // Texts; empty when the index is past the end or the attribute is absent.
    std::string nameAt(std::int32_t index) const { return std::string(nameViewAt(index)); }
    std::string valueAt(std::int32_t index) const { return std::string(valueViewAt(index)); }
    std::string valueForName(std::string_view name) const { return valueAt(indexOfName(name)); }
    std::string valueForCode(std::int32_t nameCode) const { return valueAt(indexOfCode(nameCode)); }
    // Views into the list, valid until the list is changed.
    std::string_view nameViewAt(std::int32_t index) const;
    std::string_view valueViewAt(std::int32_t index) const;
    std::string_view valueViewForCode(std::int32_t nameCode) const { return valueViewAt(indexOfCode(nameCode)); }

    // The value entry as stored (a value code, or a negative pooled reference); 0 when absent.
    std::int32_t rawValueForCode(std::int32_t nameCode) const;
    // The entries at an index (0 past the end).
    std::int32_t nameEntryAt(std::int32_t index) const;
    std::int32_t valueEntryAt(std::int32_t index) const;

    // Table texts ("" for a negative or unknown code).
    static const char* attributeNameForCode(std::int32_t code);
    static const char* valueTextForCode(std::int32_t code);

private:
    // A pooled entry is kPooledFlag | (slot + 1); kPooledFlag alone is the empty text.
    static constexpr std::int32_t kPooledFlag = INT32_MIN;

    std::int32_t pool(std::string_view text);
    void releaseEntry(std::int32_t entry);
    std::string_view entryText(std::int32_t entry, bool isName) const;

    std::vector<std::int32_t> m_names;
    std::vector<std::int32_t> m_values;
    std::vector<std::string> m_pool;
};
