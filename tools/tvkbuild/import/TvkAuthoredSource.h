// TvkAuthoredSource: the source form of the books we write ourselves (the help and welcome books).
//
//   % a comment line
//   @title Quillstead Help          header lines before the first section: title, abbreviation,
//   @abbreviation Help              author, copyright, publisherid, bookid, language
//   = Getting started               a section at contents level 1 ("==" level 2, and so on to 6)
//   Text lines form a paragraph; a blank line ends it.
//   - a list item
//   Inline: *italic* and **bold**; a backslash writes the next character as it is.
//
// Each section shows its title as a heading followed by its paragraphs and lists.

#pragma once

#include <string>

#include "tools/tvkbuild/import/cTvkRichBook.h"

// Fills the book; false with "line N: message" on a malformed source.
bool tvkBookFromAuthoredSource(const std::string& source, cTvkRichBook& book, std::string& error);
