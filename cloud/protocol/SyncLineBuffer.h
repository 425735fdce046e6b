// SyncLineBuffer: cuts the received byte stream of a sync connection into lines at the record
// separator (0x1E). A line is handed out with its separator, as SyncCommand reads it: without the
// separator, a line whose last parameter ends in CR or LF (a note of several paragraphs) would read
// as the alternative form and fall apart at every "$". Bytes after the last separator wait for the
// next read. A receiver of server lines drops the greeting "Hi!\r\n" whenever the buffer begins with
// it; the same bytes anywhere else stay.
//
// A line may not grow past the limit given at construction: once the bytes waiting for their
// separator exceed it, nextLine answers Overflow, so a peer that never sends a separator cannot make
// the buffer grow without end. The receiver then either closes the connection or passes the line
// over (skipLongLine): its bytes are dropped as they come, up to and including its separator, and
// the lines after it are read as usual.
//
// Threads: one connection's buffer, used by one thread.
#pragma once

#include <QByteArray>

namespace qs::cloud {

class SyncLineBuffer {
public:
    static constexpr qsizetype kDefaultMaxLineBytes = 4 * 1024 * 1024;
    static constexpr char kGreeting[] = "Hi!\r\n";

    enum class Result { Line, NeedMore, Overflow };

    explicit SyncLineBuffer(bool dropGreeting = false, qsizetype maxLineBytes = kDefaultMaxLineBytes);

    // Appends received bytes (then drops a greeting at the front when asked to).
    void append(const QByteArray& bytes);
    // Line: `line` holds the bytes up to and including the next separator, which are removed.
    Result nextLine(QByteArray& line);
    // The first bytes of the line that overflowed (at most `bytes`), to tell what it was.
    QByteArray head(qsizetype bytes) const { return m_buffer.left(bytes); }
    // After Overflow: drops that line, the bytes held now and the rest still to come.
    void skipLongLine();

    void clear()
    {
        m_buffer.clear();
        m_skipping = false;
    }

private:
    void dropGreetingAtFront();

    QByteArray m_buffer;
    qsizetype m_maxLineBytes;
    bool m_dropGreeting;
    bool m_skipping = false;
};

}  // namespace qs::cloud
