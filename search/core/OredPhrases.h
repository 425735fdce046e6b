#pragma once
// OredPhrases: phrases joined by OR; one of them must match. Read-only once parsed.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "search/core/Phrase.h"

class OredPhrases {
public:
    void add(PhrasePtr phrase) { m_phraseList.push_back(std::move(phrase)); }
    // Inserts at index; an index past the end appends.
    void add(PhrasePtr phrase, std::size_t index)
    {
        m_phraseList.insert(m_phraseList.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_phraseList.size())),
            std::move(phrase));
    }
    std::size_t count() const { return m_phraseList.size(); }
    const std::vector<PhrasePtr>& phraseList() const { return m_phraseList; }

private:
    std::vector<PhrasePtr> m_phraseList;
};

using OredPhrasesPtr = std::shared_ptr<OredPhrases>;
