// cSearchExpressionResult: one evaluation of a search expression over one book: the sections that
// satisfy it and the words to mark. It is the operand type of the expression grammar
// (cExpressionParser), knows how to look a term up in the book's concordances and how to combine two
// operands under an operator, and it is the unit the user-data search cache stores on disk. It can
// re-evaluate its stored expression over a range of sections and merge the outcome into its hits,
// which is how cached results follow changes to highlights, notes and bookmarks.
//
// Terms: pieces split at blanks and at ":" before a Strong's number. "$word" is a sound-alike
// lookup, "@word" a stem lookup, "-word" a negation, ":G123"/":H123" a Strong's number qualifying the
// word before it; in a Strong's book a bare G123/H123 means any word tagged with it. A term of several
// pieces is confirmed in each hit section by the book's phrase test.
// Operators (case-sensitive whole tokens): AND &, OR +, XOR ^, NOT #, NEAR ~.
//
// A result and its parser are used by one thread.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/docbase/cRenderParams.h"
#include "engine/foundation/cLIntArray.h"
#include "search/core/cBitVector.h"
#include "search/core/cSearchWordList.h"
#include "search/execution/cExpressionParser.h"

class cBibleRef;
class cSourceDoc;

class cSearchExpressionResult : public cExpressionResult<cSearchExpressionResult> {
public:
    // The error code of a bad Strong's number in a term.
    static constexpr uint32_t kBadStrongsNumber = 203;
    // The engine message of a failed evaluation.
    static constexpr int32_t kSearchEvaluationMessage = 204;

    // What reset hands every operand.
    struct Options {
        cSourceDoc* document = nullptr;
        const cBitVector* limitSet = nullptr;
        const cLIntArray* limitWords = nullptr;
        uint64_t optionWord = 0;
        uint32_t proximity = 0;
    };

    cSearchExpressionResult() = default;
    ~cSearchExpressionResult() override = default;

    bool reset(const void* options) override;
    bool finish() override;
    bool evaluateTerm(const std::u16string& term) override;
    bool applyOperator(const std::u16string& op, cSearchExpressionResult& right) override;
    int isOperatorWord(const std::u16string& token) const override;
    uint32_t errorCode() const override { return m_errorCode; }
    void setError(uint32_t code, const std::string& message) override;
    const std::string& errorMessageText() const override { return m_errorMessage; }
    std::unique_ptr<cSearchExpressionResult> makeOperand() const override;

    // Evaluates the expression under the limit expression over the whole book; false on failure.
    virtual bool evaluate(
        const std::u16string& expression, const std::u16string& limitExpression, cSourceDoc* document);
    // Re-evaluates over sections first..last and merges the outcome into the current hits. Null texts
    // are taken from the stored ones. On failure the previous hits stay.
    virtual bool searchSectionRange(const std::u16string* expression, const std::u16string* limitExpression,
        cSourceDoc* document, uint32_t first, uint32_t last, const cBibleRef* reference, bool flag);

    // direction 0 reads a search-result cache record, any other direction writes one.
    bool serialize(int direction, std::FILE* file);

    bool containsSection(uint32_t section) const;
    // The section of the n-th hit (0-based); cBitVector::kNone when there is none.
    uint32_t sectionForHit(uint32_t n) const;
    const cSearchWordList& searchWordList() const { return m_searchWords; }
    const cBitVector* hits() const { return m_hits.get(); }
    uint32_t hitCount() const { return m_hitCount; }
    const std::string& errorMessage() const { return m_errorMessage; }
    const std::u16string& expression() const { return m_expression; }
    const std::u16string& limitExpression() const { return m_limitExpression; }

private:
    bool failTerm(uint32_t code, const std::string& message);
    bool evaluateWith(const std::u16string& expression, const Options& options);

    uint32_t m_errorCode = 0;
    std::string m_errorMessage;
    cRenderParams m_hitPosition;
    cSourceDoc* m_document = nullptr;
    const cBitVector* m_limitSet = nullptr;
    uint32_t m_proximity = 0;
    const cLIntArray* m_limitWords = nullptr;
    uint64_t m_optionWord = 0;
    uint32_t m_hitCount = 0;
    std::unique_ptr<cBitVector> m_hits;
    cSearchWordList m_searchWords;
    std::u16string m_expression;
    std::u16string m_limitExpression;
};
