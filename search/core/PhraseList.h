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
    void add(OredPhrasesPtr phrases) { oredPhraseList_.push_back(std::move(phrases)); }
    // Inserts at index; an index past the end appends.
    void add(OredPhrasesPtr phrases, std::size_t index)
    {
        oredPhraseList_.insert(
            oredPhraseList_.begin() + static_cast<std::ptrdiff_t>(std::min(index, oredPhraseList_.size())),
            std::move(phrases));
    }
    std::size_t count() const { return oredPhraseList_.size(); }
    const std::vector<OredPhrasesPtr>& oredPhraseList() const { return oredPhraseList_; }

private:
    std::vector<OredPhrasesPtr> oredPhraseList_;
};

using PhraseListPtr = std::shared_ptr<PhraseList>;
