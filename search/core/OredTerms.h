#pragma once
// OredTerms: the alternative terms typed for one word position of a query phrase
// ("love OR charity" gives one position with two terms).
//
// A term is the raw text as typed: a word (letters, or a pattern over "*", "?", "_"
// and "[...]"), a word attribute (a Strong's number such as "G25", or another
// attribute of the book), or both joined by ":" in either order. The class
// operations split a term into its word and attribute for one book.
//
// Read-only once parsed; several search threads may read it at once.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

class SearchSource;

class OredTerms {
public:
    void add(std::u16string term);
    // Inserts at index; an index past the end appends.
    void add(std::u16string term, std::size_t index);
    std::size_t count() const { return m_termList.size(); }
    // Null when the index is out of range.
    const std::u16string* termAtIndex(std::size_t index) const;
    const std::vector<std::u16string>& termList() const { return m_termList; }

    // Whether the term can stand for a word attribute in that book. A null source
    // is a book without attributes.
    static bool couldBeWordAttribute(const std::u16string& term, const SearchSource* source);
    // The word part: "*" for an attribute alone.
    static std::u16string wordFromTerm(const std::u16string& term, const SearchSource* source);
    // The attribute part; "" when there is none.
    static std::u16string attributeFromTerm(const std::u16string& term, const SearchSource* source);

private:
    std::vector<std::u16string> m_termList;
};

using OredTermsPtr = std::shared_ptr<OredTerms>;
