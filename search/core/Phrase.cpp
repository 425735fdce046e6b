#include "search/core/Phrase.h"

#include <algorithm>

void Phrase::add(OredTermsPtr terms)
{
    m_terms.push_back(std::move(terms));
}

void Phrase::add(OredTermsPtr terms, std::size_t index)
{
    m_terms.insert(m_terms.begin() + static_cast<std::ptrdiff_t>(std::min(index, m_terms.size())), std::move(terms));
}

std::size_t Phrase::numAlternativesAtIndex(std::size_t index) const
{
    return index < m_terms.size() && m_terms[index] ? m_terms[index]->count() : 0;
}

const std::u16string* Phrase::termAtIndex(std::size_t index, std::size_t alternative) const
{
    if (index >= m_terms.size() || !m_terms[index])
        return nullptr;
    return m_terms[index]->termAtIndex(alternative);
}
