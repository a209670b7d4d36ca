#include "net/ChunkedBody.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace {

// Longer size or trailer lines are no honest server's: refused rather than buffered.
constexpr qsizetype MaxLine = 64 * 1024;

} // namespace

std::optional<QByteArray> ChunkedBody::Take(const QByteArray &piece)
{
    QByteArray data;
    qsizetype at = 0;
    while (at < piece.size() && m_part != Part::Done) {
        if (m_part == Part::Data) {
            const qsizetype count = static_cast<qsizetype>(std::min<int64_t>(m_left, piece.size() - at));
            data.append(QByteArrayView(piece).sliced(at, count));
            at += count;
            m_left -= count;
            if (m_left == 0)
                m_part = Part::DataEnd;
        } else if (TakeLine(piece, at) && !EndLine()) {
            return std::nullopt;
        }
        if (m_line.size() > MaxLine)
            return std::nullopt;
    }
    return data;
}

// Adds the piece's bytes from at up to the next LF to the line; true when the line is complete
// (its CR LF or LF removed).
bool ChunkedBody::TakeLine(const QByteArray &piece, qsizetype &at)
{
    const qsizetype lf = piece.indexOf('\n', at);
    m_line.append(QByteArrayView(piece).sliced(at, (lf < 0 ? piece.size() : lf) - at));
    at = lf < 0 ? piece.size() : lf + 1;
    if (lf < 0)
        return false;
    if (m_line.endsWith('\r'))
        m_line.chop(1);
    return true;
}

// Acts on a complete line; false when it is not what the format has at this point.
bool ChunkedBody::EndLine()
{
    const QByteArray line = std::exchange(m_line, {});
    if (m_part == Part::SizeLine)
        return TakeSize(line);
    if (m_part == Part::DataEnd) {
        m_part = Part::SizeLine;
        return line.isEmpty();
    }
    if (line.isEmpty()) // the empty line after the trailer
        m_part = Part::Done;
    return true;
}

// A size line: hexadecimal digits, then blanks or extensions after a ";".
bool ChunkedBody::TakeSize(const QByteArray &line)
{
    const qsizetype extensions = line.indexOf(';');
    const QByteArray digits = line.left(extensions < 0 ? line.size() : extensions).trimmed();
    bool ok = !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](char c) { return std::isxdigit(uchar(c)); });
    const qlonglong size = ok ? digits.toLongLong(&ok, 16) : 0;
    if (!ok)
        return false;
    m_left = size;
    m_part = size == 0 ? Part::Trailer : Part::Data;
    return true;
}
