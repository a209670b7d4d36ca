#include "net/ByteQueue.h"

void ByteQueue::Append(const QByteArray &bytes)
{
    if (isEmpty()) {
        Clear();
        m_bytes = bytes; // shared, not copied
        return;
    }
    Compact();
    m_bytes.append(bytes);
}

char *ByteQueue::Reserve(qsizetype count)
{
    Compact();
    const qsizetype end = m_bytes.size();
    m_bytes.resize(end + count);
    return m_bytes.data() + end;
}

QByteArray ByteQueue::Take(qsizetype count)
{
    if (count == size() && m_head == 0) {
        QByteArray all = std::move(m_bytes);
        Clear();
        return all;
    }
    QByteArray taken = Peek(count);
    Drop(count);
    return taken;
}

void ByteQueue::Drop(qsizetype count)
{
    m_head += count;
    if (isEmpty())
        Clear();
}

void ByteQueue::Compact()
{
    // The space taken from the front is given back once it outweighs what is left: every byte is
    // moved at most once for each time the bytes before it were taken.
    if (m_head > size()) {
        m_bytes.remove(0, m_head);
        m_head = 0;
    }
}

void ByteQueue::Clear()
{
    m_bytes.clear();
    m_head = 0;
}
