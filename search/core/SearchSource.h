#pragma once
// SearchSource: what the query model needs to know of the book a query runs against.
// The library's SourceTuple answers it in the application; tests use a double.
// Implementations must be safe to call from several search threads at once.

#include <cstdint>
#include <string>

// Capability bits of a book (the book engine's DocSupportsFlags).
inline constexpr uint32_t kDocSupportsStrongsGreek = 0x200;
inline constexpr uint32_t kDocSupportsStrongsHebrew = 0x400;
inline constexpr uint32_t kDocSupportsIsBible = 0x2000;
inline constexpr uint32_t kDocSupportsWordAttributes = 0x10000;

class SearchSource {
public:
    virtual ~SearchSource() = default;
    // True when the book has every capability in mask.
    virtual bool docSupports(uint32_t mask) const = 0;
    // True when the book's word-attribute definitions accept the term as an attribute.
    virtual bool couldBeWordAttribute(const std::u16string& term) const = 0;
};
