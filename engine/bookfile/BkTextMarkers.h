// Marker bytes that the section text writer leaves in rendered section text, so that word starts,
// search hits, Strong's numbers and word attributes survive the text's trip through the parse tree.
// The renderer turns them into spans just before the text is written out; the search-result line
// writer collects them. None of these bytes ever occurs in ordinary text.
//
//   0x01                    a word (or literal text) starts here
//   0x07                    ends a search hit that began at the nearest 0x01 before it
//   0x01 E2 96 A0 0x07      a visible hit mark (U+25A0) in place of a matched zero-width space
//   0x06 "h" N [a-z]        Strong's Hebrew number N (after its word)
//   0x05 "g" N [a-z]        Strong's Greek number N (after its word)
//   0x02 d 0x04 value [0x04 before 0x04 after]
//                           one word attribute: definition index d (decimal), the value's word and,
//                           for attributes with texts, the text before and after it
//   0x03                    once after a word's attribute entries

#pragma once

namespace BkTextMarker {
constexpr char kWordStart = 0x01;
constexpr char kAttributeStart = 0x02;
constexpr char kAttributesEnd = 0x03;
constexpr char kAttributeField = 0x04;
constexpr char kStrongsGreek = 0x05;
constexpr char kStrongsHebrew = 0x06;
constexpr char kHitEnd = 0x07;
constexpr const char* kVisibleHitMark = "\xE2\x96\xA0";  // U+25A0
}  // namespace BkTextMarker
