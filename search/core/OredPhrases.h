#pragma once
// OredPhrases: phrases joined by OR; one of them must match. Read-only once parsed.

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

#include "search/core/Phrase.h"

class OredPhrases {
public:
    void add(PhrasePtr phrase) { phraseList_.push_back(std::move(phrase)); }
    // Inserts at index; an index past the end appends.
    void add(PhrasePtr phrase, std::size_t index)
    {
        phraseList_.insert(
            phraseList_.begin() + static_cast<std::ptrdiff_t>(std::min(index, phraseList_.size())), std::move(phrase));
    }
    std::size_t count() const { return phraseList_.size(); }
    const std::vector<PhrasePtr>& phraseList() const { return phraseList_; }

private:
    std::vector<PhrasePtr> phraseList_;
};

using OredPhrasesPtr = std::shared_ptr<OredPhrases>;
