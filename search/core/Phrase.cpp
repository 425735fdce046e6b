#include "search/core/Phrase.h"

#include <algorithm>

void Phrase::add(OredTermsPtr terms)
{
    terms_.push_back(std::move(terms));
}

void Phrase::add(OredTermsPtr terms, std::size_t index)
{
    terms_.insert(terms_.begin() + static_cast<std::ptrdiff_t>(std::min(index, terms_.size())), std::move(terms));
}

std::size_t Phrase::numAlternativesAtIndex(std::size_t index) const
{
    return index < terms_.size() && terms_[index] ? terms_[index]->count() : 0;
}

const std::u16string* Phrase::termAtIndex(std::size_t index, std::size_t alternative) const
{
    if (index >= terms_.size() || !terms_[index])
        return nullptr;
    return terms_[index]->termAtIndex(alternative);
}
