// cBkSectionTextConfiguration: the options of a rendering that the section text writer reads
// (word marks, Strong's numbers, word attributes, search-hit marking, link wrapping, speakable
// references). The renderer's cHTMLRenderConfiguration extends it with the options of whole pages,
// so one configuration is handed from the block renderer down to the writer.
//
// Every option is optional. A pointer field points at the caller's value; null means "not given".
// The caller owns every value pointed to and keeps it alive while the configuration is in use; the
// configuration owns only its integer list and its share of `search`.
//
// A configuration is built on the caller's stack for one rendering and is never shared between
// threads.

#pragma once

#include <memory>

#include "engine/foundation/cLIntArray.h"
#include "engine/foundation/cLStringTmpl.h"

class cSearchExpressionResult;
class cSearchWordList;

struct cBkSectionTextConfiguration {
    // Written before and after a link target.
    const cLString8* linkPrefix = nullptr;
    const cLString8* linkSuffix = nullptr;
    // Given and non-zero: the section text writer writes no word-start marks.
    const bool* suppressWordMarks = nullptr;
    const bool* omitStrongsNumbersInDecode = nullptr;
    const bool* highlightHits = nullptr;
    // The search result kept for this book, for marking hits.
    const cSearchExpressionResult* searchHits = nullptr;
    // The words to mark as hits.
    const cSearchWordList* wordsToMark = nullptr;
    // The caller's `search` parameter, kept alive for the rendering; handed to the search-hit hooks
    // when neither of the two above is given.
    std::shared_ptr<const void> search;
    // Definition indexes of word attributes to leave out of section text; -1 leaves out all.
    cLIntArray omittedWordAttributes;
    const bool* speakableVerseReferences = nullptr;
};
