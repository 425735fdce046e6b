#include "cloud/protocol/SyncLineBuffer.h"

#include "cloud/protocol/SyncCommand.h"

namespace qs::cloud {

SyncLineBuffer::SyncLineBuffer(bool dropGreeting, qsizetype maxLineBytes)
    : m_maxLineBytes(maxLineBytes), m_dropGreeting(dropGreeting)
{
}

void SyncLineBuffer::dropGreetingAtFront()
{
    const QByteArray greeting = QByteArray::fromRawData(kGreeting, sizeof(kGreeting) - 1);
    if (m_dropGreeting && m_buffer.startsWith(greeting))
        m_buffer.remove(0, greeting.size());
}

void SyncLineBuffer::append(const QByteArray& bytes)
{
    m_buffer.append(bytes);
    dropGreetingAtFront();
}

void SyncLineBuffer::skipLongLine()
{
    m_skipping = true;
}

SyncLineBuffer::Result SyncLineBuffer::nextLine(QByteArray& line)
{
    if (m_skipping) {
        const qsizetype end = m_buffer.indexOf(SyncCommand::kRecordSeparator);
        if (end < 0) {
            m_buffer.clear();
            return Result::NeedMore;
        }
        m_buffer.remove(0, end + 1);
        m_skipping = false;
    }
    const qsizetype rs = m_buffer.indexOf(SyncCommand::kRecordSeparator);
    if (rs < 0)
        return m_buffer.size() > m_maxLineBytes ? Result::Overflow : Result::NeedMore;
    if (rs > m_maxLineBytes)
        return Result::Overflow;
    line = m_buffer.left(rs + 1);
    m_buffer.remove(0, rs + 1);
    return Result::Line;
}

}  // namespace qs::cloud
