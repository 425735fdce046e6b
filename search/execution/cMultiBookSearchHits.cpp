#include "search/execution/cMultiBookSearchHits.h"

#include "engine/docbase/cSourceDoc.h"
#include "search/core/TextFolding.h"
#include "search/execution/UserDataSearchCache.h"

cMultiBookSearchHits::cMultiBookSearchHits(std::u16string expression, std::u16string limitExpression, bool noteSearch)
    : m_expression(std::move(expression)), m_limitExpression(std::move(limitExpression)), m_noteSearch(noteSearch)
{
}

bool cMultiBookSearchHits::addBook(cSourceDoc& document)
{
    uint16_t publisher = 0, book = 0;
    uint8_t edition = 0, revision = 0;
    document.GetBookID(publisher, book, edition, revision);
    const std::pair<uint32_t, uint32_t> key {
        (uint32_t {publisher} << 16) | book, uint32_t {edition} | (uint32_t {revision} << 16)};
    const std::string main = TextFolding::utf16ToUtf8(m_expression);
    auto result = std::make_unique<cSearchExpressionResult>();
    if (!userdatasearch::userDataSearchCacheLoad(*result, main.c_str(), m_limitExpression, publisher, book, edition)) {
        // An empty main expression searches every section under the limit.
        const std::u16string expression = m_expression.empty() ? u"*" : m_expression;
        if (!result->evaluate(expression, m_limitExpression, &document))
            return false;
        userdatasearch::userDataSearchCacheStore(*result, main.c_str(), m_limitExpression, publisher, book, edition);
    }
    m_results[key] = std::move(result);
    return true;
}

const cSearchExpressionResult* cMultiBookSearchHits::resultForBook(uint16_t publisher, uint16_t book) const
{
    const uint32_t wanted = (uint32_t {publisher} << 16) | book;
    for (const auto& [key, result] : m_results)
        if (key.first == wanted)
            return result.get();
    return nullptr;
}
