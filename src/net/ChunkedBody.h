#pragma once

#include <QByteArray>

#include <cstdint>
#include <optional>

// Reads a body sent in chunks (each a hexadecimal size line, that many bytes and a line end;
// a size of 0 and optional trailer lines end it) from pieces split at any point, and gives back
// the bytes it carries. Lines may end in CR LF or a bare LF; chunk extensions and trailer lines
// are skipped. Holds no more than one unfinished line between pieces.
class ChunkedBody {
public:
    // The body's bytes that this piece carries; nullopt when the piece breaks the chunk format.
    // Bytes after the body's end are ignored.
    std::optional<QByteArray> Take(const QByteArray &piece);
    // True once the last chunk and its trailer have arrived.
    bool Done() const { return m_part == Part::Done; }

private:
    enum class Part { SizeLine, Data, DataEnd, Trailer, Done };

    bool TakeLine(const QByteArray &piece, qsizetype &at);
    bool EndLine();
    bool TakeSize(const QByteArray &line);

    Part m_part = Part::SizeLine;
    QByteArray m_line; // the line read so far
    int64_t m_left = 0; // bytes still to come in the current chunk
};
