#include "search/core/OredTerms.h"

#include <algorithm>

#include "search/core/SearchSource.h"

namespace {

bool isDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}
bool isLowerAscii(char16_t c)
{
    return c >= u'a' && c <= u'z';
}

// A Strong's number as a term may write it: "G" or "H" (either case), digits, at
// most one lower-case suffix letter followed by wildcards only, "*" and "?", and
// bracket classes of digits, lower-case letters, "-", "|" and quotes; at least one
// digit must stand outside the classes.
bool couldBeStrongsNumber(const std::u16string& term)
{
    if (term.find(u'_') != std::u16string::npos)
        return false;
    const char16_t first = term[0];
    if (first != u'G' && first != u'g' && first != u'H' && first != u'h')
        return false;
    bool suffixSeen = false;
    bool digitOutside = false;
    for (std::size_t i = 1; i < term.size(); ++i) {
        const char16_t c = term[i];
        if (c == u'*' || c == u'?')
            continue;
        if (suffixSeen)
            return false;  // nothing but wildcards after the suffix letter
        if (isDigit(c)) {
            digitOutside = true;
        } else if (isLowerAscii(c)) {
            suffixSeen = true;
        } else if (c == u'[') {
            bool quoted = false;
            bool closed = false;
            for (++i; i < term.size(); ++i) {
                const char16_t k = term[i];
                if (k == u']') {
                    closed = true;
                    break;
                }
                if (k == u'"') {
                    quoted = !quoted;
                } else if (isLowerAscii(k)) {
                    if (quoted || suffixSeen)
                        return false;
                    suffixSeen = true;
                } else if (isDigit(k)) {
                    if (suffixSeen)
                        return false;  // a digit may not follow the suffix letter
                } else if (k != u'-' && k != u'|') {
                    return false;
                }
            }
            if (!closed)
                return false;
        } else {
            return false;
        }
    }
    return digitOutside;
}

std::vector<std::u16string> splitAtColons(const std::u16string& term)
{
    std::vector<std::u16string> pieces;
    std::size_t start = 0;
    while (true) {
        const std::size_t colon = term.find(u':', start);
        pieces.push_back(term.substr(start, colon == std::u16string::npos ? std::u16string::npos : colon - start));
        if (colon == std::u16string::npos)
            return pieces;
        start = colon + 1;
    }
}

}  // namespace

void OredTerms::add(std::u16string term)
{
    m_termList.push_back(std::move(term));
}

void OredTerms::add(std::u16string term, std::size_t index)
{
    m_termList.insert(
        m_termList.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_termList.size())), std::move(term));
}

const std::u16string* OredTerms::termAtIndex(std::size_t index) const
{
    return index < m_termList.size() ? &m_termList[index] : nullptr;
}

bool OredTerms::couldBeWordAttribute(const std::u16string& term, const SearchSource* source)
{
    if (!source)
        return false;
    const bool attributes = source->docSupports(kDocSupportsWordAttributes);
    if (!attributes && !source->docSupports(kDocSupportsStrongsGreek) &&
        !source->docSupports(kDocSupportsStrongsHebrew))
        return false;
    if (term.size() < 2)
        return false;
    if (attributes)
        return source->couldBeWordAttribute(term);
    return couldBeStrongsNumber(term);
}

std::u16string OredTerms::wordFromTerm(const std::u16string& term, const SearchSource* source)
{
    const auto pieces = splitAtColons(term);
    if (couldBeWordAttribute(pieces[0], source))
        return pieces.size() > 1 ? pieces[1] : std::u16string(u"*");
    return pieces[0];
}

std::u16string OredTerms::attributeFromTerm(const std::u16string& term, const SearchSource* source)
{
    const auto pieces = splitAtColons(term);
    if (couldBeWordAttribute(pieces[0], source))
        return pieces[0];
    return pieces.size() > 1 ? pieces[1] : std::u16string();
}
