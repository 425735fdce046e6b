// How much of a note cloud sync can carry. A record goes to the sync server as one line, and the
// server takes no line longer than kSyncMaxLineBytes (UTF-8 bytes before the line's separator): it
// refuses a longer one and closes the connection. A note's line holds its text and a few short
// fields (the record type, ids, a time, the verse or section and, for a book note, the form and field
// names); a text of up to kSyncMaxNoteBytes always fits. The sync engine checks the real line before
// it sends; the note editor warns by the text's size.
//
// Threads: constants, any thread.
#pragma once

#include <cstdint>

inline constexpr std::int64_t kSyncMaxLineBytes = 4 * 1024 * 1024;
inline constexpr std::int64_t kSyncMaxNoteBytes = kSyncMaxLineBytes - 1024;

// Whether a note text of `utf16Units` UTF-16 units whose UTF-8 size is `utf8Bytes()` is too large to
// sync; the UTF-8 size is only worked out when the length alone cannot tell.
template <typename Utf8Bytes> bool noteTooLargeToSync(std::int64_t utf16Units, Utf8Bytes utf8Bytes)
{
    if (utf16Units > kSyncMaxNoteBytes)
        return true;
    if (utf16Units * 3 <= kSyncMaxNoteBytes)
        return false;
    return utf8Bytes() > kSyncMaxNoteBytes;
}
