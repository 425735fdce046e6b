// cBibleRefTableLoader: brings the reference tables a Bible carries into the engine's process-wide
// Bible-reference tables, so that every book the Bible holds can be reached by reference. A Bible
// carries its tables as table files in its "BIBLEREF" embedded-file stream and names their versions
// in its header; a table file replaces the loaded table when its version is newer (the book names,
// book numbers, translation list, book lists, categories and verse map) or at least as new (the
// fix-ups, start keys, special cases, chapter words and one-chapter books). A Bible with its own
// versification (a book list in its header) is registered as a translation of its own under its
// abbreviated title, once, unless the translation list already names that abbreviation.
//
// The Bible document runs it whenever it opens or adopts a book file, so every caller of the
// documents benefits; it may run again for the same book at no cost. Any thread may call it: the
// tables install a new snapshot, which readers already holding the old one do not see change.
#pragma once

class cBkBookFile;

class cBibleRefTableLoader {
public:
    // Loads what the book carries; answers whether any table was replaced or a translation added.
    // A book that is no Bible, or carries nothing newer, changes nothing.
    static bool loadFrom(cBkBookFile& book);
};
