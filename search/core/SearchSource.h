#pragma once
// SearchSource: what the query model needs to know of the book a query runs against.
// The search runs' SearchBook (search/execution) extends it, and SourceTupleSearchBook answers it
// through the library's book handle; the query model's tests use a double.
// Implementations must be safe to call from several search threads at once.

#include <cstdint>
#include <string>

#include "search/core/DocSupportsFlags.h"

class SearchSource {
public:
    virtual ~SearchSource() = default;
    // True when the book has every capability in mask.
    virtual bool docSupports(uint32_t mask) const = 0;
    // True when the book's word-attribute definitions accept the term as an attribute.
    virtual bool couldBeWordAttribute(const std::u16string& term) const = 0;
};
