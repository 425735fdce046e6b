// A reversible scrambling of narrow (UTF-8) text into text over a 62-symbol alphabet, keyed by a pad.
//
// Scrambled form: one offset symbol (the sum of the text's bytes modulo 62), then two symbols per
// byte: each upper-case hexadecimal digit of the byte shifted by a pad symbol, walking the pad from
// position offset * 5. Only the pad characters' alphabet indexes matter; a character outside the
// alphabet counts as index 0.
//
// An empty or null pad cannot key anything (its length is the step's modulus): every entry point then
// answers the empty text rather than dividing by zero.
//
// Threads: every function is pure and may be called from any thread.
#pragma once

#include "engine/foundation/cLStringTmpl.h"

// The one-character text of the alphabet symbol at `index`; empty for an index outside 0..61.
cLString8 scrambleSymbolForIndex(int index);

// The scrambled body (no offset symbol) of `text` starting at `offset` (0..61) in the pad.
cLString8 scrambleWithPad(const cLString8& text, int offset, const char* pad);
// The inverse of scrambleWithPad: the bytes back from a body. An odd last symbol is ignored.
cLString8 unscrambleWithPad(const cLString8& body, int offset, const char* pad);

// Offset symbol followed by the scrambled body. The empty text scrambles to "0".
cLString8 scrambleString(const cLString8& text, const char* pad);
// The text back from a scrambled form; anything shorter than two characters gives the empty text.
cLString8 unscrambleString(const cLString8& scrambled, const char* pad);

// The same two with the built-in default pad (ScramblePads.h).
cLString8 scrambleStringDefaultPad(const cLString8& text);
cLString8 unscrambleStringDefaultPad(const cLString8& scrambled);
