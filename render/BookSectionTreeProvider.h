// bookSectionTreeProvider: the node source through which a parser in node mode reads a book file
// (the context is the open cBkBookFile). It answers the parser's requests (cHTMLParser.h) with the
// stored tree of a block, the text of a text node rendered by the section text writer, embedded
// images and files, the section count, and a verse key's section.
//
// Called on the thread that renders; the book file's own locks serialise what it reads.

#pragma once

#include <cstdint>

class cBkBookFile;
class cPlatformImage;

bool bookSectionTreeProvider(void* context, std::int32_t request, const void* argument, void* outTree,
    cPlatformImage* imageHolder, std::uint32_t* inOutValue);

// The translation a book's name (or, failing that, its abbreviated title) begins with; 0 when none.
std::int32_t bookTranslationNumber(cBkBookFile& book);
