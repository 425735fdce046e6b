// BookSupport: what a book of a pane supports, asked of a book that may be missing (a pane without
// books). Any thread that may read the book.
#pragma once

#include "library/SourceTuple.h"

namespace BookSupport {

// The book is there and supports every capability of `mask` (SourceTuple::kDocSupports...).
inline bool supports(const SourceTuple::Ptr& book, quint64 mask)
{
    return book && book->docSupports(mask);
}

inline bool isBible(const SourceTuple::Ptr& book)
{
    return supports(book, SourceTuple::kDocSupportsIsBible());
}

}  // namespace BookSupport
