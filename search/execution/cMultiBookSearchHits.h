// cMultiBookSearchHits: the results of one expression (and limit expression) over several books, one
// cSearchExpressionResult per book, keyed by publisher << 16 | book and edition | revision << 16.
// Adding a book loads its result from the user-data search cache when one is kept there, else
// evaluates the expression and stores the result in the cache. The documents' result lines read it
// through the hooks installed by installSearchHooks.
//
// Built and read on one thread.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "search/execution/cSearchExpressionResult.h"

class cSourceDoc;

class cMultiBookSearchHits {
public:
    cMultiBookSearchHits(std::u16string expression, std::u16string limitExpression, bool noteSearch = false);

    // Evaluates (or loads) the result of a book; false when the expression fails in that book.
    bool addBook(cSourceDoc& document);
    // The result of a book; null when it was not added.
    const cSearchExpressionResult* resultForBook(uint16_t publisher, uint16_t book) const;
    bool isNoteSearch() const { return m_noteSearch; }
    std::size_t bookCount() const { return m_results.size(); }

private:
    std::u16string m_expression;
    std::u16string m_limitExpression;
    bool m_noteSearch;
    std::map<std::pair<uint32_t, uint32_t>, std::unique_ptr<cSearchExpressionResult>> m_results;
};
