// cBkWordAttributeDefs: the table of word attributes a book declares in its header.
//
// Text form: records separated by "&", each "key=field0,field1,..."; a record without "=" is skipped.
// The key also names the attribute's word list (key + "WL") and concordance (key + "CONC").
// Fields: 0 number, 1 name shown to the user, 2 search prefix, 3 render field, 4 sync prefix,
// 5 testament scope ("ot"/"nt"), 6 unused, 7 link type, 8 flag ("yes", "true" or empty/missing).
// Immutable after construction; safe to read from any thread.

#pragma once

#include <cstdint>
#include <string>
#include <vector>

class cBkWordAttributeDefs {
public:
    cBkWordAttributeDefs() = default;
    explicit cBkWordAttributeDefs(const std::string& text) { parse(text); }

    void parse(const std::string& text);

    int32_t definitionCount() const { return m_count; }
    std::string key(int32_t i) const;
    std::string field(int32_t i, int32_t k) const;

    int32_t fieldAsInteger(int32_t i) const;
    std::string humanReadableName(int32_t i) const { return field(i, 1); }
    std::string searchPrefix(int32_t i) const { return field(i, 2); }
    std::string renderField(int32_t i) const { return field(i, 3); }
    std::string syncPrefix(int32_t i) const { return field(i, 4); }
    std::string testamentScope(int32_t i) const;
    std::string linkType(int32_t i) const { return field(i, 7); }
    bool flagField(int32_t i) const;
    int32_t maxFieldValue() const { return m_maxFieldValue; }

private:
    std::vector<std::string> m_keys;
    std::vector<std::vector<std::string>> m_fields;
    int32_t m_maxFieldValue = 0;
    int32_t m_count = 0;
};
