#pragma once
// PhraseList: the members of a query's included (or excluded) part. Every member
// must match ("all" and "exact"), or any member ("any"). Read-only once parsed.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "search/core/OredPhrases.h"

class PhraseList {
public:
    void add(OredPhrasesPtr phrases) { m_oredPhraseList.push_back(std::move(phrases)); }
    // Inserts at index; an index past the end appends.
    void add(OredPhrasesPtr phrases, std::size_t index)
    {
        m_oredPhraseList.insert(
            m_oredPhraseList.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_oredPhraseList.size())),
            std::move(phrases));
    }
    std::size_t count() const { return m_oredPhraseList.size(); }
    const std::vector<OredPhrasesPtr>& oredPhraseList() const { return m_oredPhraseList; }

private:
    std::vector<OredPhrasesPtr> m_oredPhraseList;
};

using PhraseListPtr = std::shared_ptr<PhraseList>;
