#pragma once

#include <QByteArray>

// A queue of bytes: appended at the end, taken from the front. Taking from the front moves a
// start offset instead of the bytes behind it, so that sending or reading a large buffer in
// pieces costs in proportion to the bytes moved, not to the buffer's size for every piece.
class ByteQueue {
public:
    qsizetype size() const { return m_bytes.size() - m_head; }
    bool isEmpty() const { return size() == 0; }
    const char *data() const { return m_bytes.constData() + m_head; }

    void Append(const QByteArray &bytes);
    // Room for up to count bytes at the end, for a receive to fill; Commit then keeps the first
    // used of them.
    char *Reserve(qsizetype count);
    void Commit(qsizetype reserved, qsizetype used) { m_bytes.chop(reserved - used); }

    QByteArray Peek(qsizetype count) const { return QByteArray(data(), count); }
    // The first count bytes, removed from the queue.
    QByteArray Take(qsizetype count);
    void Drop(qsizetype count);
    void Clear();

private:
    void Compact();

    QByteArray m_bytes;
    qsizetype m_head = 0;
};
