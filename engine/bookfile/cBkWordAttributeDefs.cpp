#include "engine/bookfile/cBkWordAttributeDefs.h"

#include <algorithm>
#include <cstdlib>

#include "engine/foundation/CharacterClasses.h"

namespace {

std::vector<std::string> split(const std::string& s, char sep)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (;;) {
        size_t at = s.find(sep, from);
        if (at == std::string::npos) {
            parts.push_back(s.substr(from));
            return parts;
        }
        parts.push_back(s.substr(from, at - from));
        from = at + 1;
    }
}

std::string lowered(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(toLowerChar8(static_cast<unsigned char>(c)));
    return s;
}

int32_t decimal(const std::string& s)
{
    long v = std::strtol(s.c_str(), nullptr, 10);
    return static_cast<int32_t>(std::clamp<long>(v, INT32_MIN, INT32_MAX));
}

}  // namespace

void cBkWordAttributeDefs::parse(const std::string& text)
{
    m_keys.clear();
    m_fields.clear();
    m_count = 0;
    m_maxFieldValue = 0;
    if (text.empty())
        return;
    for (const std::string& record : split(text, '&')) {
        std::vector<std::string> parts = split(record, '=');
        if (parts.size() < 2)
            continue;
        m_keys.push_back(parts[0]);
        m_fields.push_back(split(parts[1], ','));
    }
    m_count = static_cast<int32_t>(m_keys.size());
    for (int32_t i = 0; i < m_count; ++i)
        m_maxFieldValue = std::max(m_maxFieldValue, fieldAsInteger(i));
}

std::string cBkWordAttributeDefs::key(int32_t i) const
{
    return (i < 0 || i >= m_count) ? std::string() : m_keys[i];
}

std::string cBkWordAttributeDefs::field(int32_t i, int32_t k) const
{
    if (i < 0 || k < 0 || i >= m_count || k >= static_cast<int32_t>(m_fields[i].size()))
        return std::string();
    return m_fields[i][k];
}

int32_t cBkWordAttributeDefs::fieldAsInteger(int32_t i) const
{
    return decimal(field(i, 0));
}

std::string cBkWordAttributeDefs::testamentScope(int32_t i) const
{
    std::string s = lowered(field(i, 5));
    return (s == "ot" || s == "nt") ? s : std::string();
}

bool cBkWordAttributeDefs::flagField(int32_t i) const
{
    std::string s = lowered(field(i, 8));
    return s.empty() || s == "yes" || s == "true";
}
