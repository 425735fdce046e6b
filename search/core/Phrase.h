#pragma once
// Phrase: word positions in order, each with its alternative terms; quoted when the
// user wrote it between double quotes. Read-only once parsed.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "search/core/OredTerms.h"

class Phrase {
public:
    void add(OredTermsPtr terms);
    // Inserts at index; an index past the end appends.
    void add(OredTermsPtr terms, std::size_t index);
    std::size_t count() const { return m_terms.size(); }
    // 0 when the index is out of range.
    std::size_t numAlternativesAtIndex(std::size_t index) const;
    // Null when either index is out of range.
    const std::u16string* termAtIndex(std::size_t index, std::size_t alternative) const;
    const std::vector<OredTermsPtr>& terms() const { return m_terms; }

    bool isQuoted() const { return m_quoted; }
    void setQuoted(bool quoted) { m_quoted = quoted; }

private:
    std::vector<OredTermsPtr> m_terms;
    bool m_quoted = false;
};

using PhrasePtr = std::shared_ptr<Phrase>;
