// BkReadThrough: whether the parts of an opened book file that the reader uses, besides its text,
// read whole: the contents, the verse and date tables and every word list with its concordance.
//
// A book file carries no checksum of its streams, and damage past the header still opens: the
// reader would then show contents entries it cannot read, go to the wrong section, or find words in
// sections the book does not have. Reading everything through finds it. The checks are of what each
// format promises: every entry and record reads; contents links point into the table and levels
// follow each other (a child one level under its parent, a sibling at its own level); verse-table
// keys ascend and each is found again through the table's index; reading-table sections ascend;
// concordance entries hold as many sections as they count, ascending, each one of the book's.
//
// Reads every entry of those parts: some tenths of a second for the largest books. Any thread; the
// storages take the container's lock around their reads.
#pragma once

#include <cstdint>
#include <string>

class cBkBookFile;

namespace BkReadThrough {

// Empty when every part reads through; otherwise the first part that does not, in words for a
// person ("its contents (entry 12 of 2,485)"). `sections` is the book's section count.
std::string firstDamage(cBkBookFile& book, uint32_t sections);

}  // namespace BkReadThrough
